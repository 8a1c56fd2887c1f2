# Fresh Debian 12 roots for the tests that must start from a brand-new machine.
# Sourced, from the project's root folder, by package_test.sh and fresh_test.sh.
# The debootstrap minbase root and the packages it downloads are cached in
# build/debian-root; each root made from it is thrown away when the script ends.
#
#   root_new          makes $root: a copy of the base with /proc, /sys, /dev and
#                     the package cache mounted, and this machine's apt sources
#   in_root CMD ...   runs CMD as root in $root with an empty environment
#   root_remove       unmounts and removes $root (also done on exit)

root_cache=$PWD/build/debian-root
mkdir -p "$root_cache/archives/partial"
root=
root_mounts=()

root_base() {
  # The mirror this machine's apt uses, so the root sees the same packages.
  local mirror
  mirror=$(sed -n 's/^URIs: *\([^ ]*\/debian\)\/\?$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
  [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null)
  mirror=${mirror:-http://deb.debian.org/debian}
  local base=$root_cache/base
  [ -e "$base/.complete" ] && return 0
  echo "== debootstrap minbase bookworm from $mirror (once; kept in $base)"
  rm -rf "$base" "$base.partial"
  debootstrap --variant=minbase bookworm "$base.partial" "$mirror" >"$root_cache/debootstrap.log" 2>&1 ||
    { tail -20 "$root_cache/debootstrap.log" >&2; return 1; }
  touch "$base.partial/.complete"
  mv "$base.partial" "$base"
}

root_bind() {
  mount --bind "$1" "$2"
  root_mounts+=("$2")
}

root_new() {
  root_base
  root=$(mktemp -d "$root_cache/root-XXXXXX")
  cp -a "$root_cache/base/." "$root/"
  mount -t proc proc "$root/proc"
  root_mounts+=("$root/proc")
  root_bind /sys "$root/sys"
  root_bind /dev "$root/dev"
  root_bind /dev/pts "$root/dev/pts"
  [ -d /dev/shm ] && root_bind /dev/shm "$root/dev/shm"
  root_bind "$root_cache/archives" "$root/var/cache/apt/archives"
  cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
    : >"$root/etc/apt/sources.list"
  fi
}

root_remove() {
  [ -n "$root" ] || return 0
  local i
  for ((i = ${#root_mounts[@]} - 1; i >= 0; i--)); do umount -l "${root_mounts[i]}" 2>/dev/null || true; done
  root_mounts=()
  # Never remove through a mount that is still there (the host's /dev).
  if grep -qF " $root/" /proc/mounts; then
    echo "debian root: $root still has mounts; left in place" >&2
  else
    rm -rf --one-file-system "$root"
  fi
  root=
}
trap root_remove EXIT
trap 'exit 130' INT TERM

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
