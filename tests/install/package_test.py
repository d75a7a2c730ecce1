#!/usr/bin/env python3
"""The Debian package, end to end.

Builds it with the documented command (scripts/package: dpkg-buildpackage from
debian/), runs lintian on it (an error or a warning fails), checks its control
fields and file list (dpkg-deb -I / -c) and the hardening of its programs
(readelf: PIE, full RELRO, stack protector, no executable stack, fortified
functions), unpacks it into a scratch root
(dpkg-deb -x) and runs the programs from there, as a user who cannot write to
the unpacked tree: --help/--version without a display, quorvane-batch converting
a JPEG and a DNG (the packaged RAW decoder found relative to the program, never
the build tree), the viewer showing a picture on a virtual display. Afterwards
the unpacked tree is exactly as unpacked: intermediates went to the user's cache.

usage: package_test.py SOURCE_DIR BUILD_DIR
"""
import os
import pwd
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

SOURCE, BUILD = (os.path.abspath(p) for p in sys.argv[1:3])
APP_ID = "org.quorvane.Quorvane"
# A colour no part of the viewer's own window uses, to find the picture on screen.
PICTURE_COLOUR = "#19C37D"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(args, **kwargs):
    kwargs.setdefault("stdout", subprocess.PIPE)
    kwargs.setdefault("stderr", subprocess.PIPE)
    kwargs.setdefault("text", True)
    kwargs.setdefault("timeout", 600)
    return subprocess.run(args, **kwargs)


