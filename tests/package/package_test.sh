#!/usr/bin/env bash
# The downloads of tools/package.sh hold the programs, the sample game, the
# manual and the README, and the packaged engine of each plays the packaged
# sample game (kiro.exe under Wine) with the same output.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bash "$root/tools/package.sh" "$out" >/dev/null
cd "$out"
tar -xzf kiro-*-linux-x86_64.tar.gz
unzip -q kiro-*-windows-x86_64.zip
linux=$(echo kiro-*-linux-x86_64/) windows=$(echo kiro-*-windows-x86_64/)

failed=0
holds() {
  local dir=$1
  shift
  for file in "$@" README.txt manual/README.md sample/README.md sample/csv/gamebase.csv sample/kst/system.kst; do
    [ -f "$dir/$file" ] || { echo "$dir lacks $file"; failed=1; }
  done
}
holds "$linux" kiro kiro-play kiro-check kiro-convert
holds "$windows" kiro.exe kiro-check.exe kiro-convert.exe

# A new game of the sample until the input ends: Shift-JIS, the same bytes.
play() { (cd "$1/sample" && printf '0\n' | KIRO_SEED=1 KIRO_TIME=2006-03-14T09:05:07 "${@:2}" || true); }
play "$linux" ../kiro > linux.out
play "$windows" bash "$root/tools/wine.sh" ../kiro.exe > windows.out
iconv -f CP932 -t UTF-8 linux.out | grep -q 読み込み完了 || { echo "the packaged kiro did not start the sample game"; failed=1; }
cmp linux.out windows.out || { echo "kiro.exe plays the sample game differently"; failed=1; }
[ $failed = 0 ] && echo "the downloads hold what they should"
exit $failed
