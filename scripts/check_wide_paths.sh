#!/usr/bin/env bash
# Checks, in the disassembly of each Windows DLL, that the decoder's AVX2 and
# AVX-512BW paths are there and that none of their instructions can fault on
# a misaligned address, whatever the caller did to the stack (a 32-bit host
# may call on a 4-byte aligned one; x64 frames are never realigned):
#   - the entries DecodeAvx2 and DecodeAvx512 exist, and the functions of the
#     two paths use ymm and zmm registers;
#   - nowhere in the DLL an aligned VEX or EVEX move (vmovaps, vmovapd,
#     vmovdqa, vmovdqa32, vmovdqa64) or a non-temporal move (movnt*,
#     vmovnt*) touches memory: those are the vector instructions that demand
#     alignment, and the assembler turns only the former into unaligned ones;
#   - the functions of the wide paths hold no legacy SSE instruction, whose
#     memory operands must be 16-byte aligned.
# Prints what it counted. Needs the DLLs' symbols (the builds keep them).
# Usage: scripts/check_wide_paths.sh build/win32/tpc.dll build/win64/tpc.dll
set -euo pipefail
status=0
for dll in "$@"; do
  report=$(objdump -d "$dll" | awk '
    /^[0-9a-f]+ <.*>:$/ {
      name = $2
      wide = name ~ /Avx512/ ? "avx512" : name ~ /Avx2/ ? "avx2" : ""
      if (name ~ /DecodeAvx2E/) entry2 = 1
      if (name ~ /DecodeAvx512E/) entry512 = 1
      next
    }
    # Instruction lines: address, bytes, mnemonic and operands, tab-separated.
    /^ *[0-9a-f]+:\t/ {
      n = split($0, field, "\t")
      if (n < 3) next
      split(field[3], word, " ")
      mnemonic = word[1]
      operands = substr(field[3], length(mnemonic) + 1)
      memory = operands ~ /\(/
      if (memory && mnemonic ~ /^(vmovap[sd]|vmovdqa(32|64)?|v?movnt)/) {
        ++faulting
        if (faulting <= 5) print "FAULTS " field[3]
      }
      if (wide == "") next
      ++instructions[wide]
      if (operands ~ /%ymm/) ++ymm[wide]
      if (operands ~ /%zmm/) ++zmm[wide]
      if (operands ~ /%xmm|%ymm|%zmm/ && mnemonic !~ /^v/) {
        ++legacy
        if (legacy <= 5) print "LEGACY " name " " field[3]
      }
      if (memory && operands ~ /%[er]sp|%[er]bp/ && operands ~ /%[yz]mm/) ++stackMoves
      if (mnemonic == "and" && operands ~ /\$0xf+[ec]0,%[er]sp/) ++realigned
    }
    END {
      printf "SUMMARY entries avx2 %d avx512 %d; avx2 %d instructions (%d ymm); avx512 %d instructions (%d zmm); ", \
             entry2, entry512, instructions["avx2"], ymm["avx2"], instructions["avx512"], zmm["avx512"]
      printf "wide stack accesses %d, realigned frames %d; aligned or non-temporal moves to memory %d; legacy SSE in wide paths %d\n", \
             stackMoves, realigned, faulting, legacy
      ok = entry2 && entry512 && ymm["avx2"] > 0 && zmm["avx512"] > 0 && faulting == 0 && legacy == 0
      print ok ? "OK" : "BAD"
    }')
  echo "$report" | grep -v -x -e OK -e BAD | sed "s|^|$dll: |"
  if [ "$(echo "$report" | tail -n 1)" != OK ]; then
    echo "$dll: the wide decoder paths are missing or may fault on a misaligned stack" >&2
    status=1
  fi
done
exit $status
