#!/usr/bin/env bash
# Installs what is missing, builds the three programs (not the tests and
# benchmarks), and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target zedazi zedazi-recv zedazi-boxsim
bin=build/default
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin/app/zedazi"
fi
exec scripts/demo.sh
