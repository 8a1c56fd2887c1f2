# What the walks through a real window share (tests/e2e_gui/run.sh on Linux,
# tests/win32/desktop_walk.sh under Wine): skipping, failing with the logs of
# $work, and bounded waits for conditions and windows. Sourced; set
# walk_wait (seconds, 30 by default) for slower windows.

skip() {
  echo "[  SKIPPED ] $*"
  exit 77
}

fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do
    echo "--- $(basename "$log")"
    cat "$log"
  done
  exit 1
}

# Waits up to walk_wait seconds for a command to succeed.
wait_for() {
  local end=$((SECONDS + ${walk_wait:-30}))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

# The first visible window whose name matches, once there is one.
window_named() { timeout "${walk_wait:-30}" xdotool search --sync --onlyvisible --name "$1" | head -1; }
no_window() { [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }
