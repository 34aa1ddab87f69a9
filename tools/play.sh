#!/usr/bin/env bash
# The one play command: builds what is missing, then plays the bundled sample
# game (or the game directory given) on this UTF-8 terminal.
#   bash tools/play.sh [GAME-DIRECTORY]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
game=${1:-}
[ -z "$game" ] || game=$(cd "$game" && pwd)

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}" >&2
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >&2
fi
if [ ! -f "$root/build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRO_TESTS=OFF >/dev/null
fi
cmake --build "$root/build" --target kiro-play -j"$(nproc 2>/dev/null || echo 2)" >/dev/null
exec "$root/build/kiro-play" ${game:+"$game"}
