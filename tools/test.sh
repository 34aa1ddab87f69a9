#!/usr/bin/env bash
# The one test command: installs what is missing, then configures, builds and
# runs every test (unit and end-to-end) twice, once as shipped and once under
# AddressSanitizer and UndefinedBehaviorSanitizer, runs the end-to-end cases
# against the Windows build under Wine, and gives every fuzz target a short
# bounded run. Safe to run on a fresh machine.
#   bash tools/test.sh            everything
#   FAST=1 bash tools/test.sh     the plain build and its tests only
set -euo pipefail
cd "$(dirname "$0")/.."

. tools/lib/packages.sh
need cmake g++ make python3  # python3 reads kiro-check's JSON back in a test
need_for clang++ clang
need_file "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" libclang-rt-dev
need_file /usr/include/gtest/gtest.h libgtest-dev
need_file /usr/include/gmock/gmock.h libgmock-dev
need_file /usr/include/benchmark/benchmark.h libbenchmark-dev
if [ -z "${FAST:-}" ]; then
  need_for x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64
  need wine
  need_file /usr/lib/wine/wine64 wine64
fi
install_needed
jobs=$(nproc 2>/dev/null || echo 2)

# The Windows build's cases are registered (label "wine") unless FAST.
windows_engine=
[ -n "${FAST:-}" ] || windows_engine=$PWD/build-windows/kiro.exe

echo "== build and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRO_TESTS=ON -DKIRO_WINDOWS_ENGINE="$windows_engine" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" -LE wine
[ -z "${FAST:-}" ] || exit 0

echo "== the Windows build, and the end-to-end cases against it under Wine"
windows_start=$SECONDS
bash tools/build-windows.sh
cmake --build build-windows --target save_killed_test -j"$jobs"
bash tools/wine.sh start
trap 'bash tools/wine.sh stop' EXIT
ctest --test-dir build --output-on-failure -j"$jobs" -L wine
bash tests/package/package_test.sh
bash tools/wine.sh stop
trap - EXIT
echo "the Windows part took $((SECONDS - windows_start)) s"

echo "== build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKIRO_TESTS=ON -DKIRO_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
# A sanitizer report ends the process with its own status, which no test expects.
ASAN_OPTIONS=detect_leaks=1:exitcode=97 UBSAN_OPTIONS=print_stacktrace=1:exitcode=98 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== fuzz every input path briefly"
bash tools/fuzz.sh "${FUZZ_SECONDS:-8}"
