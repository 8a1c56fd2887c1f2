#!/usr/bin/env bash
# Builds the download task fuzzer with clang's libFuzzer and runs it.
# Usage: scripts/fuzz.sh [seconds]   (60 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
seconds="${1:-60}"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEDAZI_SANITIZE=fuzz -DZEDAZI_QT=OFF -DZEDAZI_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target task_fuzz
# New inputs go to a scratch folder; the seeds in the repository stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/fuzz/tests/fuzz/task_fuzz "$work" tests/fuzz/corpus -max_total_time="$seconds" \
  -timeout=10 -rss_limit_mb=1024 -print_final_stats=1
