#!/usr/bin/env python3
"""Batch throughput benchmark: quorvane-batch against the loops a user would write.

Prints one JSON object per line per figure. Runs alternate the commands so that
drifting machine load hits them alike; figures are medians over the runs.

Figures: convert-big and convert-small (JPEG to PNG against plain xargs loops of
convert), peak-memory (the process tree's, convert-big against the loop with one
tool per core), resize-24mp (six 6000x4000 photos to 1920 wide at quality 80
against the better of a convert loop with libjpeg's scaled decode and a
vipsthumbnail loop), resize-one-24mp (one of them against that convert run by
hand) and resize-raw (six 24 MP DNGs to 1920 wide against developing each whole
with ConvertToJpg and resizing it with convert).

Environment: BENCH_LARGE_COUNT (40), BENCH_SMALL_COUNT (300), BENCH_RUNS (3),
BENCH_LARGE_SIZE (4000x3000), BENCH_SMALL_SIZE (256x256), BENCH_CACHE (generated
inputs, kept between runs), BENCH_ONLY (large, small, resize or raw to run one part),
BENCH_TOOL_BOUNDS (other tool bounds to time quorvane-batch with, e.g. "1 3 4":
each becomes a "median tools=N" field of the figures; the bound is how many tools
the engine runs at once, by default the number of cores). The small half also
times quorvane-batch without its watchdog (QUORVANE_WATCHDOG=0): the figure
watchdog-cost-small is the share of time the watchdog adds.
Besides wall time, each figure carries the CPU seconds of the whole process tree
(load-independent) and how busy the machine was apart from the benchmark: the
median over its runs of the mean number of other runnable tasks (sampled with
the memory every 100 ms).
"""

import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BIN = os.path.abspath(sys.argv[1])  # build/bin
OTHER_LOAD = []  # per run: mean count of runnable tasks that were not the benchmark's


def env_int(name, default):
    return int(os.environ.get(name, default))


def sample_tree(root):
    """Sums the resident set sizes (KiB) of root and all its descendants, and counts
    how many of them are running; returns (rss, running)."""
    children = {}
    rss = {}
    running = {}
    for entry in os.listdir('/proc'):
        if not entry.isdigit():
            continue
        try:
            with open(f'/proc/{entry}/stat') as f:
                stat = f.read()
            with open(f'/proc/{entry}/statm') as f:
                pages = int(f.read().split()[1])
        except OSError:
            continue
        # The command name may hold blanks and parentheses: fields follow the last ')'.
        fields = stat[stat.rindex(')') + 2:].split()
        children.setdefault(int(fields[1]), []).append(int(entry))
        rss[int(entry)] = pages * os.sysconf('SC_PAGE_SIZE') // 1024
        running[int(entry)] = fields[0] == 'R'
    total_rss, total_running, todo = 0, 0, [root]
    while todo:
        pid = todo.pop()
        total_rss += rss.get(pid, 0)
        total_running += running.get(pid, False)
        todo.extend(children.get(pid, []))
    return total_rss, total_running


def runnable_tasks():
    with open('/proc/stat') as f:
        for line in f:
            if line.startswith('procs_running'):
                return int(line.split()[1])
    return 0


