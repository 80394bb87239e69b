#!/usr/bin/env bash
# Checks that the built libraries export exactly the five entry points, and
# that the Windows DLL needs nothing beyond the system's own DLLs.
set -euo pipefail
expected="LLRcalculator PARAMETER TPCDECODE TPCENCODE USERCODE"
status=0

check() {  # name, actual list
  if [ "$2" = "$expected" ]; then
    echo "exports of $1: $2"
  else
    echo "exports of $1 are wrong: '$2' (expected '$expected')" >&2
    status=1
  fi
}

for so in "$@"; do
  case "$so" in
    *.so)
      names=$(nm -D --defined-only "$so" | awk '{print $3}' | sort | tr '\n' ' ' | sed 's/ $//')
      check "$so" "$names"
      ;;
    *.dll)
      dump=$(objdump -p "$so")
      names=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{f=1;next} f&&/^[ \t]*\[/{print $NF;next} f{f=0}' \
              | sort | tr '\n' ' ' | sed 's/ $//')
      check "$so" "$names"
      imports=$(echo "$dump" | awk '/DLL Name:/{print tolower($3)}' | sort -u | tr '\n' ' ')
      echo "imports of $so: $imports"
      for dll in $imports; do
        case "$dll" in
          kernel32.dll|user32.dll|comdlg32.dll|gdi32.dll|msvcrt.dll|advapi32.dll|ucrtbase.dll|api-ms-win-crt-*) ;;
          *) echo "$so imports $dll, which is not a system DLL" >&2; status=1 ;;
        esac
      done
      ;;
  esac
done
exit $status
