#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a bounded time
# on a copy of its seed corpus. Any crash, hang, leak or sanitizer report
# fails the run and leaves the reproducer in build-fuzz/findings/.
#   bash tools/fuzz.sh [SECONDS-PER-TARGET]   (default 10; the long run: 3600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang libclang-rt-dev
fi
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRO_FUZZ=ON -DKIRO_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" >/dev/null

mkdir -p build-fuzz/findings
status=0
for target in build-fuzz/fuzz/fuzz_*; do
  name=$(basename "$target")
  work=build-fuzz/corpus-run/$name
  rm -rf "$work" && mkdir -p "$work"
  cp -r fuzz/corpus/"$name"/. "$work"/ 2>/dev/null || true
  # Time and memory are bounded per input, so a hang or a runaway allocation is a finding.
  if "$target" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
       -artifact_prefix=build-fuzz/findings/"$name"- -print_final_stats=1 >build-fuzz/"$name".log 2>&1; then
    runs=$(grep -m1 -oE 'stat::number_of_executed_units: *[0-9]+' build-fuzz/"$name".log | grep -oE '[0-9]+$' || echo "?")
    echo "fuzz $name: ok, $runs runs in ${seconds}s"
  else
    echo "fuzz $name: FAILED (see build-fuzz/$name.log)"
    tail -n 40 build-fuzz/"$name".log
    status=1
  fi
done
exit $status
