#!/usr/bin/env bash
# Installs the Debian 12 packages a command needs, when missing. Every list of
# packages the scripts install lives here.
#
# Usage: scripts/deps.sh [SET ...]        install the sets (test when none)
#        scripts/deps.sh --check SET ...  exit 0 when the sets are installed
# Sets:
#   build    a compiler and CMake: the command-line programs
#   window   Qt 6: the desktop tool's window
#   test     everything the test suite, the benchmarks and the package test use
#   windows  the mingw-w64 cross compiler, Wine and wixl: the Windows build, its tests
#            and its installer
# ZEDAZI_DEPS_WAIT: seconds to wait for another package manager (300).
set -euo pipefail

set_build=(build-essential cmake ninja-build)
set_window=(qt6-base-dev qt6-qpa-plugins libgl-dev pkg-config fonts-dejavu-core)
set_test=(
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev ccache
  xvfb xauth xdotool
  clang libclang-rt-14-dev
  qemu-system-x86 busybox-static python3 python3-pyatspi
  desktop-file-utils appstream bash-completion groff-base debootstrap
)
set_windows=(g++-mingw-w64-x86-64-posix wine64 wine googletest msitools wixl)

check=0
if [ "${1:-}" = --check ]; then
  check=1
  shift
fi
sets=("$@")
((${#sets[@]})) || sets=(test)

packages=()
for s in "${sets[@]}"; do
  case $s in
  build) packages+=("${set_build[@]}") ;;
  window) packages+=("${set_build[@]}" "${set_window[@]}") ;;
  test) packages+=("${set_build[@]}" "${set_window[@]}" "${set_test[@]}") ;;
  windows) packages+=("${set_build[@]}" "${set_windows[@]}") ;;
  *)
    echo "deps: unknown set \"$s\" (build, window, test, windows)" >&2
    exit 2
    ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((check)); then
  ((${#missing[@]} == 0))
  exit
fi
((${#missing[@]} == 0)) && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi

# At the first boot of many desktops another package manager (unattended
# upgrades, a software centre) holds the package database for a while: wait
# for it, bounded, rather than failing the user's first command.
wait_limit=${ZEDAZI_DEPS_WAIT:-300}
deadline=$((SECONDS + wait_limit))
errors=$(mktemp)
output=$(mktemp)
trap 'rm -f "$errors" "$output"' EXIT
apt_get() {
  local told=0
  while :; do
    if $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=0 "$@" >"$output" 2>"$errors"; then
      # Warnings only; dpkg's and debconf's chatter stays out of the way.
      grep -E '^(W|E):' "$errors" >&2 || true
      return 0
    fi
    if ! grep -qE "Could not get lock|Unable to lock|Unable to acquire the dpkg frontend lock" "$errors"; then
      tail -30 "$output" >&2
      cat "$errors" >&2
      echo "deps: apt-get $1 failed" >&2
      exit 1
    fi
    if ((SECONDS >= deadline)); then
      sed -n 's/^E: \(Could not get lock.*\)/deps: \1/p' "$errors" | head -1 >&2
      echo "deps: another package manager kept the package database locked for ${wait_limit} s;" \
        "let it finish (or stop it), then run this command again." >&2
      exit 1
    fi
    if ((!told)); then
      echo "deps: waiting for another package manager to finish ... (up to $((deadline - SECONDS)) s)" >&2
      told=1
    fi
    sleep 2
  done
}
started=$SECONDS
echo "deps: installing ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
echo "deps: ${#missing[@]} packages and what they need installed in $((SECONDS - started)) s"
