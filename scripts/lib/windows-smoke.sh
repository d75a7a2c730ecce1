#!/usr/bin/env bash
# The smoke run of scripts/test-windows: the portable folder's quorvane-batch.exe
# under Wine (the caller set up WINEPREFIX), with the tools bundled beside it.
#   windows-smoke.sh FOLDER
# Converts a JPEG and a PNG with transparency; then, with a magick.exe that never
# ends, the file fails within the idle bound and no tool is left running.
set -euo pipefail
dist="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
pass=0
fail=0
check() { # NAME COMMAND...
  local name="$1"
  shift
  if "$@"; then
    echo "PASS   : smoke: $name"
    pass=$((pass + 1))
  else
    echo "FAIL!  : smoke: $name"
    fail=$((fail + 1))
  fi
}
win() { echo "Z:${1//\//\\}"; }

convert -size 64x48 gradient:red-blue "$work/photo.jpg"
convert -size 64x48 xc:none -fill 'rgba(0,128,255,0.5)' -draw 'circle 32,24 32,4' "$work/alpha.png"

wine "$dist/quorvane-batch.exe" convert -f png -o "$(win "$work/out")" "$(win "$work/photo.jpg")" \
  >"$work/jpeg.log" 2>&1 || true
check "a JPEG becomes a PNG" test "$(identify -format '%m %wx%h' "$work/out/photo.png" 2>/dev/null)" = "PNG 64x48"

wine "$dist/quorvane-batch.exe" convert -f webp -o "$(win "$work/out")" "$(win "$work/alpha.png")" \
  >"$work/png.log" 2>&1 || true
check "a PNG keeps its transparency in WebP" test "$(identify -format '%A' "$work/out/alpha.webp" 2>/dev/null)" != "False"

wine "$dist/quorvane-batch.exe" compress -o "$(win "$work/out/compressed")" "$(win "$work/alpha.png")" \
  >"$work/pngquant.log" 2>&1 || true
check "pngquant compresses a PNG" test -s "$work/out/compressed/alpha.png"

# A tool that never ends: the file fails once the idle bound (60 s) has passed.
hang="$work/hang"
cp -r "$dist" "$hang"
cat >"$work/hang.c" <<'EOF'
#include <windows.h>
int main(void) { Sleep(INFINITE); return 0; }
EOF
x86_64-w64-mingw32-gcc -O1 -o "$hang/magick.exe" "$work/hang.c"
started=$SECONDS
timeout 300 wine "$hang/quorvane-batch.exe" convert -f png -o "$(win "$work/hung")" "$(win "$work/photo.jpg")" \
  >"$work/hang.log" 2>&1 || true
took=$((SECONDS - started))
check "a hanging magick.exe is ended within the bound (${took} s)" test "$took" -lt 150
check "no output from the hanging tool" test ! -e "$work/hung/photo.png"
check "no tool left running" bash -c '! pgrep -f "magick\\.exe" >/dev/null'

echo "smoke: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
