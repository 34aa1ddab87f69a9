#!/usr/bin/env bash
# kiro-play end to end: a tiny game in Shift-JIS, typed UTF-8 input, readable
# UTF-8 output, and the engine's exit status passed through; much piped input
# never stalls it, stopping it stops its engine, and game text cannot drive
# the terminal.
set -euo pipefail
play=$1
kiro_test=$(dirname "$play")/kiro-test
game=$(mktemp -d)
engine=
trap 'rm -rf "$game"; [ -z "$engine" ] || kill -KILL "$engine" 2>/dev/null || true' EXIT
mkdir -p "$game/csv" "$game/kst"
script() { iconv -f UTF-8 -t CP932 > "$game/kst/main.kst"; }
fail() { echo "$*"; exit 1; }

printf '@EVENTFIRST\nINPUTS\nPRINTFORML 入力：%%RESULTS:0%%\nINPUT\nIF RESULT == 7\nQUIT\nENDIF\nBEGIN AFTERTRAIN\n' | script
out=$(printf '0\n能力\n7\n' | "$play" "$game")
grep -q '^入力：能力$' <<<"$out" || fail "no converted line in: $out"
grep -q '^\[0\] 最初からはじめる$' <<<"$out" || fail "no title in: $out"

# BEGIN AFTERTRAIN with no EVENTEND: the end message and status 1, passed through.
status=0
printf '0\nx\n3\n\n' | "$play" "$game" >/dev/null || status=$?
[ "$status" -eq 1 ] || fail "exit status $status, expected 1"

# 1 MiB of input to the sample game, each status view (105) answered by more
# output than its input: both directions must keep moving. The engine ends
# with status 1 when its input ends.
pad=$(printf '%062d' 0 | tr 0 x)
status=0
{ printf '0\n\n\n1\n'; yes "105"$'\n'"$pad"$'\n'"$pad"$'\n'"$pad"$'\n'"$pad" | head -c 1048576; } |
  timeout 120 "$play" >/dev/null || status=$?
[ "$status" -eq 1 ] || fail "1 MiB of piped input: status $status, expected 1 (124: it stalled)"

# Typed characters Shift-JIS cannot hold reach the game as one '?' each.
out=$(printf '0\ncafé한😀\n7\n' | "$play" "$game")
grep -q '^入力：caf???$' <<<"$out" || fail "typed characters not replaced one each in: $out"

# The same game kept in UTF-8 plays from its Shift-JIS copy in .kiro/; a
# refresh after a source changed keeps the saves there.
utf8game=$game/utf8
mkdir -p "$utf8game/kst"
iconv -f CP932 -t UTF-8 "$game/kst/main.kst" > "$utf8game/kst/main.kst"
out=$(printf '0\n能力\n7\n' | "$play" "$utf8game" 2>/dev/null)
grep -q '^入力：能力$' <<<"$out" || fail "no converted line from the UTF-8 game in: $out"
echo kept > "$utf8game/.kiro/save00.sav"
sed -i 's/入力/答え/' "$utf8game/kst/main.kst"
out=$(printf '0\n能力\n7\n' | "$play" "$utf8game" 2>/dev/null)
grep -q '^答え：能力$' <<<"$out" || fail "the working copy was not refreshed: $out"
[ "$(cat "$utf8game/.kiro/save00.sav")" = kept ] || fail "a refresh touched the saves"

# A folder mixing both encodings is refused before the engine runs.
mkdir "$utf8game/csv" && printf '0,能力\n' | iconv -f UTF-8 -t CP932 > "$utf8game/csv/abl.csv"
status=0
err=$("$play" "$utf8game" 2>&1 >/dev/null </dev/null) || status=$?
[ "$status" -eq 2 ] && grep -q 'mixes encodings: .*kst/main.kst is UTF-8 but .*csv/abl.csv is Shift-JIS' <<<"$err" ||
  fail "mixed folder: status $status, message: $err"
rm -rf "$utf8game"

# --help and --version answer on standard output; an unknown option is a usage error.
"$play" --help | grep -q '^usage: kiro-play' || fail "no help"
"$play" --version | grep -q '^kiro-play [0-9]' || fail "no version"
status=0
"$play" --bogus 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "an unknown option: status $status, expected 2"

# Escape sequences, a bell and DEL in game text show as control pictures.
printf '@EVENTFIRST\nPRINTL \033[31m赤\033[0m\a\177|\r|\r\nQUIT\n' | script
out=$(printf '0\n' | "$play" "$game")
grep -q '^␛\[31m赤␛\[0m␇␡|␍|$' <<<"$out" || fail "control characters not shown in: $(od -c <<<"$out" | tail -5)"
[[ "$out" != *$'\033'* && "$out" != *$'\a'* ]] || fail "a raw control character reached the terminal"

# --input types a file's lines before the keyboard's; --transcript has the
# typed lines marked, each where it met the game; --record writes a case
# (with the --seed given and a time chosen) that kiro-test passes at once.
printf '@EVENTFIRST\nPRINTFORML 乱数：{RAND:1000}\nINPUTS\nPRINTFORML 入力：%%RESULTS:0%%\nINPUT\nQUIT\n' | script
mkdir "$game/tests" && printf '0\n能力\n' > "$game/first.txt"
out=$(printf '7\n' | "$play" --record "$game/tests/rec.case" --transcript "$game/t.txt" --input "$game/first.txt" --seed 5 "$game")
grep -q '^入力：能力$' <<<"$out" || fail "--input was not typed first: $out"
[ "$(sed -n '/^> 0$/,$p' "$game/t.txt" | sed '/^---*$/d; s/乱数：[0-9]*$/乱数：N/')" = "$(printf '%s\n' '> 0' '乱数：N' '> 能力' '入力：能力' '> 7')" ] ||
  fail "transcript out of order: $(cat "$game/t.txt")"
grep -q '^-- env KIRO_SEED=5 KIRO_TIME=....-..-..T..:..:..$' "$game/tests/rec.case" || fail "no seed and time: $(cat "$game/tests/rec.case")"
[ "$("$kiro_test" "$game" | tail -1)" = "1 passed, 0 failed" ] || fail "the recorded case does not replay: $("$kiro_test" "$game")"
rm -r "$game/tests" "$game/first.txt" "$game/t.txt"

# SIGTERM to kiro-play ends its engine, here busy in an endless loop, before
# kiro-play exits with 128 + 15.
printf '@EVENTFIRST\n$AGAIN\nGOTO AGAIN\n' | script
printf '0\n' | "$play" "$game" >/dev/null &
player=$!
for _ in $(seq 200); do
  engine=$(ps -o pid= --ppid "$player" | tr -d ' ' || true)  # ps fails until the engine is there
  [ -n "$engine" ] && [ "$(readlink "/proc/$engine/exe" || true)" = "$(dirname "$(readlink -f "$play")")/kiro" ] && break
  sleep 0.05
done
[ -n "$engine" ] || fail "the engine did not start"
kill -TERM "$player"
status=0
wait "$player" || status=$?
[ "$status" -eq 143 ] || fail "kiro-play ended with status $status after SIGTERM, expected 143"
! kill -0 "$engine" 2>/dev/null || fail "the engine ($engine) outlived kiro-play"
engine=
echo "kiro-play: ok"
