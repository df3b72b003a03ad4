#!/usr/bin/env bash
# Builds and runs every test.
#   ./test.sh              Release build, all tests
#   ./test.sh --sanitize   the same under AddressSanitizer and UBSan
#   ./test.sh --thread     the load tests under ThreadSanitizer
#   ./test.sh --windows    the Windows build and its tests under Wine
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

mode=release
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  --thread) mode=thread ;;
  --windows) mode=windows ;;
  *) echo "usage: ./test.sh [--sanitize|--thread|--windows]" >&2; exit 2 ;;
esac

jobs=$(nproc 2>/dev/null || echo 2)

if [ "$mode" = windows ]; then
  exec "$root/windows/test.sh"
fi

"$root/scripts/deps.sh" build fuzz ui
build="$root/build/$mode"
args=(-DCMAKE_BUILD_TYPE=Release)
[ "$mode" = sanitize ] && args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFERN_SANITIZE=ON -DQUILLFERN_BENCH=OFF)
[ "$mode" = thread ] && args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFERN_TSAN=ON -DQUILLFERN_BENCH=OFF)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja "${args[@]}"
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
if [ "$mode" = thread ]; then
  # Only the load tests run under ThreadSanitizer: they are the ones with threads.
  cmake --build "$build" -j "$jobs" --target quillfern_tests
  "$build/tests/quillfern_tests" --gtest_filter='Load*'
  exit
fi
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
# The command-line tests once more on the portable kernels, which the
# processor's vector kernels otherwise hide.
echo "The command-line tests with QUILLFERN_KERNELS=portable:"
QUILLFERN_KERNELS=portable ctest --test-dir "$build" --output-on-failure -j "$jobs" -R '^cli\.'
