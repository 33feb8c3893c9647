#!/usr/bin/env bash
# start: create the test prefix if needed and keep a wineserver running.
# stop: end that wineserver. WINEPREFIX names the prefix.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log="$WINEPREFIX.log"
case "${1:-start}" in
  start)
    mkdir -p "$WINEPREFIX"
    # Wine's services must not inherit a pipe of the caller, or it never closes.
    wineserver -p >>"$log" 2>&1 </dev/null || true  # fails when one already runs
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >>"$log" 2>&1 </dev/null
    fi
    wine cmd /c exit >>"$log" 2>&1 </dev/null
    ;;
  stop)
    wineserver -k >>"$log" 2>&1 </dev/null || true
    ;;
esac
