#!/usr/bin/env bash
# kiro-test end to end on the sample game (whose own cases run as the test
# sample_game_cases): one changed script line fails with a diff naming the
# case and the first differing line; and the same input, seed and time give byte-identical output and save files
# over the whole scripted playthrough.
set -euo pipefail
kiro_test=$1 kiro=$(readlink -f "$2") sample=$3 sample_sjis=$4  # the sample game, and its Shift-JIS build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

# One changed line of a copy: exit 1, the case and its section named, the diff.
cp -r "$sample/csv" "$sample/kst" "$sample/tests" "$work/" && mkdir "$work/changed" && mv "$work"/{csv,kst,tests} "$work/changed/"
sed -i 's/^PRINTFORML ようこそ、%STR:0%へ。$/PRINTFORML ようこそ、%STR:0%へ！/' "$work/changed/kst/system.kst"
status=0
out=$("$kiro_test" "$work/changed") || status=$?
[ "$status" -eq 1 ] || fail "a changed game: status $status, expected 1: $out"
grep -q '^FAIL .*/tests/playthrough.case$' <<<"$out" || fail "the failing case is not named: $out"
grep -q 'playthrough.case:[0-9]*: -- stdout (run 1): output differs from line 20$' <<<"$out" || fail "no section and first differing line: $out"
grep -q '^-ようこそ、ひだまり料理学舎へ。$' <<<"$out" && grep -q '^+ようこそ、ひだまり料理学舎へ！$' <<<"$out" || fail "no diff: $out"
[ "$(tail -1 <<<"$out")" = "0 passed, 1 failed" ] || fail "unexpected summary: $out"
[ ! -e "$work/changed/save00.sav" ] || fail "a case wrote into the game folder"

# The playthrough's sessions, twice, in two folders: same bytes out, same saves.
play_session() {  # DIR SESSION
  awk -v want="$2" '/^# === session/ { n++ } !/^#/ && n == want' "$sample/playthrough.txt" |
    (cd "$1" && KIRO_SEED=7 KIRO_TIME=2024-04-01T09:00:00 "$kiro" > "out$2" || true)
}
for run in a b; do
  mkdir "$work/$run" && cp -r "$sample_sjis/csv" "$sample_sjis/kst" "$work/$run/"
  play_session "$work/$run" 1
  play_session "$work/$run" 2
done
for file in out1 out2 save00.sav; do
  [ -s "$work/a/$file" ] || fail "the playthrough left no $file"
  cmp "$work/a/$file" "$work/b/$file" || fail "$file differs between two runs with the same seed and time"
done

"$kiro_test" --help | grep -q '^usage: kiro-test' || fail "no help"
"$kiro_test" --version | grep -q '^kiro-test [0-9]' || fail "no version"
status=0
"$kiro_test" --bogus 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "an unknown option: status $status, expected 2"
echo "kiro-test: ok"