def project_version():
    with open(os.path.join(BUILD, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    raise Failure("no CMAKE_PROJECT_VERSION in the build's cache")


def build_package(out):
    env = dict(os.environ, QUORVANE_BUILD_DIR=BUILD)
    # A whole release build: on a busy two-core machine it has taken over ten minutes.
    done = run([os.path.join(SOURCE, "scripts", "package"), out], env=env, timeout=2400)
    check(done.returncode == 0, f"scripts/package failed:\n{done.stderr}")
    path = done.stdout.strip().splitlines()[-1]
    arch = run(["dpkg", "--print-architecture"]).stdout.strip()
    check(os.path.basename(path) == f"quorvane_{project_version()}_{arch}.deb", f"package named {path}")
    check(sorted(os.listdir(out)) == [os.path.basename(path)], f"scripts/package left {os.listdir(out)}")
    return path


def check_control(deb):
    check(run(["dpkg-deb", "-I", deb]).returncode == 0, "dpkg-deb -I failed")
    fields = {}
    for name in ("Package", "Version", "Architecture", "Maintainer", "Depends", "Recommends", "Description",
                 "Section"):
        fields[name] = run(["dpkg-deb", "-f", deb, name]).stdout.strip()
    check(fields["Package"] == "quorvane", f"Package: {fields['Package']}")
    check(fields["Version"] == project_version(), f"Version: {fields['Version']}")
    check(re.fullmatch(r".+ <[^@<>\s]+@[^@<>\s]+>", fields["Maintainer"]), f"Maintainer: {fields['Maintainer']}")
    depends = [d.strip().split()[0] for d in fields["Depends"].split(",")]
    # The programs the engine starts and the UI font, plus what dpkg-shlibdeps found
    # for the libraries the programs link (Qt, LibRaw, libjpeg).
    for needed in ("imagemagick", "pngquant", "fonts-noto-cjk", "libc6", "libqt5core5a", "libqt5widgets5",
                   "libqt5network5", "libqt5printsupport5", "libjpeg62-turbo",
                   # the readers of the types the desktop entry claims
                   "qt5-image-formats-plugins", "kimageformat-plugins", "libqt5svg5"):
        check(needed in depends, f"Depends lacks {needed}: {fields['Depends']}")
    check(any(d.startswith("libraw") for d in depends), f"Depends lacks LibRaw: {fields['Depends']}")
    check(not any(d.startswith("libquorvane") for d in depends), "Depends names the package's own libraries")
    recommends = [r.strip().split()[0] for r in fields["Recommends"].split(",")]
    for wanted in ("cups", "xdg-utils"):  # printing; opening the output folder
        check(wanted in recommends, f"Recommends lacks {wanted}: {fields['Recommends']}")
    summary, _, long_text = fields["Description"].partition("\n")
    check(summary and long_text.strip() and summary.strip() not in long_text, "Description without a long text")
    check(fields["Section"] == "graphics", f"Section: {fields['Section']}")


def check_contents(deb):
    listing = run(["dpkg-deb", "-c", deb]).stdout.splitlines()
    files = {}
    for line in listing:
        parts = line.split(None, 5)
        mode, owner, path = parts[0], parts[1], parts[5]
        check(owner == "root/root", f"{path} owned by {owner}")
        if not mode.startswith("d"):
            files[path[1:] if path.startswith("./") else path] = mode
    expected = {
        "/usr/bin/quorvane": "x", "/usr/bin/quorvane-batch": "x", "/usr/lib/quorvane/ConvertToJpg": "x",
        "/usr/lib/quorvane/RawDecoder": "x",
        f"/usr/share/applications/{APP_ID}.desktop": "-", f"/usr/share/metainfo/{APP_ID}.metainfo.xml": "-",
        f"/usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg": "-", "/usr/share/doc/quorvane/copyright": "-",
        "/usr/share/doc/quorvane/changelog.gz": "-", "/usr/share/man/man1/quorvane.1.gz": "-",
        "/usr/share/man/man1/quorvane-batch.1.gz": "-", "/usr/share/bash-completion/completions/quorvane-batch": "-",
    }
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        expected[f"/usr/share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png"] = "-"
    if os.path.exists(os.path.join(SOURCE, "src", "batch", "engine", "imagemagick", "policy.xml")):
        expected["/usr/share/quorvane/imagemagick/policy.xml"] = "-"
    for path, kind in expected.items():
        check(path in files, f"package lacks {path}")
        check((files[path][3] == "x") == (kind == "x"), f"{path} has mode {files[path]}")
    # Nothing else: no private library (the rooms are linked in), no test, benchmark
    # or build helper.
    unexpected = sorted(p for p in files if p not in expected)
    check(not unexpected, f"unexpected files in package: {unexpected}")


def check_lintian(deb):
    """lintian's verdict: no error and no warning. Pedantic notes stay (README)."""
    done = run(["lintian", "--pedantic", "--display-info", deb])
    print(done.stdout, end="")
    serious = [line for line in done.stdout.splitlines() if line[:2] in ("E:", "W:")]
    check(done.returncode == 0 and not serious,
          f"lintian ({done.returncode}):\n" + "\n".join(serious or [done.stderr]))


def check_hardening(root):
    """The flags of DEB_BUILD_MAINT_OPTIONS = hardening=+all, read from each program."""
    programs = [os.path.join(root, p) for p in ("usr/bin/quorvane", "usr/bin/quorvane-batch",
                                                "usr/lib/quorvane/ConvertToJpg")]
    fortified = []
    for program in programs:
        header = run(["readelf", "-hlW", program]).stdout
        dynamic = run(["readelf", "-dW", program]).stdout
        symbols = run(["readelf", "--dyn-syms", "-W", program]).stdout
        name = os.path.relpath(program, root)
        check(re.search(r"Type:\s+DYN", header) and re.search(r"FLAGS_1.*\bPIE\b", dynamic), f"{name}: not PIE")
        check("GNU_RELRO" in header, f"{name}: no RELRO")
        check(re.search(r"\(FLAGS\).*\bBIND_NOW\b", dynamic) or re.search(r"FLAGS_1.*\bNOW\b", dynamic),
              f"{name}: no BIND_NOW (partial RELRO)")
        check(not re.search(r"GNU_STACK.*RWE", header), f"{name}: executable stack")
        check("__stack_chk_fail" in symbols, f"{name}: no stack protector")
        if re.search(r"\b__\w+_chk\b", symbols.replace("__stack_chk_fail", "")):
            fortified.append(name)
        check("RUNPATH" not in dynamic and "(RPATH)" not in dynamic, f"{name}: has a RUNPATH")
    # One compile line builds all three; a program whose every memcpy has a size only
    # known at run time calls no _chk function even so (lintian's note on quorvane).
    check(fortified, "no program calls a fortified function: built without _FORTIFY_SOURCE")


def snapshot(root):
    entries = []
    for folder, dirs, names in os.walk(root):
        dirs.sort()
        for name in sorted(dirs + names):
            info = os.lstat(os.path.join(folder, name))
            entries.append((os.path.relpath(os.path.join(folder, name), root), info.st_mode, info.st_size,
                            info.st_mtime_ns))
    return entries


def set_writable(root, writable):
    paths = [root]
    for folder, dirs, names in os.walk(root):
        paths += [os.path.join(folder, name) for name in dirs + names]
    for path in paths:
        mode = os.lstat(path).st_mode
        if not stat.S_ISLNK(mode):
            os.chmod(path, mode | stat.S_IWUSR if writable else mode & ~(stat.S_IWUSR | stat.S_IWGRP | stat.S_IWOTH))


class User:
    """Who runs the installed programs: an unprivileged account when the test runs
    as root (root may write to any folder, read-only or not), else the caller."""

    def __init__(self, scratch, caller=False):
        self.home = os.path.join(scratch, "home-caller" if caller else "home")
        os.mkdir(self.home)
        self.sanitizers = sanitizer_options(scratch)
        self.prefix = []
        if os.geteuid() == 0 and not caller:
            nobody = pwd.getpwnam("nobody")
            self.uid, self.gid = nobody.pw_uid, nobody.pw_gid
            self.prefix = ["setpriv", f"--reuid={self.uid}", f"--regid={self.gid}", "--clear-groups", "--"]
        else:
            self.uid, self.gid = os.getuid(), os.getgid()

    def own(self, path):
        os.chown(path, self.uid, self.gid)

    def env(self, root, **extra):
        env = {
            "PATH": os.path.join(root, "usr", "bin") + ":/usr/local/bin:/usr/bin:/bin",
            "HOME": self.home, "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": self.home,
        }
        env.update(self.sanitizers)
        env.update(extra)
        return env

    def run(self, args, root, **kwargs):
        env = self.env(root, **kwargs.pop("env", {}))
        return run(self.prefix + args, env=env, cwd=self.home, **kwargs)

    def popen(self, args, root, env, log):
        return subprocess.Popen(self.prefix + args, env=self.env(root, **env), cwd=self.home,
                                stdout=log, stderr=log)


def sanitizer_options(scratch):
    """The caller's sanitizer settings (for the programs of a sanitized tree; the
    package's own are built by debian/rules, unsanitized), with the leak suppressions copied where the unprivileged user can read them."""
    options = {k: v for k, v in os.environ.items() if k in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS")}
    if "LSAN_OPTIONS" in options:
        parts = []
        for part in options["LSAN_OPTIONS"].split(":"):
            if part.startswith("suppressions="):
                copy = os.path.join(scratch, "lsan.supp")
                shutil.copyfile(part.split("=", 1)[1], copy)
                os.chmod(copy, 0o644)
                part = "suppressions=" + copy
            parts.append(part)
        options["LSAN_OPTIONS"] = ":".join(parts)
    return options


def make_inputs(folder, user):
    os.mkdir(folder)
    jpeg, dng, png = (os.path.join(folder, n) for n in ("photo.jpg", "camera.dng", "shown.png"))
    check(run(["convert", "-size", "64x48", "gradient:red-blue", jpeg]).returncode == 0, "cannot make the JPEG")
    check(run([sys.executable, os.path.join(SOURCE, "tests", "support", "mkdng.py"), dng, "64", "48"])
          .returncode == 0, "cannot make the DNG")
    check(run(["convert", "-size", "320x240", f"xc:{PICTURE_COLOUR}", png]).returncode == 0, "cannot make the PNG")
    for path in (folder, jpeg, dng, png):
        user.own(path)
    return jpeg, dng, png


def identify(path):
    return run(["identify", "-format", "%m %w %h", path]).stdout.strip()


def check_programs(root, user, version):
    # Neither needs a display: no DISPLAY, no platform plugin chosen.
    for program in ("quorvane", "quorvane-batch"):
        for option in ("--version", "-V"):
            done = user.run([os.path.join(root, "usr", "bin", program), option], root)
            check(done.returncode == 0 and done.stdout.strip() == f"{program} {version}",
                  f"{program} {option}: {done.returncode} {done.stdout!r} {done.stderr!r}")
        for option in ("--help", "-h"):
            done = user.run([program, option], root)
            check(done.returncode == 0 and "Usage:" in done.stdout, f"{program} {option}: {done.stderr!r}")


def check_conversions(root, user, jpeg, dng, scratch, out_name="converted"):
    out = os.path.join(scratch, out_name)
    os.mkdir(out)
    user.own(out)
    done = user.run(["quorvane-batch", "convert", "-f", "png", "-o", out, jpeg, dng], root)
    check(done.returncode == 0, f"quorvane-batch failed ({done.returncode}):\n{done.stdout}\n{done.stderr}")
    outputs = sorted(os.listdir(out))
    check(len(outputs) == 2, f"outputs: {outputs}")
    by_source = {name.split(".")[0].split("_")[0]: os.path.join(out, name) for name in outputs}
    check(identify(by_source.get("photo", "")) == "PNG 64 48", f"JPEG converted to {outputs}")
    # The decoder's JPEG went through ImageMagick to PNG: a picture of the DNG's size.
    check(identify(by_source.get("camera", "")) == "PNG 64 48", f"DNG converted to {outputs}")
    cache = os.path.join(user.home, ".cache", "quorvane", "temp")
    check(os.path.isdir(cache), "the RAW conversion used no temp folder in the user's cache")
    check(os.listdir(cache) == [], f"intermediates left in the cache: {os.listdir(cache)}")


def start_display():
    """An Xvfb server on a free display; returns (process, display name)."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten",
                               "tcp", "-ac"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    check(number.isdigit(), "Xvfb reported no display")
    return server, f":{number}"


def picture_pixels(display):
    """How many screen pixels have the picture's colour."""
    shot = run(["import", "-display", display, "-window", "root", "png:-"], text=False)
    if shot.returncode != 0:
        return 0
    count = run(["convert", "png:-", "-fuzz", "6%", "-fill", "black", "+opaque", PICTURE_COLOUR, "-fill", "white",
                 "-opaque", PICTURE_COLOUR, "-format", "%[fx:int(mean*w*h+0.5)]", "info:"], input=shot.stdout,
                text=False)
    return int(count.stdout or b"0")


def check_viewer_shows(root, user, png, scratch):
    server, display = start_display()
    viewer = None
    log = open(os.path.join(scratch, "viewer.log"), "w+")
    try:
        check(picture_pixels(display) == 0, "the colour is on screen before the viewer runs")
        env = {"DISPLAY": display, "QT_QPA_PLATFORM": "xcb"}
        if "ASAN_OPTIONS" in user.sanitizers:
            # libxkbcommon-x11 hands strndup() an unterminated buffer while the xcb
            # platform starts; strict string checks would stop every sanitized viewer there.
            env["ASAN_OPTIONS"] = ":".join(o for o in user.sanitizers["ASAN_OPTIONS"].split(":")
                                           if not o.startswith("strict_string_checks"))
        viewer = user.popen(["quorvane", png], root, env, log)
        # Waits for the window, not for a time: the bound only ends a viewer that never shows it.
        deadline = time.monotonic() + 120
        shown = 0
        while viewer.poll() is None and time.monotonic() < deadline:
            shown = picture_pixels(display)
            if shown >= 320 * 240 // 2:
                break
            time.sleep(0.5)
        if viewer.poll() is not None:
            log.seek(0)
            raise Failure(f"the viewer exited ({viewer.returncode}): {log.read()}")
        check(shown >= 320 * 240 // 2, f"the picture did not appear on screen ({shown} pixels of its colour)")
        # The desktop entry's StartupWMClass is the window's class.
        tree = run(["xwininfo", "-display", display, "-root", "-tree"]).stdout
        classes = set(re.findall(r'\("[^"]*" "([^"]*)"\)', tree))
        with open(os.path.join(root, "usr", "share", "applications", APP_ID + ".desktop"), encoding="utf-8") as entry:
            wm_class = re.search(r"^StartupWMClass=(.*)$", entry.read(), re.M)
        check(wm_class and wm_class.group(1) in classes, f"StartupWMClass {wm_class and wm_class.group(1)} "
              f"is no window class on screen: {sorted(classes)}")
    finally:
        log.close()
        for process in (viewer, server):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def main():
    scratch = tempfile.mkdtemp(prefix="quorvane-package-")
    root = os.path.join(scratch, "root")
    try:
        os.chmod(scratch, 0o755)  # the unprivileged user reads the tree and the inputs
        out = os.path.join(scratch, "out")
        deb = build_package(out)
        check_lintian(deb)
        check_control(deb)
        check_contents(deb)
        check(run(["dpkg-deb", "-x", deb, root]).returncode == 0, "dpkg-deb -x failed")
        check_hardening(root)

        user = User(scratch)
        user.own(user.home)
        jpeg, dng, png = make_inputs(os.path.join(scratch, "in"), user)
        set_writable(root, False)
        before = snapshot(root)

        check_programs(root, user, project_version())
        check_conversions(root, user, jpeg, dng, scratch)
        if os.geteuid() == 0:
            # Root could write beside the installed binary; it must not either.
            check_conversions(root, User(scratch, caller=True), jpeg, dng, scratch, "converted-by-root")
        check_viewer_shows(root, user, png, scratch)

        after = snapshot(root)
        check(before == after, "the programs wrote into their installed tree: "
              + ", ".join(sorted({e[0] for e in after} ^ {e[0] for e in before}) or ["a file changed"]))
    finally:
        if os.path.isdir(root):
            set_writable(root, True)
        shutil.rmtree(scratch, ignore_errors=True)
    print("package test passed")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        sys.exit(1)
