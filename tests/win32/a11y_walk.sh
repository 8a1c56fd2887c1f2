#!/usr/bin/env bash
# The Windows window as a screen reader reads it, under Wine and an X server:
#   tree    the accessibility tree from another process (a11y_walk.exe) lists
#           every control with its role, name and state, as the table below
#   tab     Tab from the start goes content types (one stop), Connect,
#           Receive, the log, and round again; an arrow key chooses the next
#           content type, a click another, and the chosen one is the stop;
#           Alt+Space opens the window menu under its button
#   rename  Connect is read "DisCnct" once the port is open
#   progress  the bar's name and value are its caption, "100%" after a download
# Usage: a11y_walk.sh ZEDAZI_EXE A11Y_WALK_EXE BOXSIM
# Runs in the Wine prefix of $WINEPREFIX (scripts/test-windows.sh makes one).
set -euo pipefail

if (($# < 3)); then
  echo "usage: $0 ZEDAZI_EXE A11Y_WALK_EXE BOXSIM" >&2
  exit 2
fi
zedazi=$(realpath "$1") walker=$(realpath "$2") boxsim=$(realpath "$3")
: "${WINEPREFIX:?the Wine prefix to run in}"

source "$(dirname "$(realpath "$0")")/../support/walk.sh"
walk_wait=60  # Wine starts slowly on a busy machine
command -v xdotool >/dev/null || skip "xdotool is not installed"
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || skip "no display, and no xvfb-run to make one"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zedazi-a11y-XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -f "$WINEPREFIX/dosdevices/com7"
  rm -rf "$work"
}
trap cleanup EXIT

# The tree as it stands; kept in $work/tree.log for a failure's report.
tree() { wine "$walker" 2>"$work/walker.log" | tr -d '\r' | tee "$work/tree.log"; }
# The line of what has the focus, without its states: radiobutton "Logo".
name_of() { sed -E 's/^ *([a-z]+ "[^"]*").*/\1/'; }
focused() { tree | grep ' focused' | grep -v '^client' | name_of; }
checked() { tree | grep ' checked' | name_of; }
click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1; }
key() {
  xdotool key "$1"
  sleep 0.3  # the key reaches Wine's queue before the walker asks
}
expect() {  # WHAT GOT WANT
  [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"
}

"$boxsim" --link "$WINEPREFIX/dosdevices/com7" --baud 0 >"$work/box.log" 2>&1 &
pids+=($!)
wait_for test -L "$WINEPREFIX/dosdevices/com7" || fail "the simulator did not link com7"
(cd "$work" && exec wine "$zedazi") >"$work/zedazi.log" 2>&1 &
zedazi_pid=$!
pids+=($zedazi_pid)
WID=$(window_named '^TAVO Zedazi V1.30$') || fail "no main window"
[ -n "$WID" ] || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$WID")"
xdotool windowfocus --sync "$WID"

echo "== tree"
# Focus aside (checked below), every control with its role, name and state.
want='client "TAVO Zedazi V1.30" focusable
  statictext "TAVO Zedazi V1.30" readonly
  pushbutton "Window menu"
  pushbutton "Minimize"
  pushbutton "Maximize"
  pushbutton "Close"
  graphic "" readonly
  grouping ""
    radiobutton "Channels" focusable
    radiobutton "Logo" focusable
    radiobutton "Data" focusable
    radiobutton "NET Config" focusable
  pushbutton "Connect" focusable
  pushbutton "Receive" focusable
  text "" focusable readonly
  progressbar "0%" readonly = "0%"
  link "TAVO Zedazi" linked'
got=$(tree | sed 's/ focused//')
[ "$got" = "$want" ] || fail "the tree differs:
$(diff <(echo "$want") <(echo "$got") || true)"
echo "tree: $(echo "$got" | wc -l) objects with their roles, names and states"

echo "== tab"
order=()
for _ in 1 2 3 4 5; do
  key Tab
  order+=("$(focused)")
done
expect "Tab from the start" "$(printf '%s|' "${order[@]}")" \
  'radiobutton "Channels"|pushbutton "Connect"|pushbutton "Receive"|text ""|radiobutton "Channels"|'
key Down
expect "Down on Channels" "$(focused) / $(checked)" 'radiobutton "Logo" / radiobutton "Logo"'
click 15 171  # Data
expect "a click on Data" "$(checked)" 'radiobutton "Data"'
key Tab
expect "Tab from Data" "$(focused)" 'pushbutton "Connect"'
key shift+Tab
expect "Shift+Tab from Connect" "$(focused)" 'radiobutton "Data"'
# Alt+Space opens the skin's window menu under its button, not the system's
# in the corner.
before=$(xdotool search --onlyvisible --name '' | sort)
key alt+space
menu=$(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name '' | sort) | head -1)
[ -n "$menu" ] || fail "Alt+Space opened no menu"
eval "$(xdotool getwindowgeometry --shell --prefix MENU_ "$menu")"
((MENU_X > X + 300)) || fail "Alt+Space opened a menu at x $MENU_X, not under the menu button"
key Escape
echo "tab: content types (one stop), Connect, Receive, log; arrows and clicks choose, checked state follows; Alt+Space opens the window menu"

echo "== rename"
click 76 240  # Connect
dialog=$(window_named '^Select Port$') || fail "no port dialog"
xdotool windowfocus --sync "$dialog"
xdotool key --delay 50 shift+Tab
xdotool type --delay 80 COM7
xdotool key Return
wait_for no_window '^Select Port$' || fail "the port dialog stayed open"
wait_for grep -q 'pushbutton "DisCnct"' <(tree) || fail "Connect was not renamed DisCnct"
echo "rename: Connect is read DisCnct while the port is open"

echo "== progress"
click 76 288  # Receive
save=$(window_named '^Save As$') || fail "no save dialog"
bar=$(tree | grep progressbar | sed 's/^ *//')
expect "the bar at the end of the download" "$bar" 'progressbar "100%" readonly = "100%"'
# The log's value is its text, a line break written as \n.
grep -q '^  text "" focusable readonly = "Waiting for STB...\\n' "$work/tree.log" ||
  fail "the log is not read with its text"
xdotool windowfocus --sync "$save"
xdotool key Escape
wait_for no_window '^Save As$' || fail "the save dialog stayed open"
echo "progress: the bar is read with its caption as name and value, \"100%\" at the end; the log with its text"

click 76 240  # DisCnct
wait_for grep -q 'pushbutton "Connect"' <(tree) || fail "DisCnct was not renamed Connect"
echo "rename: and Connect again once it is closed"

click 453 30  # the title bar's close button
wait_for bash -c "! kill -0 $zedazi_pid 2>/dev/null" || fail "zedazi.exe did not end on close"
echo "[  PASSED  ] accessibility tree, tab order, names and the progress bar"
