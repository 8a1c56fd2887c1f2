#!/usr/bin/env bash
# Builds the Windows installer build/windows/zedazi-VERSION-x64.msi with wixl
# from dist/windows/zedazi.wxs: zedazi.exe and zedazi-recv.exe under Program
# Files\TAVO Zedazi, a Start-menu shortcut and an entry in Apps & features.
# Usage: scripts/package-windows.sh [--no-build]
#   --no-build  package what scripts/build-windows.sh built before
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
case ${1:-} in
"") scripts/build-windows.sh ;;
--no-build) scripts/deps.sh windows ;;
*)
  echo "usage: scripts/package-windows.sh [--no-build]" >&2
  exit 2
  ;;
esac

# One version for the whole project, the one CMake builds the programs with.
version=$(sed -n 's/^project(zedazi VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows: no version in CMakeLists.txt" >&2; exit 1; }
msi=$root/build/windows/zedazi-$version-x64.msi
# No package from older programs is left to be tested.
rm -f "$msi"

bin=$root/build/windows/zedazi
for exe in app/zedazi.exe tools/recv/zedazi-recv.exe; do
  if [ ! -f "$bin/$exe" ]; then
    echo "package-windows: $bin/$exe is missing: scripts/build-windows.sh has not built" \
      "$(basename "$exe") (yet), so there is nothing to package." >&2
    exit 1
  fi
done
# The installer's version has three parts: 1.30 is 1.30.0. wixl takes the
# files' paths relative to the current folder only.
wixl -a x64 -o "$msi" -D BinDir="${bin#"$root"/}" -D IconFile=dist/windows/zedazi.ico \
  -D Version="$version.0" dist/windows/zedazi.wxs
echo "package-windows: $msi ($(stat -c %s "$msi") bytes)"
