#!/usr/bin/env bash
# The main job: build the updater and show what ships.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
BUILD_DIR=${BUILD_DIR:-$here/build} "$here/scripts/build.sh"
echo "Shipped files:"
for f in Update.exe global.dll patch.exe; do
  p="${BUILD_DIR:-$here/build}/bin/$f"
  [ -f "$p" ] && printf '  %-12s %8d bytes  %s\n' "$f" "$(stat -c %s "$p")" "$(file -b "$p")"
done
