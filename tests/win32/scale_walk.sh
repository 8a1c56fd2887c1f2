#!/usr/bin/env bash
# The Windows window at the display scales 100, 125, 150 and 200 % under Wine
# and an X server: for each, the prefix's LogPixels is set and the server
# restarted, zedazi.exe started, its size measured (477 x 382 grown by the
# scale, to a pixel), Connect clicked at its grown place and the "Select Port"
# dialog measured (its 220 x 131 client area grown by the scale, inside a
# frame). With --shots, the window at 150 % is saved as window-windows-150.png;
# with --test, that test program (the window's scale test) runs at each scale.
# Usage: scale_walk.sh ZEDAZI_EXE SCREEN_GRAB [--shots DIR] [--test EXE]
# Runs in the Wine prefix of $WINEPREFIX (scripts/test-windows.sh makes one),
# and leaves its LogPixels at 96.
set -euo pipefail

usage() {
  echo "usage: $0 ZEDAZI_EXE SCREEN_GRAB [--shots DIR] [--test EXE]" >&2
  exit 2
}
(($# >= 2)) || usage
zedazi=$(realpath "$1") grab=$(realpath "$2")
shots="" test_exe=""
args=("${@:3}")
for ((i = 0; i < ${#args[@]}; i += 2)); do
  case ${args[i]} in
  --shots) shots=$(realpath "${args[i + 1]:?--shots needs a folder}") ;;
  --test) test_exe=$(realpath "${args[i + 1]:?--test needs a program}") ;;
  *) usage ;;
  esac
done
: "${WINEPREFIX:?the Wine prefix to run in}"

source "$(dirname "$(realpath "$0")")/../support/walk.sh"
walk_wait=60
command -v xdotool >/dev/null || skip "xdotool is not installed"
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || skip "no display, and no xvfb-run to make one"
  exec xvfb-run -a -s "-screen 0 1600x1200x24" "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zedazi-scale-XXXXXX")
zedazi_pid=
stop_window() {
  [ -n "$zedazi_pid" ] && kill "$zedazi_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  wait 2>/dev/null || true
  zedazi_pid=
}
# The scale the prefix is left at: the other walks expect 100 %.
set_dpi() {
  wineserver -k 2>/dev/null || true
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  wineserver -w
}
cleanup() {
  stop_window
  set_dpi 96 || true
  rm -rf "$work"
}
trap cleanup EXIT

# round(Units * Dpi / 96), halves up.
px() { echo $((($1 * $2 + 48) / 96)); }
near() { (($1 - $2 <= 1 && $2 - $1 <= 1)); }

for dpi in 96 120 144 192; do
  set_dpi "$dpi"
  percent=$((dpi * 100 / 96))
  if [ -n "$test_exe" ]; then
    timeout 120 wine "$test_exe" --gtest_brief=1 >"$work/test-$dpi.log" 2>&1 ||
      fail "$percent %: $(basename "$test_exe") failed"
  fi
  (cd "$work" && exec wine "$zedazi") >"$work/zedazi.log" 2>&1 &
  zedazi_pid=$!
  wid=$(window_named '^TAVO Zedazi V1.30$') || fail "$percent %: no main window"
  [ -n "$wid" ] || fail "$percent %: no main window"
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  want_w=$(px 477 "$dpi") want_h=$(px 382 "$dpi")
  near "$WIDTH" "$want_w" && near "$HEIGHT" "$want_h" ||
    fail "$percent %: the window is ${WIDTH}x$HEIGHT, not ${want_w}x$want_h"
  window="${WIDTH}x$HEIGHT"
  if [ -n "$shots" ] && [ "$dpi" = 144 ]; then
    xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + $(px 200 "$dpi")))
    sleep 0.5  # let the last repaint reach the screen
    "$grab" "$shots/window-windows-150.png" "$X" "$Y" "$WIDTH" "$HEIGHT" 2>/dev/null ||
      fail "screenshot at $percent %"
  fi

  # Connect, at its grown place, asks for the port.
  xdotool mousemove --sync $((X + $(px 76 "$dpi"))) $((Y + $(px 240 "$dpi"))) click 1
  dialog=$(window_named '^Select Port$') || fail "$percent %: Connect opened no port dialog"
  eval "$(xdotool getwindowgeometry --shell --prefix D_ "$dialog")"
  client_w=$(px 220 "$dpi") client_h=$(px 131 "$dpi")
  # The frame and the title bar add a little, but no more than a small window's worth.
  ((D_WIDTH >= client_w && D_WIDTH <= client_w + $(px 24 "$dpi") &&
    D_HEIGHT >= client_h && D_HEIGHT <= client_h + $(px 48 "$dpi"))) ||
    fail "$percent %: the port dialog is ${D_WIDTH}x$D_HEIGHT, not ${client_w}x$client_h and its frame"
  echo "scale $percent %: window $window, port dialog ${D_WIDTH}x$D_HEIGHT (client ${client_w}x$client_h)${test_exe:+, $(basename "$test_exe") passed}"
  stop_window
done
echo "[  PASSED  ] the window and the port dialog grow with the scale (100, 125, 150, 200 %)"
