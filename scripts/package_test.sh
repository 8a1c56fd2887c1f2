#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root and runs the installed
# programs there, from the installed files only: zedazi-recv --version, a
# download from zedazi-boxsim, and zedazi on the offscreen platform until its
# window is shown. The debootstrap root and the downloaded packages are cached
# under build/debian-root.
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

source scripts/debian_root.sh
log=$root_cache/package-install.log
root_new
cp "$deb" "$root/tmp/"

echo "== apt-get install ./$(basename "$deb") in a fresh root"
in_root sh -c 'apt-get update -qq && cd /tmp &&
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ./zedazi_*.deb' \
  >"$log" 2>&1 || { tail -30 "$log" >&2; exit 1; }

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
