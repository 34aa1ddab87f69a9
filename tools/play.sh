#!/usr/bin/env bash
# The one play command: builds the engine and its tools (kiro, kiro-play,
# kiro-check, kiro-convert) where missing or out of date, then plays the
# bundled sample game (or the game directory given, in Shift-JIS or UTF-8) on
# this UTF-8 terminal.
#   bash tools/play.sh [GAME-DIRECTORY]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
game=${1:-}
[ -z "$game" ] || game=$(cd "$game" && pwd)

. "$root/tools/lib/packages.sh"
need cmake g++ make
install_needed
build=$root/build
first=
if [ ! -x "$build/kiro-play" ] || [ ! -x "$build/kiro-check" ] || [ ! -x "$build/kiro-convert" ]; then
  first=1
  echo "building kiro, kiro-play, kiro-check and kiro-convert in $build (the first build takes a few minutes)..." >&2
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRO_TESTS=OFF >/dev/null
fi
if ! log=$(cmake --build "$build" --target kiro_tools -j"$(nproc 2>/dev/null || echo 2)" 2>&1); then
  printf '%s\n' "$log" >&2
  echo "the build failed" >&2
  exit 1
fi
[ -z "$first" ] || echo "built; starting the game" >&2
exec "$build/kiro-play" ${game:+"$game"}
