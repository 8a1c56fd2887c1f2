#!/usr/bin/env bash
# Builds the default preset and runs every benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh default
for b in build/default/bench/*_bench; do
  echo "== $(basename "$b")"
  "$b"
done
