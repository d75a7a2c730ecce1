# Shared by scripts/build-windows and scripts/test-windows: where the cross-built
# dependency cache lives and the tools that build against it.
#   QUORVANE_WINDOWS_CACHE   the cache's root (default ~/.cache/quorvane-windows)
# A finished cache is <root>/<key>/ with a .complete stamp; <root>/current names
# the last one finished.

win_triple=x86_64-w64-mingw32
win_cache_root="${QUORVANE_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane-windows}"

# The finished cache's folder, or nothing when there is none yet.
win_current_cache() {
  local key
  key="$(cat "$win_cache_root/current" 2>/dev/null || true)"
  if [ -n "$key" ] && [ -f "$win_cache_root/$key/.complete" ]; then
    echo "$win_cache_root/$key"
  fi
}

# A folder of the MinGW compilers under their plain names, pinned to the POSIX
# threads variant whatever update-alternatives says.
win_toolbin() {
  local dir="$win_cache_root/toolbin" t
  mkdir -p "$dir"
  for t in gcc g++ c++ cpp gcc-ar gcc-nm gcc-ranlib; do
    if [ -x "/usr/bin/$win_triple-$t-posix" ]; then
      ln -sfn "/usr/bin/$win_triple-$t-posix" "$dir/$win_triple-$t"
    fi
  done
  echo "$dir"
}

# A Wine prefix of its own, so tests never touch the user's ~/.wine.
win_wine_env() {
  export WINEPREFIX="${QUORVANE_WINEPREFIX:-$win_cache_root/wineprefix}"
  export WINEARCH=win64
  export WINEDEBUG="${WINEDEBUG:--all}"
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
  fi
}
