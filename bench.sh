#!/usr/bin/env bash
# Builds Release and runs the benchmarks (bytes per second per operation).
#   ./bench.sh [BENCHMARK-ARGS...]   e.g. ./bench.sh --benchmark_filter=Password
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$root/build/release"
"$root/scripts/deps.sh" build test
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
elif grep -q '^QUILLFERN_BENCH:BOOL=OFF$' "$build/CMakeCache.txt"; then
  cmake "$build" -DQUILLFERN_TESTS=ON -DQUILLFERN_BENCH=ON
fi
cmake --build "$build" --target quillfern_bench
exec "$build/bench/quillfern_bench" "$@"
