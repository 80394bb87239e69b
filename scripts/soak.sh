#!/usr/bin/env bash
# Soak run (not part of make test): the BPSK and 16QAM links through the
# development host for BLOCKS blocks each (default 100000), in runs of 1000
# blocks, each run a full init / run / final cycle of every node; tpc_soak
# reports resident memory (VmRSS) at start and end and fails when it grew by
# more than 1 MB. Then a short link (3 blocks of each kind) under valgrind
# memcheck, which must report no errors and no leaks.
#   scripts/soak.sh [blocks]
set -euo pipefail
cd "$(dirname "$0")/.."
blocks="${1:-100000}"

cmake --preset native >/dev/null
cmake --build build/native -j "$(nproc)" --target tpc_soak tpc
library=build/native/libtpc.so

for kind in bpsk 16qam; do
  echo "== soak: $kind, $blocks blocks"
  ./build/native/tpc_soak "$kind" "$blocks" 1000 "$library"
done

if ! command -v valgrind >/dev/null; then
  echo "soak: valgrind is not installed (apt-get install valgrind)" >&2
  exit 1
fi
for kind in bpsk 16qam; do
  echo "== valgrind memcheck: $kind, 3 blocks"
  log="build/native/valgrind_$kind.log"
  if valgrind --tool=memcheck --error-exitcode=3 --leak-check=full \
       --show-leak-kinds=definite,indirect,possible \
       --errors-for-leak-kinds=definite,indirect,possible --log-file="$log" \
       ./build/native/tpc_soak "$kind" 3 3 "$library"; then
    grep -E "ERROR SUMMARY|in use at exit|definitely lost|All heap blocks" "$log" | sed 's/^==[0-9]*== //'
  else
    cat "$log" >&2
    echo "soak: valgrind found errors in the $kind link (log in $log)" >&2
    exit 1
  fi
done
