#!/usr/bin/env bash
# The real window read through AT-SPI, as Orca reads it: zedazi under an X
# server and its own session bus, with Qt's accessibility bridge switched on,
# and tests/app/atspi_walk.py on the other side.
# Usage: atspi_walk.sh ZEDAZI
set -euo pipefail
zedazi=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
skip() {
  echo "[  SKIPPED ] $*"
  exit 77
}
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed"
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || skip "no display, and no xvfb-run to make one"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
if [ -z "${ZEDAZI_ATSPI_SESSION:-}" ]; then
  # A bus of its own, gone with the run, where the accessibility bus starts
  # on demand.
  exec env ZEDAZI_ATSPI_SESSION=1 dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zedazi-atspi-XXXXXX")
# No ports of the machine: an empty links folder.
export XDG_CONFIG_HOME=$work/config
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$zedazi" >"$work/zedazi.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$work"' EXIT
status=0
timeout 60 /usr/bin/python3 "$here/atspi_walk.py" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- zedazi.log"
  cat "$work/zedazi.log"
fi
exit "$status"
