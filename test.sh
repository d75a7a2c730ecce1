#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test offscreen through CTest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/install-deps"
"$root/scripts/build"
build="${QUORVANE_BUILD_DIR:-$root/build}"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 900 "$@"
