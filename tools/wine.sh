#!/usr/bin/env bash
# Runs the Windows build under Wine, headless, in a Wine prefix of its own
# (build-windows/wine-prefix), as the test suite does:
#   bash tools/wine.sh start           make the prefix once, keep a Wine server running
#   bash tools/wine.sh PROGRAM [ARG]   run a Windows program (kiro.exe)
#   bash tools/wine.sh stop            end the Wine server
# Console programs need no display; the overrides keep Wine from offering to
# install its .NET and HTML components.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=$root/build-windows/wine-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
case "${1:-}" in
  start)
    # The server and the services Wine starts outlive this script: they
    # must not hold its output open.
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1 || true  # fails when one runs already
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i </dev/null >"$WINEPREFIX.log" 2>&1 || { cat "$WINEPREFIX.log" >&2; exit 1; }
    fi
    # Start the prefix's services now: a program that starts another while
    # they are still starting can wait for ever.
    wineboot </dev/null >/dev/null 2>&1 || true
    ;;
  stop) wineserver -k || true ;;
  *) exec wine "$@" ;;
esac
