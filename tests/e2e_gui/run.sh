#!/usr/bin/env bash
# The desktop tool end to end under an X server, driven like a user with
# xdotool: Connect, pick the simulator's port in the dialog, choose Channels,
# Receive, type a file name in the save dialog, Disconnect, close. The file
# must equal, byte for byte, what zedazi-recv saves from another simulator run.
#
# Usage: run.sh ZEDAZI BOXSIM RECV SCREEN_GRAB [--shots DIR]
#   --shots DIR  also saves window-connected.png and window-download.png there
set -euo pipefail

if (($# < 4)); then
  echo "usage: $0 ZEDAZI BOXSIM RECV SCREEN_GRAB [--shots DIR]" >&2
  exit 2
fi
zedazi=$(realpath "$1") boxsim=$(realpath "$2") recv=$(realpath "$3") grab=$(realpath "$4")
shots=""
if [ "${5:-}" = "--shots" ]; then shots=$(realpath "${6:?--shots needs a folder}"); fi

source "$(dirname "$(realpath "$0")")/../support/walk.sh"
command -v xdotool >/dev/null || skip "xdotool is not installed"
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || skip "no display, and no xvfb-run to make one"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
export QT_QPA_PLATFORM=xcb
# For sanitizer builds: what the X11 platform plugin's libraries keep.
export LSAN_OPTIONS="suppressions=$(dirname "$(realpath "$0")")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
links=$XDG_CONFIG_HOME/zedazi/ports


echo "== reference file from zedazi-recv"
"$boxsim" --com 9 --baud 0 --once >"$work/ref-box.log" 2>&1 &
pids+=($!)
wait_for test -L "$links/com9" || fail "the reference simulator did not link COM9"
"$recv" --port COM9 --type channels --output "$work/ref.tcn" --quiet >"$work/recv.log" 2>&1 ||
  fail "zedazi-recv failed"

echo "== zedazi against the simulator on COM4"
# Not --once: a box that goes away right after the download is a device
# failure the window reports, and its error box would stand in the way here.
"$boxsim" --com 4 --baud 0 >"$work/box.log" 2>&1 &
pids+=($!)
wait_for test -L "$links/com4" || fail "the simulator did not link COM4"
mkdir "$work/out"
# The save dialog opens in the working folder, so a bare name lands there.
(cd "$work/out" && exec "$zedazi") >"$work/zedazi.log" 2>&1 &
zedazi_pid=$!
pids+=($zedazi_pid)
wid=$(window_named '^TAVO Zedazi V1.30$') || fail "no main window"
[ -n "$wid" ] || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$wid")"  # X Y WIDTH HEIGHT
# Clicks at client coordinates of the main window.
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; }
shoot() {
  [ -n "$shots" ] || return 0
  sleep 0.3  # let the last repaint reach the screen
  "$grab" "$shots/$1" "$X" "$Y" "$WIDTH" "$HEIGHT" || fail "screenshot $1"
}

click 76 240  # Connect
dialog=$(window_named '^Select Port$') || fail "no port dialog"
xdotool windowfocus --sync "$dialog"
# OK has the focus; the list is one step back in the tab order.
xdotool key --delay 50 shift+Tab
xdotool type --delay 50 COM4
xdotool key Return
wait_for test -z "$(xdotool search --onlyvisible --name '^Select Port$')" ||
  fail "the port dialog stayed open"

click 15 123  # Channels
xdotool mousemove --sync $((X + 300)) $((Y + 200))  # off the buttons, for the picture
shoot window-connected.png

click 76 288  # Receive
wait_for grep -q "PACKET_OK for packet 001" "$work/box.log" || fail "the download did not start"
shoot window-download.png

save=$(window_named '^Save As$') || fail "no save dialog"
xdotool windowfocus --sync "$save"
xdotool type --delay 20 list
xdotool key Return
wait_for test -f "$work/out/list.tcn" || fail "nothing saved"
wait_for grep -q "download completed" "$work/box.log" || fail "the box did not finish"
cmp "$work/ref.tcn" "$work/out/list.tcn" || fail "the saved file differs from the reference"

click 76 240  # Disconnect
sleep 0.5
kill -0 "$zedazi_pid" || fail "zedazi ended early"
click 453 30  # the title bar's close button
wait_for bash -c "! kill -0 $zedazi_pid 2>/dev/null" || fail "zedazi did not end on close"
wait "$zedazi_pid" || fail "zedazi exited with an error"
echo "[  PASSED  ] $(stat -c %s "$work/out/list.tcn") bytes saved, equal to the reference"
