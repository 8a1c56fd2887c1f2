#!/usr/bin/env bash
# The Windows window end to end under Wine and an X server, driven like a user
# with xdotool against the box simulator on COM7:
#   walk     Receive before Connect, Connect, pick COM7 in "Select Port",
#            Channels, Receive, Receive again while the save dialog is open,
#            type a name in it; the file must equal what zedazi-recv.exe saves
#            from another simulator run, and the log reads back, byte for
#            byte, what the commands write and the lines zedazi-recv.exe
#            printed. Then DisCnct, a Connect whose port dialog is cancelled
#            (the error box's text), and close by the title bar's close
#            button: exit code 0.
#   refusal  the box refuses the request: its "Error" box opens, and DisCnct
#            still works while it is open (Connect then asks for a port again).
#   closing  the window closed in mid-download ends at once, exit code 0, and
#            saves nothing.
# READ_WINDOW (tests/win32/read_window.cpp) reads the window's texts back.
# Usage: desktop_walk.sh ZEDAZI_EXE RECV_EXE READ_WINDOW BOXSIM SCREEN_GRAB [--shots DIR]
# Runs in the Wine prefix of $WINEPREFIX (scripts/test-windows.sh makes one).
set -euo pipefail

if (($# < 5)); then
  echo "usage: $0 ZEDAZI_EXE RECV_EXE READ_WINDOW BOXSIM SCREEN_GRAB [--shots DIR]" >&2
  exit 2
fi
zedazi=$(realpath "$1") recv=$(realpath "$2") reader=$(realpath "$3") boxsim=$(realpath "$4")
grab=$(realpath "$5")
shots=""
if [ "${6:-}" = "--shots" ]; then shots=$(realpath "${7:?--shots needs a folder}"); fi
: "${WINEPREFIX:?the Wine prefix to run in}"

source "$(dirname "$(realpath "$0")")/../support/walk.sh"
# Wine starts slowly on a busy machine.
walk_wait=60
command -v xdotool >/dev/null || skip "xdotool is not installed"
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || skip "no display, and no xvfb-run to make one"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zedazi-walk-XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com7" "$WINEPREFIX/dosdevices/com9"
  rm -rf "$work"
}
trap cleanup EXIT
wine_path() { echo "Z:${1//\//\\}"; }
start_box() {  # LINK LOG [OPTION ...]
  local link=$1 log=$2
  shift 2
  "$boxsim" --link "$WINEPREFIX/dosdevices/$link" --baud 0 "$@" >"$log" 2>&1 &
  box_pid=$!
  pids+=($box_pid)
  wait_for test -L "$WINEPREFIX/dosdevices/$link" || fail "the simulator did not link $link"
}
# Starts the window in FOLDER and sets WID, X, Y for the clicks.
start_window() {
  (cd "$1" && exec wine "$zedazi") >"$work/zedazi.log" 2>&1 &
  zedazi_pid=$!
  pids+=($zedazi_pid)
  WID=$(window_named '^TAVO Zedazi V1.30$') || fail "no main window"
  [ -n "$WID" ] || fail "no main window"
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  [ "$WIDTH" = 477 ] && [ "$HEIGHT" = 382 ] || fail "the window is ${WIDTH}x$HEIGHT, not 477x382"
}
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; }
shoot() {
  [ -n "$shots" ] || return 0
  sleep 0.3  # let the last repaint reach the screen
  "$grab" "$shots/$1" "$X" "$Y" "$WIDTH" "$HEIGHT" 2>/dev/null || fail "screenshot $1"
}
pick_port() {
  local dialog
  dialog=$(window_named '^Select Port$') || fail "no port dialog"
  xdotool windowfocus --sync "$dialog"
  # No button answers Escape: the dialog stays.
  xdotool key Escape
  sleep 0.5
  no_window '^Select Port$' && fail "Escape closed the port dialog"
  # OK has the focus; the list is one step back in the tab order.
  xdotool key --delay 50 shift+Tab
  xdotool type --delay 80 "$1"
  xdotool key Return
  wait_for no_window '^Select Port$' || fail "the port dialog stayed open"
}
ended() { ! kill -0 "$zedazi_pid" 2>/dev/null; }
# The window's texts as it holds them: the log (each line break an LF), the
# Connect button's caption, a message box's text.
title='TAVO Zedazi V1.30'
log_text() { wine "$reader" window "$title" Edit 2>/dev/null; }
caption() { wine "$reader" window "$title" Button 101 2>/dev/null; }
box_text() { wine "$reader" box "$1" 2>/dev/null; }
# The dot keeps a trailing line break in the comparison.
log_is() { [ "$(log_text && echo .)" = "$1." ]; }
caption_is() { [ "$(caption)" = "$1" ]; }
box_is() { [ "$(box_text "$1")" = "$2" ]; }
# Waits for the log to read WANT, and the Connect button CAPTION when given.
expect_log() {
  wait_for log_is "$1" || fail "the log reads $(printf %q "$(log_text)"), not $(printf %q "$1")"
  [ -z "${2:-}" ] || wait_for caption_is "$2" ||
    fail "the Connect button reads $(printf %q "$(caption)"), not $(printf %q "$2")"
}
# The lines zedazi-recv.exe printed, from the first matching FROM to the first
# matching TO, with LF line ends.
recv_lines() { tr -d '\r' <"$work/recv.log" | sed -n "/$1/,/$2/p"; }
size_is() {
  eval "$(xdotool getwindowgeometry --shell --prefix NOW_ "$WID")"
  [ "${NOW_WIDTH}x$NOW_HEIGHT" = "$1" ]
}
box_gone() { ! wine "$reader" box "$title" >/dev/null 2>&1; }
maximised() {
  eval "$(xdotool getwindowgeometry --shell --prefix NOW_ "$WID")"
  [ "$NOW_X" = 0 ] && [ "$NOW_Y" = 0 ] && ((NOW_WIDTH > 477 && NOW_HEIGHT > 382))
}

