#!/usr/bin/env bash
# The README's two commands on brand-new machines: fresh Debian 12 minbase
# roots holding nothing but the project's files.
#   1. scripts/run.sh headless: it must print the demo and write its file.
#   2. scripts/test.sh, started while another program holds the package
#      database: it must wait for it, then install, build and pass every test.
# Each command's time is printed. Logs stay in build/debian-root/fresh-*.log.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "fresh test: skipped: making a Debian root and entering it needs root"
  exit 0
fi
source scripts/debian_root.sh

# The project's own files, as a clone would have them (the working tree's
# versions, untracked files that are not ignored included).
copy_project() {
  mkdir -p "$root/root/zedazi"
  if git rev-parse --show-toplevel >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' f; do [ -e "$f" ] || [ -L "$f" ] && printf '%s\0' "$f"; done |
      tar --null -T - -cf - | tar -C "$root/root/zedazi" -xf -
  else
    tar --exclude=./build --exclude=./.git -cf - . | tar -C "$root/root/zedazi" -xf -
  fi
}
# An X server in the root sees only the root's /tmp: leave it the numbers in
# use here, so that its display does not collide with one of this machine's.
copy_x_locks() {
  local lock
  for lock in /tmp/.X*-lock; do [ -e "$lock" ] && cp "$lock" "$root/tmp/"; done
  return 0
}
# Runs a command in the project's folder of the root; its output goes to a log.
run_in_root() {
  local log=$1
  shift
  in_root bash -c 'cd /root/zedazi && "$@"' _ "$@" >"$log" 2>&1
}
failed() {
  echo "fresh test: $1 failed in a fresh root; the end of $2:" >&2
  tail -60 "$2" >&2
  exit 1
}

echo "== scripts/run.sh in a fresh Debian 12 root, headless"
log=$root_cache/fresh-run.log
root_new
copy_project
start=$SECONDS
run_in_root "$log" scripts/run.sh || failed scripts/run.sh "$log"
run_time=$((SECONDS - start))
grep -q "^Download task terminated!!!$" "$log" || failed "the demo" "$log"
[ -s "$root/root/zedazi/channels-demo.tcn" ] || failed "the demo's file" "$log"
for p in qt6-base-dev libgtest-dev xvfb qemu-system-x86 clang; do
  if in_root dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    failed "installing no more than a headless run needs ($p is installed)" "$log"
  fi
done
echo "   run.sh: $run_time s, $(stat -c %s "$root/root/zedazi/channels-demo.tcn") bytes written"
root_remove

echo "== scripts/test.sh in a fresh Debian 12 root, the package database held at first"
log=$root_cache/fresh-test.log
root_new
copy_project
copy_x_locks
# Another package manager holds every lock apt takes, for a while.
held=$root/tmp/held
python3 - "$root" "$held" 20 <<'HOLD' &
import fcntl, os, sys, time
root, marker, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
fds = []
for lock in ("var/lib/dpkg/lock-frontend", "var/lib/dpkg/lock",
             "var/lib/apt/lists/lock", "var/cache/apt/archives/lock"):
    fd = os.open(os.path.join(root, lock), os.O_RDWR | os.O_CREAT, 0o640)
    fcntl.lockf(fd, fcntl.LOCK_EX)
    fds.append(fd)
open(marker, "w").close()
time.sleep(seconds)
HOLD
holder=$!
for _ in $(seq 600); do
  [ -e "$held" ] && break
  sleep 0.05
done
[ -e "$held" ] || { echo "fresh test: could not hold the package database" >&2; exit 1; }
start=$SECONDS
status=0
run_in_root "$log" scripts/test.sh || status=$?
test_time=$((SECONDS - start))
wait "$holder" || true
((status == 0)) || failed scripts/test.sh "$log"
grep -q "waiting for another package manager to finish" "$log" || failed "waiting for the held package database" "$log"
echo "   test.sh: $test_time s, 20 s of it waiting for the package database;" \
  "$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)"
echo "== fresh test passed: run.sh $run_time s, test.sh $test_time s"
