#!/usr/bin/env bash
# The viewer's benchmarks: one JSON object per figure on stdout, progress on stderr.
#
#   bench/viewer.sh [open] [step] [raw] [launch] [load] [colour] [thumbs]   (default: all seven)
#
#   open    open-jpeg, open-png, open-webp: showImg() until the final fitted picture is
#           painted, against the plain full decode
#   step    step-1000, step-10000, step-50000: nextImg() in folders of that many images
#   raw     raw-24mp: the RAW load task against LibRaw's dcraw_emu
#   launch  rss-jpeg, start and cpu-start: the real viewer showing a 6000 x 4000 JPEG
#   load    fit-final, fit-final-png, zoom-full, raw-fit, step-ready, raw-burst,
#           raw-preview, rss-steps, fit-sharpness and gui-stall: the loader
#           (bench_viewer_load.cpp)
#   thumbs  thumbs-first (over gthumb), thumbs-all (over vipsthumbnail), thumbs-warm,
#           grid-10000 and its gui-stall: the thumbnail cache, the thumbnailer and the
#           grid (bench_viewer_thumbs.cpp); gthumb needs a display, so without one the
#           part runs under xvfb-run
#   colour  colour-24mp: the conversion to sRGB when showing an Adobe RGB tagged 24 MP
#           JPEG (on the display level), against the plain full decode
#
# Environment: BENCH_RUNS (rounds per figure; each program has its own default),
# BENCH_CACHE (generated inputs, kept between runs; default build/bench-cache),
# QUORVANE_BUILD_DIR (default build), BENCH_ONLY (open: a comma-separated list of
# figure names, e.g. open-png; load: the figures to take, e.g. raw-burst; thumbs: e.g.
# thumbs-warm,grid-10000). BENCH_ONLY=thumbs alone runs the thumbs part and nothing else.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUORVANE_BUILD_DIR:-$root/build}"
cache="${BENCH_CACHE:-$build/bench-cache}/viewer"
bin="$build/bin"

"$root/scripts/build" >&2
mkdir -p "$cache"
export QT_QPA_PLATFORM=offscreen

# The viewer logs every load; only the benchmarks' own progress lines ("# ...")
# reach the terminal.
run() {
  "$@" 2> >(grep --line-buffered '^#' >&2 || true)
}

dng() {
  local file="$cache/raw-6000x4000.dng"
  if [ ! -f "$file" ]; then
    echo "# writing $file" >&2
    python3 "$root/tests/support/mkdng.py" "$file.part" 6000 4000
    mv "$file.part" "$file"
  fi
  echo "$file"
}

thumbs() {
  local figures=()
  [ "${BENCH_ONLY:-}" = thumbs ] || figures=(${BENCH_ONLY:+${BENCH_ONLY//,/ }})
  local program=("$bin/bench_viewer_thumbs" "$cache" "$root/tests/support/mkdng.py" "$bin/quorvane" "${figures[@]}")
  if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    run xvfb-run -a -s '-screen 0 1920x1080x24' "${program[@]}"
  else
    run "${program[@]}"
  fi
}

parts=("$@")
if [ ${#parts[@]} -eq 0 ] && [ "${BENCH_ONLY:-}" = thumbs ]; then
  parts=(thumbs)
fi
[ ${#parts[@]} -gt 0 ] || parts=(open step raw launch load colour thumbs)
echo "# $(uptime)" >&2
for part in "${parts[@]}"; do
  case "$part" in
    open) run "$bin/bench_viewer_open" "$cache" ;;
    step) run "$bin/bench_viewer_step" "$cache" 1000 10000 50000 ;;
    raw) run "$bin/bench_viewer_raw" "$(dng)" ;;
    launch) run "$bin/bench_viewer_launch" "$bin/quorvane" "$cache" ;;
    load) run "$bin/bench_viewer_load" "$cache" "$root/tests/support/mkdng.py" ${BENCH_ONLY:+${BENCH_ONLY//,/ }} ;;
    colour) run "$bin/bench_viewer_colour" "$cache" /usr/share/color/icc/compatibleWithAdobeRGB1998.icc ;;
    thumbs) thumbs ;;
    *) echo "usage: bench/viewer.sh [open] [step] [raw] [launch] [load] [colour] [thumbs]" >&2; exit 2 ;;
  esac
done
echo "# $(uptime)" >&2
