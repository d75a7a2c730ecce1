# A fresh Debian 12 root made with debootstrap (minbase), for the checks that run
# what a person on a new machine would. Sourced by scripts/check-*; sets $target and
# in_root, and removes the root again on exit (never through a mount still there).
# The caller may add to $cleanup_extra (commands run first on exit).

debian_mirror() {
  local mirror
  # The mirror apt is configured with (deb822 .sources first, then sources.list).
  mirror="$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\/debian\)\/\?[[:space:]]*$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)"
  if [ -z "$mirror" ]; then
    mirror="$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)"
  fi
  echo "${mirror:-http://deb.debian.org/debian}"
}

cleanup_extra=":"
debian_root_cleanup() {
  eval "$cleanup_extra" || true
  [ -n "${target:-}" ] || return 0
  for m in $(findmnt -rn -o TARGET | grep "^$target/" | sort -r); do
    umount -l "$m" 2>/dev/null || true
  done
  if findmnt -rn -o TARGET | grep -q "^$target/"; then
    echo "$(basename "$0"): $target still has mounts; left in place" >&2
  else
    rm -rf --one-file-system "$target"
  fi
}

in_root() { chroot "$target" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

# make_debian_root NAME: debootstraps into /var/tmp/NAME.XXXXXX with the host's apt
# sources (updates and security included), /proc mounted, no daemon allowed to start.
make_debian_root() {
  target="$(mktemp -d "/var/tmp/$1.XXXXXX")"
  chmod 755 "$target" # the root's /, which an ordinary user must enter
  trap debian_root_cleanup EXIT
  local mirror
  mirror="$(debian_mirror)"
  echo "== debootstrap --variant=minbase bookworm from $mirror"
  # Packages the host has already downloaded are reused.
  debootstrap --variant=minbase --cache-dir=/var/cache/apt/archives bookworm "$target" "$mirror" >"$target.log" 2>&1 ||
    { tail -n 20 "$target.log" >&2; exit 1; }
  rm -f "$target.log"
  mount -t proc proc "$target/proc"
  if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
    rm -f "$target/etc/apt/sources.list"
    cp /etc/apt/sources.list.d/*.sources "$target/etc/apt/sources.list.d/"
  fi
  if [ -s /etc/apt/sources.list ]; then
    cp /etc/apt/sources.list "$target/etc/apt/"
  fi
  printf '#!/bin/sh\nexit 101\n' >"$target/usr/sbin/policy-rc.d"
  chmod 755 "$target/usr/sbin/policy-rc.d"
  in_root apt-get update -q >/dev/null
}

# Hard links of the host's downloaded packages save most downloads.
share_host_debs() {
  find /var/cache/apt/archives -maxdepth 1 -name '*.deb' -exec ln -f -t "$target/var/cache/apt/archives/" {} + 2>/dev/null || true
}
