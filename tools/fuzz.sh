#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a bounded time
# on a copy of its seed corpus, one target after the other. Any crash, hang,
# leak, sanitizer report or memory use above 2 GB fails the run and leaves
# the reproducer in <build>/findings/.
#   bash tools/fuzz.sh [SECONDS-PER-TARGET [RUNS-PER-TARGET]]   (default 10 s, no run limit)
#   nice -n 19 bash tools/fuzz.sh 14400 10000000
#       the long run: each target until 10 million inputs have run (or four
#       hours have passed); about five hours on one core in all, three and
#       a half of them for fuzz_script_run (about 800 inputs a second)
#   FUZZ_TARGETS="fuzz_form fuzz_console" bash tools/fuzz.sh 60   only these
#   KIRO_FUZZ_BUILD=build-mine bash tools/fuzz.sh                 another build folder
# A finding replays with: <build>/fuzz/<target> <build>/findings/<file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
runs=${2:--1}
build=${KIRO_FUZZ_BUILD:-build-fuzz}

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang libclang-rt-dev
fi
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRO_FUZZ=ON -DKIRO_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" >/dev/null

targets=${FUZZ_TARGETS:-$(cd "$build/fuzz" && ls fuzz_*)}
mkdir -p "$build"/findings
status=0
for name in $targets; do
  target=$build/fuzz/$name
  work=$build/corpus-run/$name
  rm -rf "$work" && mkdir -p "$work"
  cp -r fuzz/corpus/"$name"/. "$work"/ 2>/dev/null || true
  # Time and memory are bounded per input, so a hang or a runaway allocation is a finding.
  if "$target" "$work" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
       -artifact_prefix="$build"/findings/"$name"- -print_final_stats=1 >"$build"/"$name".log 2>&1; then
    done=$(grep -m1 -oE 'stat::number_of_executed_units: *[0-9]+' "$build"/"$name".log | grep -oE '[0-9]+$' || echo "?")
    took=$(grep -m1 -oE 'Done [0-9]+ runs in [0-9]+ second' "$build"/"$name".log | grep -oE '[0-9]+ second' || echo "${seconds} second")
    echo "fuzz $name: ok, $done runs in ${took}s"
  else
    echo "fuzz $name: FAILED (see $build/$name.log)"
    tail -n 40 "$build"/"$name".log
    status=1
  fi
done
exit $status
