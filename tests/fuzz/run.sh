#!/usr/bin/env bash
# Runs one fuzz harness for a while, niced, on a corpus kept in the build folder:
#   tests/fuzz/run.sh BUILD_DIR HARNESS SECONDS
# (fuzz_pngdecode, fuzz_icc, fuzz_pngdecode_integer). Prints libFuzzer's last
# status line (#runs, coverage) and exits as libFuzzer does (non-zero on a finding;
# the input is then in BUILD_DIR/findings/).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "$1" && pwd)"
harness="$2"
seconds="$3"
kind="${harness#fuzz_}"
kind="${kind%_integer}"
corpus="$build/corpus-$kind"
seeds="$build/seeds-$kind"
mkdir -p "$corpus" "$build/findings"
[ -d "$seeds" ] || python3 "$here/seeds.py" "$kind" "$seeds"
log="$build/$harness.log"
set +e
nice -n 10 "$build/$harness" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=20 \
  -print_final_stats=1 -artifact_prefix="$build/findings/" "$corpus" "$seeds" >"$log" 2>&1
status=$?
set -e
grep -E '^#[0-9]+' "$log" | tail -n 1
grep -E '^stat::number_of_executed_units' "$log" || true
exit $status
