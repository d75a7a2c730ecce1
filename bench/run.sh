#!/usr/bin/env bash
# Benchmarks, printing one JSON object per line per figure.
#   bench/run.sh batch    quorvane-batch against plain xargs loops (bench/batch_bench.py)
#   bench/run.sh viewer [PART...]   the viewer's benchmarks (bench/viewer.sh), e.g. `viewer thumbs`
#   bench/run.sh          both
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUORVANE_BUILD_DIR:-$root/build}"

run_batch() {
  "$root/scripts/build" >&2
  python3 "$root/bench/batch_bench.py" "$build/bin"
}

run_viewer() {
  if [ -x "$root/bench/viewer.sh" ] || [ -f "$root/bench/viewer.sh" ]; then
    bash "$root/bench/viewer.sh" "$@"
  else
    echo "bench: no viewer benchmark (bench/viewer.sh) here" >&2
  fi
}

case "${1:-all}" in
  batch) run_batch ;;
  viewer) shift; run_viewer "$@" ;;
  all) run_batch; run_viewer ;;
  *) echo "usage: bench/run.sh [batch|viewer]" >&2; exit 2 ;;
esac
