#!/usr/bin/env python3
"""Checks every project include in src/, cli/ and tools/ against the rooms' arrows.

The build already refuses most wrong includes (a room sees only the headers of the
rooms it links); this also catches relative paths that walk out of a room."""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# room -> folder (relative to the repository)
ROOMS = {
    "formats": "src/formats", "engine": "src/batch/engine", "widgets": "src/widgets",
    "chrome": "src/chrome", "print": "src/print", "viewer": "src/viewer",
    "shell": "src/batch/shell", "pages": "src/batch/pages", "toolbox": "src/batch/toolbox",
    "rawdecode": "src/rawdecode", "app": "src/app", "cli": "cli", "raw2jpg": "tools/raw2jpg",
    "mimetypes": "tools/mimetypes",
}
# What each room may include besides itself (the arrows, followed through).
ALLOWED = {
    "formats": set(),
    "engine": {"formats"},
    "widgets": set(),
    "rawdecode": set(),
    "chrome": {"widgets"},
    "print": {"widgets"},
    "shell": {"widgets", "engine", "formats"},
    "pages": {"shell", "widgets", "engine", "formats"},
    "toolbox": {"pages", "shell", "widgets", "engine", "formats"},
    "viewer": {"chrome", "widgets", "formats", "print", "toolbox", "rawdecode"},
    "app": set(ROOMS),
    "cli": {"engine", "formats"},
    "raw2jpg": {"rawdecode"},
    "mimetypes": {"formats"},
}
# From outside the toolbox, only its door.
DOORS = {"toolbox": {"src/batch/toolbox/Toolbox.h"}}


def room_of(path):
    best = None
    for room, folder in ROOMS.items():
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(ROOMS[best]):
                best = room
    return best


def resolve(including, name):
    here = os.path.dirname(including)
    for base in (here, "src", "."):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(os.path.join(ROOT, candidate)):
            return candidate
    return None


def main():
    faults = []
    pattern = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
    for top in ("src", "cli", "tools"):
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for f in files:
                if not f.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(folder, f), ROOT)
                source = room_of(path)
                with open(os.path.join(ROOT, path), encoding="utf-8") as text:
                    for number, line in enumerate(text, 1):
                        m = pattern.match(line)
                        if not m:
                            continue
                        target_path = resolve(path, m.group(1))
                        if target_path is None:
                            continue  # generated (moc) or a system header
                        target = room_of(target_path)
                        if target is None or target == source:
                            continue
                        if target not in ALLOWED.get(source, set()):
                            faults.append(f"{path}:{number}: {source} may not include {target} ({m.group(1)})")
                        elif target in DOORS and source not in ("app",) and target_path not in DOORS[target] \
                                and source not in ALLOWED_INSIDE.get(target, set()):
                            faults.append(f"{path}:{number}: {source} enters {target} past its door ({m.group(1)})")
    for fault in faults:
        print(fault)
    print(f"{'no' if not faults else len(faults)} include(s) against the arrows")
    return 1 if faults else 0


# Rooms inside the toolbox's walls (none yet beyond the toolbox itself).
ALLOWED_INSIDE = {"toolbox": set()}

if __name__ == "__main__":
    sys.exit(main())
