#!/usr/bin/env bash
# Builds the three programs and the Debian package; prints the .deb's path.
# Everything but that path goes to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh >&2
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target zedazi zedazi-recv zedazi-boxsim >&2
out=build/default/package
rm -f "$out"/zedazi_*.deb
(cd build/default && cpack -G DEB -B "$PWD/package") >&2
deb=$(ls "$out"/zedazi_*.deb)
echo "$PWD/$deb"
