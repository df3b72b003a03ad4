#!/usr/bin/env bash
# Builds the quillfern command (Release, incrementally) and runs it:
#   ./run.sh [COMMAND] [OPTIONS] [FILE]
# Standard output carries only the tool's own output, so run.sh works in
# pipes; the set-up and build report to standard error, and only on failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$root/build/release"
mkdir -p "$build"

# Two run.sh in one pipe must not install or build at the same time.
exec 9>"$root/build/.run.lock"
flock 9
"$root/scripts/deps.sh" build >&2
log="$build/run-build.log"
if [ ! -f "$build/build.ninja" ]; then
  # The tool needs neither GoogleTest nor Google Benchmark; the tests and
  # benchmarks join this build once they are installed (./test.sh does).
  extra=()
  if ! dpkg-query -W -f='${Status}' libgtest-dev libbenchmark-dev 2>/dev/null | grep -q '^install ok installed.*install ok installed$' 2>/dev/null; then
    extra=(-DQUILLFERN_TESTS=OFF -DQUILLFERN_BENCH=OFF)
  fi
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "${extra[@]}" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
fi
cmake --build "$build" --target quillfern_tool >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
flock -u 9
exec 9>&-
exec "$build/quillfern" "$@"
