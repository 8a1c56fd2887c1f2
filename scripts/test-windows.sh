#!/usr/bin/env bash
# Runs the Windows build (scripts/build-windows.sh) under Wine: its unit tests,
# then downloads by zedazi-recv.exe from the box simulator. The simulator
# serves a Linux pseudo-terminal that a temporary Wine prefix knows as COM7
# (a dosdevices link), so the receiver goes through the Win32 device layer.
# Then the window, zedazi.exe, walked through by a user under Wine and an X
# server (tests/win32/desktop_walk.sh), read as a screen reader reads it
# (tests/win32/a11y_walk.sh) and measured at four display scales
# (tests/win32/scale_walk.sh), and last the installer
# (scripts/package-windows.sh) in the same prefix.
# Usage: scripts/test-windows.sh [--unit-only | --desktop-only | --installer-only]
set -euo pipefail
mode=all
case ${1:-} in
"") ;;
--unit-only) mode=unit ;;
--desktop-only) mode=desktop ;;
--installer-only) mode=installer ;;
*)
  echo "usage: scripts/test-windows.sh [--unit-only | --desktop-only | --installer-only]" >&2
  exit 2
  ;;
esac
cd "$(dirname "$0")/.."
root=$PWD
win=$root/build/windows/zedazi
exe=$win/tools/recv/zedazi-recv.exe
version=$(sed -n 's/^project(zedazi VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
msi=$root/build/windows/zedazi-$version-x64.msi
if [ "$mode" = installer ]; then
  scripts/deps.sh windows
  if [ ! -f "$msi" ]; then
    echo "test-windows: $msi is not built; run scripts/package-windows.sh" >&2
    exit 1
  fi
else
  # Wine, and the simulator's build and the echo line's interpreter.
  scripts/deps.sh test windows
  if [ ! -f "$exe" ]; then
    echo "test-windows: $exe is not built; run scripts/build-windows.sh" >&2
    exit 1
  fi
  boxsim=$root/build/default/tools/boxsim/zedazi-boxsim
  grab=$root/build/default/tests/e2e_gui/screen_grab
  picture_diff=$root/build/default/tests/e2e_gui/picture_diff
  if [ ! -x "$boxsim" ] || [ ! -x "$grab" ] || [ ! -x "$picture_diff" ]; then
    cmake --preset default >/dev/null
    cmake --build build/default --target zedazi-boxsim screen_grab picture_diff -j 2
  fi
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zedazi-wine-XXXXXX")
box_pid=
echo_pid=
xvfb_pid=
stop_box() {
  if [ -n "$box_pid" ]; then
    kill "$box_pid" 2>/dev/null || true
    wait "$box_pid" 2>/dev/null || true
    box_pid=
  fi
}
cleanup() {
  stop_box
  [ -z "$echo_pid" ] || kill -- "-$echo_pid" 2>/dev/null || true
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The window tests and the walks need an X server: without a display, one for
# the whole run, at the size the walks expect.
if [ "$mode" != installer ] && [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 200); do
    [ -s "$work/display" ] && break
    sleep 0.05
  done
  [ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "test-windows: no X server" >&2; exit 1; }
  export DISPLAY=:$(cat "$work/display")
fi

# No menu entries in the user's desktop for what is installed in the prefix.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
started=$(date +%s)
echo "== Wine prefix"
# One server for every run, its own output kept apart: a server started by a
# test program would write into that program's log.
mkdir -p "$WINEPREFIX"
wineserver -p >"$work/wineserver.log" 2>&1
wineboot -i >/dev/null 2>&1
wine_path() { echo "Z:${1//\//\\}"; }
source "$root/tests/win32/installer.sh"
# The window's walk, with its picture kept beside the build.
test_desktop() {
  echo "== Desktop"
  mkdir -p "$root/build/windows/shots"
  "$root/tests/win32/desktop_walk.sh" "$win/app/zedazi.exe" "$exe" \
    "$win/tests/win32/read_window.exe" "$boxsim" "$grab" \
    --shots "$root/build/windows/shots" >"$work/desktop.log" 2>&1 ||
    { cat "$work/desktop.log" >&2; echo "test-windows: the desktop walk failed" >&2; exit 1; }
  grep -E '^(walk|refusal|closing):' "$work/desktop.log"
  # Outside text, the skin's pictures are the Linux window's: the title bar's
  # sections, icon and buttons, the banner, the glyphs and the frame, against
  # the Linux window in the same state.
  QT_QPA_PLATFORM=offscreen "$picture_diff" "$root/docs/window-connected.png" \
    "$root/build/windows/shots/window-windows.png" 3 32 \
    0,0,477,16 0,44,477,6 0,16,48,28 250,16,227,28 0,50,476,53 \
    106,222,36,36~8 106,270,36,36~8 0,0,1,382 476,0,1,382 0,0,477,1 0,381,477,1 \
    >"$work/pictures.log" 2>&1 ||
    { cat "$work/pictures.log" >&2; echo "test-windows: the skin differs from the Linux window's" >&2; exit 1; }
  echo "pictures: title bar, banner, glyphs and frame match the Linux window ($(grep -c ': ok$' "$work/pictures.log") regions)"
  # The window and the port dialog at 100 to 200 %; it restarts the server
  # at each scale, so the quiet one comes back after it.
  "$root/tests/win32/scale_walk.sh" "$win/app/zedazi.exe" "$grab" \
    --shots "$root/build/windows/shots" \
    --test "$win/tests/win32/window/win32_window_form1_scale_test.exe" >"$work/scale.log" 2>&1 ||
    { cat "$work/scale.log" >&2; echo "test-windows: the scale walk failed" >&2; exit 1; }
  grep -E '^scale' "$work/scale.log"
  wineserver -p >>"$work/wineserver.log" 2>&1
}
# The window as a screen reader reads it (tests/win32/a11y_walk.sh).
test_a11y() {
  echo "== Accessibility"
  "$root/tests/win32/a11y_walk.sh" "$win/app/zedazi.exe" "$win/tests/win32/a11y_walk.exe" \
    "$boxsim" >"$work/a11y.log" 2>&1 ||
    { cat "$work/a11y.log" >&2; echo "test-windows: the accessibility walk failed" >&2; exit 1; }
  grep -E '^(tree|tab|rename|progress):' "$work/a11y.log"
}
if [ "$mode" = desktop ]; then
  test_desktop
  test_a11y
  echo "test-windows: desktop passed in $(($(date +%s) - started)) s"
  exit 0
fi
if [ "$mode" = installer ]; then
  test_installer
  echo "test-windows: installer passed in $(($(date +%s) - started)) s"
  exit 0
fi

echo "== Unit tests"
# The device tests talk to COM8, a line that echoes every byte.
# Its own process group, so that the interpreter goes with any wrapper.
setsid python3 "$root/tests/win32/echo_line.py" "$WINEPREFIX/dosdevices/com8" &
echo_pid=$!
for _ in $(seq 200); do
  [ -L "$WINEPREFIX/dosdevices/com8" ] && break
  sleep 0.05
done
export ZEDAZI_TEST_ECHO_COM=COM8
tests=0
while IFS= read -r test_exe; do
  log=$work/$(basename "$test_exe").log
  if ! timeout 300 wine "$test_exe" --gtest_brief=1 >"$log" 2>&1; then
    cat "$log" >&2
    echo "test-windows: $(basename "$test_exe") failed" >&2
    exit 1
  fi
  n=$(sed -n 's/.*\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
  echo "$(basename "$test_exe"): ${n:-0} passed"
  tests=$((tests + ${n:-0}))
done < <(ctest --test-dir "$win" -N | sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p' |
  while read -r name; do find "$win/tests" -name "$name.exe"; done)
if [ -n "$echo_pid" ]; then
  kill -- "-$echo_pid" 2>/dev/null || true
  wait "$echo_pid" 2>/dev/null || true
  echo_pid=
fi
echo "unit tests passed: $tests"
if [ "$mode" = unit ]; then
  echo "test-windows: $tests unit tests passed in $(($(date +%s) - started)) s"
  exit 0
fi

com=7
link=$WINEPREFIX/dosdevices/com$com
# Starts the simulator on a fresh line linked as COM7; its arguments follow.
# Greetings come seldom: a Windows program under Wine takes seconds to start,
# and a greeting repeated while its request is under way reads as a refusal
# (the tool under Wine can take up to two seconds to answer one).
start_box() {
  rm -f "$link"
  "$boxsim" --link "$link" --greeting-interval 5000 "$@" >"$work/box.log" 2>&1 &
  box_pid=$!
  for _ in $(seq 200); do
    [ -L "$link" ] && return 0
    kill -0 "$box_pid" 2>/dev/null || break
    sleep 0.05
  done
  cat "$work/box.log" >&2
  echo "test-windows: the box simulator made no line" >&2
  exit 1
}
fail() {
  echo "== receiver:" >&2
  cat "$work/recv.log" >&2
  echo "== box:" >&2
  cat "$work/box.log" >&2
  # The run's logs outlive its temporary folder.
  local keep=$root/build/windows/failed-run
  rm -rf "$keep" && mkdir -p "$keep" && cp "$work"/*.log "$keep"/ 2>/dev/null || true
  echo "test-windows: $* (logs in $keep)" >&2
  exit 1
}
# Downloads TYPE into OUT; the exit code of the receiver is in $status.
receive() {
  status=0
  timeout 120 wine "$exe" --port "COM$com" --type "$1" --output "$(wine_path "$2")" -q \
    >"$work/recv.log" 2>&1 ||
    status=$?
}
# The saved file is the 64-byte response header followed by the content.
check_saved() {
  local out=$1 content=$2
  [ -f "$out" ] || fail "no file written"
  local want=$((64 + $(stat -c %s "$content")))
  [ "$(stat -c %s "$out")" -eq "$want" ] || fail "$out has $(stat -c %s "$out") bytes, not $want"
  tail -c +65 "$out" | cmp -s - "$content" || fail "$out differs from what the box sent"
}

echo "== Downloads"
downloads=0
for type in channels logo data net; do
  content=$work/$type.content
  head -c $((20000 + RANDOM % 20000)) /dev/urandom >"$content"
  # One paced like the real line; the rest as fast as the line goes.
  baud=0
  [ "$type" = channels ] && baud=115200
  start_box --content "$type=$content" --baud "$baud"
  receive "$type" "$work/$type.out"
  stop_box
  [ "$status" -eq 0 ] || fail "$type: zedazi-recv.exe exited with $status"
  check_saved "$work/$type.out" "$content"
  echo "$type: $(stat -c %s "$work/$type.out") bytes, byte-exact"
  downloads=$((downloads + 1))
done

# Packet 1 fails its CRC on its first two sends: asked again, it comes whole.
content=$work/repeat.content
head -c 30000 /dev/urandom >"$content"
start_box --content "channels=$content" --baud 0 --fault corrupt=1:2
receive channels "$work/repeat.out"
stop_box
[ "$status" -eq 0 ] || fail "CRC repeat: zedazi-recv.exe exited with $status"
check_saved "$work/repeat.out" "$content"
grep -q 'packet 001 send 3' "$work/box.log" || fail "CRC repeat: packet 1 was not sent again"
echo "CRC repeat: packet 1 sent three times, file byte-exact"
downloads=$((downloads + 1))

# The box refuses the request: nothing is saved, and the receiver says why.
start_box --fault refuse-request
receive channels "$work/refused.out"
stop_box
[ "$status" -eq 1 ] || fail "refusal: zedazi-recv.exe exited with $status, not 1"
[ ! -e "$work/refused.out" ] || fail "refusal: a file was written"
grep -q 'Bad STB response! Aborting...' "$work/recv.log" || fail "refusal: no refusal in the log"
echo "refusal: exit code 1, no file, refusal logged"
downloads=$((downloads + 1))

test_desktop
test_a11y
passed="$tests unit tests, $downloads downloads, the desktop walk and the installer"
if [ -f "$msi" ]; then
  test_installer
else
  echo "installer: skipped, $msi is not built (scripts/package-windows.sh builds it)"
  passed="$tests unit tests, $downloads downloads and the desktop walk (installer skipped)"
fi
echo "test-windows: $passed passed in $(($(date +%s) - started)) s"
