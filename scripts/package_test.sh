#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root and runs the installed
# programs there, from the installed files only: zedazi-recv --version, a
# download from zedazi-boxsim, and zedazi on the offscreen platform until its
# window is shown. The debootstrap root and the downloaded packages are cached
# under build/package-test.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "package test: skipped: making a Debian root and entering it needs root"
  exit 0
fi
start=$(date +%s)
deb=$(scripts/package.sh)
echo "== package: $deb ($(stat -c %s "$deb") bytes)"
echo "   Depends: $(dpkg-deb -f "$deb" Depends)"

cache=$PWD/build/package-test
mkdir -p "$cache/archives/partial"

# The mirror this machine's apt uses, so the root sees the same packages.
mirror=$(sed -n 's/^URIs: *\([^ ]*\/debian\)\/\?$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null)
mirror=${mirror:-http://deb.debian.org/debian}

base=$cache/base
if [ ! -e "$base/.complete" ]; then
  echo "== debootstrap minbase bookworm from $mirror (once; kept in $base)"
  rm -rf "$base" "$base.partial"
  debootstrap --variant=minbase bookworm "$base.partial" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -20 "$cache/debootstrap.log" >&2; exit 1; }
  touch "$base.partial/.complete"
  mv "$base.partial" "$base"
fi

root=$(mktemp -d "$cache/root-XXXXXX")
mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
  # Never remove through a mount that is still there (the host's /dev).
  if grep -qF " $root/" /proc/mounts; then
    echo "package test: $root still has mounts; left in place" >&2
  else
    rm -rf --one-file-system "$root"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
bind() {
  mount --bind "$1" "$2"
  mounted+=("$2")
}
cp -a "$base/." "$root/"
mount -t proc proc "$root/proc"
mounted+=("$root/proc")
bind /dev "$root/dev"
bind /dev/pts "$root/dev/pts"
bind "$cache/archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
  : >"$root/etc/apt/sources.list"
fi
cp "$deb" "$root/tmp/"

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
echo "== apt-get install ./$(basename "$deb") in a fresh root"
in_root sh -c 'apt-get update -qq && cd /tmp &&
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ./zedazi_*.deb' \
  >"$cache/install.log" 2>&1 || { tail -30 "$cache/install.log" >&2; exit 1; }

cat >"$root/tmp/check.sh" <<'CHECK'
set -eu
export XDG_CONFIG_HOME=/tmp/config
echo "-- zedazi-recv --version"
zedazi-recv --version
echo "-- a download from the installed zedazi-boxsim"
zedazi-boxsim --link /tmp/line --once >/tmp/box.log 2>&1 &
box=$!
i=0
while [ ! -L /tmp/line ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
zedazi-recv --port /tmp/line --type channels --output /tmp/channels.tcn --idle-timeout 60 --quiet
wait $box
test -s /tmp/channels.tcn
echo "-- zedazi on the offscreen platform"
QT_QPA_PLATFORM=offscreen timeout 60 zedazi --quit-when-shown
CHECK
in_root sh /tmp/check.sh
echo "== package test passed in $(($(date +%s) - start)) s"
