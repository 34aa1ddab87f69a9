#!/usr/bin/env bash
# Memory under a limit: a long stream without line feeds is read in constant
# memory, and a game that runs out of memory ends with a message and status
# 1 instead of an abort. Usage: memory_limits_test.sh KIRO [sanitized]
set -uo pipefail
kiro=$1
if [ "${2:-}" = sanitized ]; then
  echo "SKIP: the sanitizers reserve far more address space than these limits"
  exit 77
fi
game=$(mktemp -d)
trap 'rm -rf "$game"' EXIT
mkdir -p "$game/csv" "$game/kst"
cd "$game"
ulimit -c 0
fail() { echo "$1"; exit 1; }

# 300 MB of NUL bytes and no line feed under a 128 MB limit: the title's
# number read gets the line's first MiB, finds no number, then the end of
# input.
printf '@EVENTFIRST\nQUIT\n' > kst/main.kst
status=0
(ulimit -v 131072; head -c 300M /dev/zero | timeout 120 "$kiro" >/dev/null) || status=$?
[ "$status" -eq 1 ] || fail "endless line: exit status $status, expected 1"

# Adding characters for ever under a 96 MB limit: memory runs out before the
# character limit is reached.
printf '番号,0\n名前,主人\n' | iconv -f UTF-8 -t CP932 > csv/chara0.csv
printf '@EVENTFIRST\n$LOOP\nADDCHARA 0\nGOTO LOOP\n' > kst/main.kst
status=0
out=$(ulimit -v 98304; printf '0\n' | timeout 120 "$kiro" | iconv -f CP932 -t UTF-8) || status=$?
[ "$status" -eq 1 ] || fail "memory exhausted: exit status $status, expected 1"
[ "$(tail -n 1 <<<"$out")" = "メモリが足りないため、ゲームを終了します。" ] ||
  fail "memory exhausted: last line is not the message: $(tail -n 3 <<<"$out")"
echo "memory limits: ok"
