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
    mkdir -p "$WINEPREFIX"
    wineserver -p
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      log=$(wineboot -i 2>&1) || { printf '%s\n' "$log" >&2; exit 1; }
    fi
    ;;
  stop) wineserver -k || true ;;
  *) exec wine "$@" ;;
esac
