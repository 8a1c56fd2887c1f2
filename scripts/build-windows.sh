#!/usr/bin/env bash
# Cross-builds the Qt-free parts for 64-bit Windows: the serial component, the
# download task, zedazi-recv.exe and their unit tests, into build/windows.
# Installs the mingw-w64 toolchain and Wine when missing, and builds
# GoogleTest for Windows from the sources Debian ships.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows
prefix=$build/prefix

scripts/deps.sh windows

jobs=$(nproc)
((jobs > 2)) && jobs=2
toolchain=$root/cmake/mingw-w64.cmake

if [ ! -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  echo "build-windows: GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$build/googletest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$build/googletest" -j "$jobs" >/dev/null
  cmake --install "$build/googletest" >/dev/null
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build/zedazi" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DZEDAZI_WINDOWS_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release -DZEDAZI_QT=OFF -DZEDAZI_BENCH=OFF "${launcher[@]}" \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-s >/dev/null
cmake --build "$build/zedazi" -j "$jobs"
echo "build-windows: $build/zedazi/tools/recv/zedazi-recv.exe"
