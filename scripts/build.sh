#!/usr/bin/env bash
# Configures (if needed) and builds into BUILD_DIR (default: build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" "$@"
