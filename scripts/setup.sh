#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/setup.sh [run|python|test]   (run needs the least, test the most)
# TPC_EMULATE_32=ON installs the emulator for the 32-bit tests even where
# this kernel runs 32-bit programs itself.
set -euo pipefail

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
updated=0

install_missing() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "setup: installing ${missing[*]}"
  if [ $updated -eq 0 ]; then
    # A mirror in the middle of a sync makes update fail; the old lists may still do.
    "${sudo_cmd[@]}" apt-get update -q || echo "setup: apt-get update failed, going on with the old lists"
    updated=1
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

need=(cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev libcli11-dev
      nlohmann-json3-dev gnuplot-nox)
# The Python package, its tests and the BER curve example (Debian's interpreter),
# and what pip needs to build and install it offline into a venv.
if [ "${1:-test}" != "run" ]; then
  need+=(python3-dev pybind11-dev python3-numpy python3-pytest python3-matplotlib
         python3-venv python3-pip python3-setuptools python3-wheel)
fi
if [ "${1:-test}" = "test" ]; then
  need+=(g++-multilib g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
         libopenmpi-dev openmpi-bin)
  # The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
  need+=(clang libclang-rt-14-dev)
  # The node tests and the real dialogs under wine on a virtual display, and
  # the screenshot conversion.
  need+=(wine64 xvfb xauth imagemagick)
fi
install_missing "${need[@]}"

# Some x86-64 kernels cannot execute 32-bit programs; there the 32-bit tests
# run under user-mode emulation.
if [ "${1:-test}" = "test" ]; then
  probe=$(mktemp -d)
  trap 'rm -rf "$probe"' EXIT
  echo 'int main(void) { return 0; }' > "$probe/probe.c"
  if [ "${TPC_EMULATE_32:-AUTO}" = "ON" ] ||
     { gcc -m32 "$probe/probe.c" -o "$probe/probe" && ! "$probe/probe" 2>/dev/null; }; then
    install_missing qemu-user
  fi
fi
