#!/usr/bin/env bash
# Under wine on a virtual X display: the node tests built for Windows (the
# encoder, decoder and LLR code that the DLL is made of, GoogleTest), then the
# real parameter dialogs of the 64-bit DLL (tests/wine/dialog_wine_test.cpp).
# The pictures the dialog test takes of the three dialogs with their defaults
# become PNG files beside them.
# Usage: scripts/wine_tests.sh [BUILD_DIR]   (default build/win64, already built)
# With UPDATE_DOCS=1 the pictures also replace those shown in docs/nodes.md (docs/).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build/win64}" && pwd)
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || true)
if [ -z "$wine" ]; then
  echo "wine_tests: wine64 is not installed (scripts/setup.sh test installs it)" >&2
  exit 1
fi

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no installer prompts for .NET or HTML
shots="$build/dialog_pictures"
rm -rf "$shots"
mkdir -p "$WINEPREFIX" "$shots"

# Creating the prefix is slow the first time; everything is bounded.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  timeout 300 "$0" wineboot --init >/dev/null 2>&1 || true
  # No window manager here: wine draws the frames and captions itself.
  timeout 60 "$0" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f >/dev/null 2>&1 || true
  status=0
  for test in "$2"/test_*.exe; do
    echo "wine_tests: ${test##*/}"
    timeout 900 "$0" "$test" --gtest_brief=1 || status=1
  done
  cd "$1"
  timeout 300 "$0" "$2/dialog_wine_test.exe" "$2/tpc.dll" "Z:${1//\//\\}" || status=1
  timeout 60 "${0%/*}/wineserver" -k 2>/dev/null || true
  exit $status
' "$wine" "$shots" "$build"

# The image tools, not a stand-in of the same name earlier on the PATH.
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
for name in encoder_dialog decoder_dialog llr_dialog; do
  "$convert" "$shots/$name.bmp" "$shots/$name.png"
  echo "wine_tests: $shots/$name.png"
  if [ "${UPDATE_DOCS:-0}" = 1 ]; then
    cp "$shots/$name.png" "$root/docs/$name.png"
    echo "wine_tests: docs/$name.png updated"
  fi
done
