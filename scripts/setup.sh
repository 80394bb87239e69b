#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Usage: scripts/setup.sh [run|test]   (run needs less than test)
set -euo pipefail

need=(cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev libcli11-dev
      nlohmann-json3-dev gnuplot-nox)
if [ "${1:-test}" = "test" ]; then
  need+=(g++-multilib g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
         libopenmpi-dev openmpi-bin)
  # The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
  need+=(clang libclang-rt-14-dev)
  # The real dialogs under wine on a virtual display, and the screenshot conversion.
  need+=(wine64 xvfb xauth imagemagick)
fi

missing=()
for pkg in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
# A mirror in the middle of a sync makes update fail; the old lists may still do.
"${sudo_cmd[@]}" apt-get update -q || echo "setup: apt-get update failed, going on with the old lists"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
