#!/usr/bin/env python3
"""Batch throughput benchmark: quorvane-batch against plain xargs loops.

Prints one JSON object per line per figure. Runs alternate the commands so that
drifting machine load hits them alike; figures are medians over the runs.

Environment: BENCH_LARGE_COUNT (40), BENCH_SMALL_COUNT (300), BENCH_RUNS (3),
BENCH_LARGE_SIZE (4000x3000), BENCH_SMALL_SIZE (256x256), BENCH_CACHE (generated
inputs, kept between runs), BENCH_ONLY (large or small to run one half),
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


def compare(label, inputs, names, runs, scratch):
    """Runs quorvane-batch and the xargs loops alternately; returns medians per command."""
    cores = os.cpu_count() or 1
    listing = os.path.join(scratch, f'{label}.list')
    with open(listing, 'w') as f:
        f.writelines(os.path.join(inputs, n) + '\n' for n in names)
    # Only the listed files: the folder may hold more from an earlier, larger run.
    inputs_folder = os.path.join(scratch, f'{label}-in')
    shutil.rmtree(inputs_folder, ignore_errors=True)
    os.makedirs(inputs_folder)
    for n in names:
        os.symlink(os.path.join(inputs, n), os.path.join(inputs_folder, n))
    out = os.path.join(scratch, 'out')
    env = dict(os.environ, HOME=scratch, OUT=out)
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
    results = {name: [] for name in commands}
    order = list(commands)
    for run in range(runs):
        for name in order[run % len(order):] + order[:run % len(order)]:
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            wall, rss, cpu = measure(commands[name], env)
            produced = len([n for n in os.listdir(out) if n.endswith('.png')])
            if produced != len(names):
                sys.exit(f'batch bench: {name} wrote {produced} of {len(names)} files')
            results[name].append((wall, rss, cpu))
            print(f'# {label} run {run + 1}: {name}: {wall:.2f} s, {rss:.0f} MiB, {cpu:.1f} s CPU, '
                  f'{OTHER_LOAD[-1]:.2f} other runnable tasks',
                  file=sys.stderr, flush=True)
    shutil.rmtree(out, ignore_errors=True)
    return {name: tuple(statistics.median(sample[i] for sample in r) for i in range(3))
            for name, r in results.items()}


def report(name, medians, index, unit, baseline=None):
    """One figure: ours against the given loop, or else the loop with the lowest value."""
    ours = medians['quorvane-batch'][index]
    loops = {k: v[index] for k, v in medians.items() if k.startswith('xargs')}
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
            best = report('convert-large', medians, 0, 's')
            # Memory against the loop that was faster; both loops are listed.
            report('rss-large', medians, 1, 'MiB', best)
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


if __name__ == '__main__':
    main()
