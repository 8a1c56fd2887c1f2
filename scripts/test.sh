#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
# Usage: scripts/test.sh [preset ...]   (presets: default, asan, tsan; default when none)
#        scripts/test.sh package           the Debian package in a fresh Debian 12 root
#        scripts/test.sh fresh             the run and test commands in fresh Debian 12 roots
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
presets=("$@")
((${#presets[@]})) || presets=(default)
for preset in "${presets[@]}"; do
  case $preset in
  package | fresh)
    "scripts/${preset}_test.sh"
    continue
    ;;
  esac
  echo "== $preset: build"
  scripts/build.sh "$preset"
  echo "== $preset: test"
  # Widget tests click through a real X server; give them one when there is no display.
  if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset"
  else
    ctest --preset "$preset"
  fi
done