walk() {
  echo "== reference file from zedazi-recv.exe"
  start_box com9 "$work/ref-box.log" --once
  # Its log lines alone on standard output, for the window's to match.
  wine "$recv" --port COM9 --type channels --output "$(wine_path "$work/ref.tcn")" --quiet \
    >"$work/recv.log" 2>"$work/recv-errors.log" || fail "zedazi-recv.exe failed"

  echo "== zedazi.exe against the simulator on COM7"
  # Not --once: a box that goes away right after the download is a device
  # failure the window reports, and its error box would stand in the way.
  start_box com7 "$work/box.log"
  mkdir "$work/out"
  start_window "$work/out"
  click 76 288  # Receive
  expect_log "Please, connect first" " Connect"
  click 76 240  # Connect
  pick_port COM7
  expect_log "Port opened" " DisCnct"
  click 15 123  # Channels
  xdotool mousemove --sync $((X + 300)) $((Y + 200))
  shoot window-windows.png
  click 76 288  # Receive
  wait_for grep -q "PACKET_OK for packet 001" "$work/box.log" || fail "the download did not start"
  local save
  save=$(window_named '^Save As$') || fail "no save dialog"
  # The task's lines so far are the receiver's, up to the save.
  expect_log "$(recv_lines '^Waiting for STB' '^Communication END OK')"
  # Below the window, out of the way of its buttons: a second Receive while
  # the task waits.
  xdotool windowmove --sync "$save" "$X" $((Y + HEIGHT + 10))
  click 76 288  # Receive
  expect_log "Task is already running!!!"
  # Back to the dialog by a click on its "File name:" label, and into the
  # name box, which lost the focus to the click (Alt+N). The dialog opens in
  # the working folder, so a bare name lands there.
  eval "$(xdotool getwindowgeometry --shell --prefix SAVE_ "$save")"
  xdotool mousemove --sync $((SAVE_X + 30)) $((SAVE_Y + SAVE_HEIGHT - 52)) click 1
  xdotool key alt+n
  xdotool type --delay 20 list
  xdotool key Return
  wait_for test -f "$work/out/list.tcn" || fail "nothing saved"
  wait_for grep -q "download completed" "$work/box.log" || fail "the box did not finish"
  wait_for cmp -s "$work/ref.tcn" "$work/out/list.tcn" || fail "the saved file differs from the reference"
  expect_log "Task is already running!!!
$(recv_lines '^Download task terminated' '^Download task terminated')"

  click 76 240  # DisCnct
  expect_log "Port closed" " Connect"
  ended && fail "zedazi.exe ended early"
  # Connect with the port dialog cancelled: the component's refusal in the
  # error box, over an empty log.
  click 76 240
  local dialog box
  dialog=$(window_named '^Select Port$') || fail "no port dialog"
  xdotool windowfocus --sync "$dialog"
  xdotool key --delay 50 Tab space  # from OK to Cancel
  wait_for box_is "$title" "The ComNumber property of the TRivuComPort has not been set." ||
    fail "the error box reads $(printf %q "$(box_text "$title")")"
  box=$(xdotool search --onlyvisible --name "^$title\$" | grep -vx "$WID" | head -1)
  xdotool windowfocus --sync "$box"
  xdotool key Return
  wait_for box_gone || fail "the error box did not close"
  expect_log "" " Connect"
  # Maximise fills the work area (Wine's idea of the screen, which may be
  # smaller than the X screen); restore gives the designed size back.
  click 421 30
  wait_for maximised || fail "maximise did not fill the work area (window ${NOW_WIDTH}x$NOW_HEIGHT)"
  xdotool mousemove --sync $((NOW_WIDTH - 56)) 30 click 1
  wait_for size_is 477x382 || fail "restore did not give the window back its size"
  eval "$(xdotool getwindowgeometry --shell "$WID")"
  click 453 30  # the title bar's close button
  wait_for ended || fail "zedazi.exe did not end on close"
  wait "$zedazi_pid" || fail "zedazi.exe exited with an error"
  echo "walk: $(stat -c %s "$work/out/list.tcn") bytes saved, equal to the reference; log, caption and error box read back; maximised and restored; exit code 0"
}

