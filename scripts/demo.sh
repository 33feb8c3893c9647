#!/usr/bin/env bash
# The main job: prepare the machine, build, and run the demo update of a
# sample Zemora 1.0.0.0 to 2.0.0.0 in a Wine prefix of its own. Can be run
# again; each run starts from a fresh sample installation.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh"
"$here/scripts/build.sh" >/dev/null
export WINEPREFIX="$BUILD_DIR/demo-prefix"
trap '"$here/scripts/wine-prefix.sh" stop' EXIT
"$here/scripts/wine-prefix.sh" start
python3 "$here/scripts/demo.py"
