#!/usr/bin/env bash
# Converts a game kept readable in UTF-8 (csv/ and kst/) into the Shift-JIS
# game directory the engine reads. Saves already in DST are left alone.
#   convert_game.sh SRC-DIR DST-DIR
set -euo pipefail
src=$1 dst=$2
for folder in csv kst; do
  [ -d "$src/$folder" ] || continue
  mkdir -p "$dst/$folder"
  for f in "$src/$folder"/*; do
    [ -f "$f" ] || continue
    iconv -f UTF-8 -t CP932 "$f" > "$dst/$folder/$(basename "$f").tmp"
    mv "$dst/$folder/$(basename "$f").tmp" "$dst/$folder/$(basename "$f")"
  done
done