refusal() {
  echo "== a refusal while the window stays usable"
  start_box com7 "$work/box.log" --fault refuse-request
  start_window "$work"
  click 76 240  # Connect
  pick_port COM7
  click 15 123  # Channels
  click 76 288  # Receive
  local box
  box=$(window_named '^Error$') || fail "no Error box for the refusal"
  click 76 240  # DisCnct, while the box is open
  click 76 240  # Connect again: it asks for a port, so the port was closed
  window_named '^Select Port$' >/dev/null || fail "DisCnct did not close the port while the box was open"
  pick_port COM7
  # Its OK button, in the middle of the bottom row.
  eval "$(xdotool getwindowgeometry --shell --prefix BOX_ "$box")"
  xdotool mousemove --sync $((BOX_X + BOX_WIDTH / 2)) $((BOX_Y + BOX_HEIGHT - 21)) click 1
  wait_for no_window '^Error$' || fail "the Error box did not close"
  click 453 30
  wait_for ended || fail "zedazi.exe did not end on close"
  wait "$zedazi_pid" || fail "zedazi.exe exited with an error"
  echo "refusal: the Error box opened, DisCnct and Connect worked beside it; exit code 0"
}

closing() {
  echo "== the window closed in mid-download"
  # Paced, so that the download is still under way when the window closes.
  start_box com7 "$work/box.log" --baud 115200
  mkdir "$work/closing"
  start_window "$work/closing"
  click 76 240  # Connect
  pick_port COM7
  click 15 123  # Channels
  click 76 288  # Receive
  wait_for grep -q "PACKET_OK for packet 000" "$work/box.log" || fail "the download did not start"
  click 453 30
  wait_for ended || fail "zedazi.exe did not end when closed in mid-download"
  wait "$zedazi_pid" || fail "zedazi.exe exited with an error"
  grep -q "download completed" "$work/box.log" && fail "the download completed before the close"
  [ -z "$(ls -A "$work/closing")" ] || fail "a file was saved: $(ls "$work/closing")"
  echo "closing: ended in mid-download with exit code 0, nothing saved"
}

stop_box() {
  kill "$box_pid"
  wait "$box_pid" 2>/dev/null || true
}

walk
stop_box
refusal
stop_box
closing
echo "[  PASSED  ] desktop walk, refusal and closing"
