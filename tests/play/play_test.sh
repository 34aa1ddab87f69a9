#!/usr/bin/env bash
# kiro-play end to end: a tiny game in Shift-JIS, typed UTF-8 input, readable
# UTF-8 output, and the engine's exit status passed through.
set -euo pipefail
play=$1
game=$(mktemp -d)
trap 'rm -rf "$game"' EXIT
mkdir -p "$game/csv" "$game/kst"
printf '@EVENTFIRST\nINPUTS\nPRINTFORML 入力：%%RESULTS:0%%\nINPUT\nIF RESULT == 7\nQUIT\nENDIF\nBEGIN AFTERTRAIN\n' |
  iconv -f UTF-8 -t CP932 > "$game/kst/main.kst"

out=$(printf '0\n能力\n7\n' | "$play" "$game")
grep -q '^入力：能力$' <<<"$out" || { echo "no converted line in: $out"; exit 1; }
grep -q '^\[0\] 最初からはじめる$' <<<"$out" || { echo "no title in: $out"; exit 1; }

# BEGIN AFTERTRAIN with no EVENTEND: the end message and status 1, passed through.
status=0
printf '0\nx\n3\n\n' | "$play" "$game" >/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "exit status $status, expected 1"; exit 1; }
echo "kiro-play: ok"
