#!/usr/bin/env bash
# Installs what is missing, builds the programs the main job uses (not the
# tests and benchmarks), and runs it: the desktop tool with a display, the demo
# without one. Headless, it needs only a compiler and CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  display=1
  scripts/deps.sh window
  targets=(zedazi zedazi-recv zedazi-boxsim)
else
  display=0
  scripts/deps.sh build
  targets=(zedazi-recv zedazi-boxsim)
fi
# Parts whose packages are missing are left out of the build rather than
# installed; on a machine that has them the build stays the test command's.
have() { if scripts/deps.sh --check "$1"; then echo ON; else echo OFF; fi; }
tests=$(have test)
cmake --preset default -DZEDAZI_QT="$(have window)" -DZEDAZI_TESTS="$tests" -DZEDAZI_BENCH="$tests" >/dev/null
cmake --build --preset default -j "$(nproc)" --target "${targets[@]}"
if ((display)); then
  exec build/default/app/zedazi
fi
exec scripts/demo.sh
