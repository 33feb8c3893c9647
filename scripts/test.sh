#!/usr/bin/env bash
# The whole test: prepare the machine, build from scratch, run every test
# under Wine. BUILD_DIR (default: build) is deleted first.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh"
rm -rf "$BUILD_DIR"
"$here/scripts/build.sh"
export WINEPREFIX="$BUILD_DIR/wineprefix"
trap '"$here/scripts/wine-prefix.sh" stop' EXIT
"$here/scripts/wine-prefix.sh" start
cd "$BUILD_DIR"
ctest --output-on-failure --timeout 900 -j2
