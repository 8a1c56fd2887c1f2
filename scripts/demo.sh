#!/usr/bin/env bash
# The demo without a display: the box simulator on a virtual serial line and a
# full download of the channel list with the command-line receiver. Builds
# nothing (scripts/run.sh builds first). The file is written to the current
# folder, or to the folder given as the first argument.
set -euo pipefail
out_dir=$(cd "${1:-.}" && pwd)
cd "$(dirname "$0")/.."
bin=build/default
boxsim=$bin/tools/boxsim/zedazi-boxsim
recv=$bin/tools/recv/zedazi-recv
for program in "$boxsim" "$recv"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is not built; scripts/run.sh builds it" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zedazi-demo-XXXXXX")
box_pid=
cleanup() {
  if [ -n "$box_pid" ]; then
    kill "$box_pid" 2>/dev/null || true
    wait "$box_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== Box simulator on a virtual serial line ($work/line)"
"$boxsim" --link "$work/line" --once >"$work/box.log" 2>&1 &
box_pid=$!
for _ in $(seq 200); do
  [ -L "$work/line" ] && break
  if ! kill -0 "$box_pid" 2>/dev/null; then
    cat "$work/box.log" >&2
    echo "demo: the box simulator did not start" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -L "$work/line" ]; then
  echo "demo: the box simulator made no line" >&2
  exit 1
fi

output="$out_dir/channels-demo.tcn"
echo "== zedazi-recv --port $work/line --type channels --output $output"
status=0
"$recv" --port "$work/line" --type channels --output "$output" || status=$?
if [ "$status" -ne 0 ]; then
  echo "== The box's side of the exchange:" >&2
  cat "$work/box.log" >&2
  echo "demo: the download failed (exit code $status)" >&2
  exit "$status"
fi
echo "== File written: $output ($(stat -c %s "$output") bytes)"