def measure(command, env):
    """Runs command (a shell line); returns (wall seconds, peak tree RSS in MiB, CPU
    seconds of the whole tree). CPU time shows the cost apart from the machine's load."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    process = subprocess.Popen(['sh', '-c', command], env=env, stdout=subprocess.DEVNULL)
    peak = 0
    others = []  # runnable tasks outside the measured tree (and this sampler)
    while process.poll() is None:
        rss, running = sample_tree(process.pid)
        peak = max(peak, rss)
        others.append(max(0, runnable_tasks() - running - 1))
        time.sleep(0.1)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    if process.returncode != 0:
        sys.exit(f'batch bench: "{command}" ended with status {process.returncode}')
    OTHER_LOAD.append(statistics.mean(others) if others else 0.0)
    return wall, peak / 1024, cpu


def make_inputs(folder, count, size):
    width, height = size.split('x')
    subprocess.run([os.path.join(BIN, 'bench_batch_images'), folder, str(count), width, height], check=True)
    names = sorted(n for n in os.listdir(folder) if n.endswith('.jpg') and not n.endswith('.part.jpg'))
    return names[:count]


def listed(label, inputs, names, scratch):
    """A list file of the inputs' paths, and a folder holding only them (the cache
    may hold more from an earlier, larger run)."""
    listing = os.path.join(scratch, f'{label}.list')
    with open(listing, 'w') as f:
        f.writelines(os.path.join(inputs, n) + '\n' for n in names)
    folder = os.path.join(scratch, f'{label}-in')
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for n in names:
        os.symlink(os.path.join(inputs, n), os.path.join(folder, n))
    return listing, folder


def alternate(label, commands, runs, scratch, expected, suffix):
    """Runs the commands in turn, each run starting with the next one; returns the
    medians of (wall, peak RSS, CPU) per command. Each run must write expected
    files ending in suffix to $OUT."""
    out = os.path.join(scratch, 'out')
    env = dict(os.environ, HOME=scratch, OUT=out)
    results = {name: [] for name in commands}
    order = list(commands)
    for run in range(runs):
        for name in order[run % len(order):] + order[:run % len(order)]:
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            wall, rss, cpu = measure(commands[name], env)
            produced = len([n for n in os.listdir(out) if n.endswith(suffix)])
            if produced != expected:
                sys.exit(f'batch bench: {name} wrote {produced} of {expected} files')
            results[name].append((wall, rss, cpu))
            print(f'# {label} run {run + 1}: {name}: {wall:.2f} s, {rss:.0f} MiB, {cpu:.1f} s CPU, '
                  f'{OTHER_LOAD[-1]:.2f} other runnable tasks',
                  file=sys.stderr, flush=True)
    shutil.rmtree(out, ignore_errors=True)
    return {name: tuple(statistics.median(sample[i] for sample in r) for i in range(3))
            for name, r in results.items()}


def compare(label, inputs, names, runs, scratch):
    """Runs quorvane-batch and the xargs loops alternately; returns medians per command."""
    cores = os.cpu_count() or 1
    listing, inputs_folder = listed(label, inputs, names, scratch)
    batch = f'"{BIN}/quorvane-batch" convert -f png -o "$OUT" "{inputs_folder}"'
    commands = {'quorvane-batch': batch}
    for bound in os.environ.get('BENCH_TOOL_BOUNDS', '').split():
        commands[f'tools={bound}'] = f'QUORVANE_BATCH_TOOLS={bound} {batch}'
    if label == 'small':
        # What the watchdog that ends the tools' groups after a SIGKILL costs.
        commands['no watchdog'] = f'QUORVANE_WATCHDOG=0 {batch}'
    for n in sorted({cores, 10}):
        commands[f'xargs -P {n}'] = (
            f'xargs -P {n} -n 1 sh -c \'convert "$0" "$OUT/$(basename "${{0%.jpg}}").png"\' < "{listing}"')
    return alternate(label, commands, runs, scratch, len(names), '.png')


# The resize of the most common batch job: camera photos to 1920 wide at quality 80.
RESIZE_WIDTH = 1920
RESIZE_QUALITY = 80


def resize_photos(runs, cache, scratch):
    """resize-24mp and resize-one-24mp."""
    cores = os.cpu_count() or 1
    width, height = 6000, 4000
    hint = f'{RESIZE_WIDTH}x{RESIZE_WIDTH * height // width}'
    folder = os.path.join(cache, f'large-{width}x{height}')
    names = make_inputs(folder, 6, f'{width}x{height}')
    listing, inputs_folder = listed('resize', folder, names, scratch)
    ours = f'"{BIN}/quorvane-batch" resize -W {RESIZE_WIDTH} -q {RESIZE_QUALITY} -o "$OUT"'
    hinted = f'convert -define jpeg:size={hint} "$0" -resize {RESIZE_WIDTH} -quality {RESIZE_QUALITY}'
    OTHER_LOAD.clear()
    medians = alternate('resize-24mp', {
        'quorvane-batch': f'{ours} "{inputs_folder}"',
        f'hinted convert loop -P {cores}': (
            f'xargs -P {cores} -n 1 sh -c \'{hinted} "$OUT/$(basename "${{0%.jpg}}").jpg"\' < "{listing}"'),
        f'vipsthumbnail loop -P {cores}': (
            f'xargs -P {cores} -n 1 sh -c \'vipsthumbnail "$0" -s {RESIZE_WIDTH}x '
            f'-o "$OUT/%s.jpg[Q={RESIZE_QUALITY}]"\' < "{listing}"'),
    }, runs, scratch, len(names), '.jpg')
    report('resize-24mp', medians, 0, 's')

    one = os.path.join(folder, names[0])
    OTHER_LOAD.clear()
    medians = alternate('resize-one-24mp', {
        'quorvane-batch': f'{ours} "{one}"',
        'hinted convert': f'sh -c \'{hinted} "$OUT/one.jpg"\' "{one}"',
    }, runs, scratch, 1, '.jpg')
    report('resize-one-24mp', medians, 0, 's')


def make_dngs(folder, count, width, height):
    os.makedirs(folder, exist_ok=True)
    mkdng = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'support', 'mkdng.py')
    names = []
    for i in range(1, count + 1):
        name = f'raw-{i:04d}.dng'
        if not os.path.exists(os.path.join(folder, name)):
            part = os.path.join(folder, name + '.part')
            subprocess.run([sys.executable, mkdng, part, str(width), str(height)], check=True)
            os.rename(part, os.path.join(folder, name))
        names.append(name)
    return names


def resize_raw(runs, cache, scratch):
    """resize-raw: developed at half size when the output allows it, against the
    whole develop that is then resized."""
    cores = os.cpu_count() or 1
    folder = os.path.join(cache, 'dng-6000x4000')
    names = make_dngs(folder, 6, 6000, 4000)
    listing, inputs_folder = listed('raw', folder, names, scratch)
    decoder = os.path.join(BIN, 'decoder', 'ConverterToJpg', 'ConvertToJpg')
    whole = (f'd=$(mktemp -d) && "{decoder}" "$0" "$d/whole.jpg" && convert "$d/whole.jpg" -resize {RESIZE_WIDTH} '
             f'-quality {RESIZE_QUALITY} "$OUT/$(basename "${{0%.dng}}").jpg"; s=$?; rm -rf "$d"; exit $s')
    OTHER_LOAD.clear()
    medians = alternate('resize-raw', {
        'quorvane-batch': f'"{BIN}/quorvane-batch" resize -W {RESIZE_WIDTH} -q {RESIZE_QUALITY} -o "$OUT" '
                          f'"{inputs_folder}"',
        f'whole develop loop -P {cores}': f'xargs -P {cores} -n 1 sh -c \'{whole}\' < "{listing}"',
    }, runs, scratch, len(names), '.jpg')
    report('resize-raw', medians, 0, 's')


def report(name, medians, index, unit, baseline=None):
    """One figure: ours against the given peer, or else the peer with the lowest
    value (the xargs loops where there are such, else every other command)."""
    ours = medians['quorvane-batch'][index]
    loops = {k: v[index] for k, v in medians.items() if k.startswith('xargs')} or {
        k: v[index] for k, v in medians.items() if k != 'quorvane-batch'}
    best = baseline or min(loops, key=loops.get)
    figure = {'name': name, 'value': round(ours, 3), 'unit': unit, 'baseline': round(loops[best], 3),
              'baseline_command': best, 'ratio': round(ours / loops[best], 3)}
    figure.update({f'median {k}': round(v[index], 3) for k, v in medians.items() if k != 'quorvane-batch'})
    if unit == 's':
        figure['cpu'] = round(medians['quorvane-batch'][2], 3)
        figure['baseline_cpu'] = round(medians[best][2], 3)
    figure['other_runnable'] = round(statistics.median(OTHER_LOAD), 2)
    figure['cores'] = os.cpu_count()
    print(json.dumps(figure), flush=True)
    return best


def main():
    runs = env_int('BENCH_RUNS', 3)
    cache = os.path.abspath(os.environ.get('BENCH_CACHE', os.path.join(BIN, '..', 'bench-cache')))
    only = os.environ.get('BENCH_ONLY', '')
    with tempfile.TemporaryDirectory(prefix='quorvane-bench-') as scratch:
        if only in ('', 'large'):
            count = env_int('BENCH_LARGE_COUNT', 40)
            folder = os.path.join(cache, 'large-' + os.environ.get('BENCH_LARGE_SIZE', '4000x3000'))
            names = make_inputs(folder, count, os.environ.get('BENCH_LARGE_SIZE', '4000x3000'))
            medians = compare('large', folder, names, runs, scratch)
            report('convert-big', medians, 0, 's')
            # Memory against the loop with one tool per core; both loops are listed.
            report('peak-memory', medians, 1, 'MiB', f'xargs -P {os.cpu_count() or 1}')
        if only in ('', 'small'):
            count = env_int('BENCH_SMALL_COUNT', 300)
            size = os.environ.get('BENCH_SMALL_SIZE', '256x256')
            folder = os.path.join(cache, 'small-' + size)
            names = make_inputs(folder, count, size)
            OTHER_LOAD.clear()
            medians = compare('small', folder, names, runs, scratch)
            report('convert-small', medians, 0, 's')
            ours, off = medians['quorvane-batch'], medians['no watchdog']
            print(json.dumps({'name': 'watchdog-cost-small', 'value': round(ours[0] / off[0] - 1, 4),
                              'unit': 'fraction of wall time', 'cpu': round(ours[2] / off[2] - 1, 4),
                              'with': round(ours[0], 3), 'without': round(off[0], 3), 'files': count,
                              'other_runnable': round(statistics.median(OTHER_LOAD), 2)}), flush=True)
        if only in ('', 'resize'):
            resize_photos(runs, cache, scratch)
        if only in ('', 'raw'):
            resize_raw(runs, cache, scratch)


if __name__ == '__main__':
    main()
