#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh default
bin=build/default
if [ -x "$bin/app/zedazi" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin/app/zedazi"
fi
if [ -x "$bin/tools/recv/zedazi-recv" ] && [ -x "$bin/tools/boxsim/zedazi-boxsim" ]; then
  exec scripts/demo.sh
fi
echo "run: the window and the receiver are not built yet; running the CRC benchmark instead."
exec "$bin/bench/crc_bench"
