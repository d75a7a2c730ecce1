#!/usr/bin/env bash
# Installs what building and running need, builds (release) and starts the viewer:
#   ./run.sh [IMAGE]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
image="${1:-}"
if [ -n "$image" ]; then
  image="$(cd "$(dirname -- "$image")" 2>/dev/null && pwd)/$(basename -- "$image")" || image="$1"
fi
"$root/scripts/install-deps" --build --run
"$root/scripts/build" Release
build="${QUORVANE_BUILD_DIR:-$root/build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "run.sh: no display available (DISPLAY is not set); try: apt-get install xvfb xauth && xvfb-run -a -s '-screen 0 1920x1080x24' ./run.sh ${image}" >&2
  exit 1
fi
if [ -n "$image" ]; then
  exec "$build/bin/quorvane" "$image"
else
  exec "$build/bin/quorvane"
fi
