#!/usr/bin/env bash
# Times the engine against the peer interpreters on the shared workloads
# (../shared/bench, see its README.md): installs the peers (lua5.4 and
# brandy are shown beside the engine, bwbasic on request) and hyperfine when
# missing, brings build/kiro up to date, then runs the comparison.
#   bash tools/bench.sh                      every workload, side by side
#   bash tools/bench.sh --only arith,load    options are passed to run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bench=${KIRO_BENCH_DIR:-../shared/bench}

. tools/lib/packages.sh
need lua5.4 bwbasic brandy hyperfine g++ python3
install_needed

[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kiro -j"$(nproc 2>/dev/null || echo 2)"
exec bash "$bench/run.sh" "$@" build/kiro
