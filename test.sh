#!/usr/bin/env bash
# Builds and runs every test.
#   ./test.sh              Release build, all tests
#   ./test.sh --sanitize   the same under AddressSanitizer and UBSan
#   ./test.sh --thread     the load tests under ThreadSanitizer
#   ./test.sh --windows    the Windows build and its tests under Wine
#   ./test.sh --web        the web page, built with Emscripten, in Node and Chromium
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

mode=release
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  --thread) mode=thread ;;
  --windows) mode=windows ;;
  --web) mode=web ;;
  *) echo "usage: ./test.sh [--sanitize|--thread|--windows|--web]" >&2; exit 2 ;;
esac

jobs=$(nproc 2>/dev/null || echo 2)

if [ "$mode" = windows ]; then
  exec "$root/windows/test.sh"
fi
if [ "$mode" = web ]; then
  exec "$root/web/test.sh"
fi

"$root/scripts/deps.sh" build test fuzz ui python
build="$root/build/$mode"
args=(-DCMAKE_BUILD_TYPE=Release)
[ "$mode" = sanitize ] && args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFERN_SANITIZE=ON -DQUILLFERN_BENCH=OFF)
[ "$mode" = thread ] && args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLFERN_TSAN=ON -DQUILLFERN_BENCH=OFF)
# The Python extension is built for the interpreter that runs its tests:
# the first python3 with pytest and Hypothesis (Debian's are for
# /usr/bin/python3, which may not be the python3 on PATH).
python=""
for candidate in python3 /usr/bin/python3; do
  if command -v "$candidate" >/dev/null && "$candidate" -c 'import pytest, hypothesis' 2>/dev/null; then
    python=$(command -v "$candidate")
    break
  fi
done
[ -n "$python" ] && args+=("-DPython_EXECUTABLE=$python")
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja "${args[@]}"
elif grep -q '^QUILLFERN_TESTS:BOOL=OFF$' "$build/CMakeCache.txt"; then
  # ./run.sh configured this folder on a machine without GoogleTest.
  cmake "$build" -DQUILLFERN_TESTS=ON "$([ "$mode" = release ] && echo -DQUILLFERN_BENCH=ON || echo -DQUILLFERN_BENCH=OFF)"
elif [ -n "$python" ] && ! grep -q "^Python_EXECUTABLE:[A-Z]*=$python\$" "$build/CMakeCache.txt"; then
  cmake "$build" "-DPython_EXECUTABLE=$python"
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

# The Python package, from the build tree: pytest over python/tests.
if [ -z "$python" ] || [ ! -d "$build/python/quillfern" ]; then
  echo "quillfern: no Python tests: no python3 with pytest and Hypothesis, or no pybind11 (scripts/deps.sh python)" >&2
  exit 1
fi
python_env=(PYTHONPATH="$build/python" PYTHONDONTWRITEBYTECODE=1 QUILLFERN_PIP_BUILD_DIR="$build/pip")
pytest_args=()
if [ "$mode" = sanitize ]; then
  # The extension carries the sanitizers and the interpreter does not: their
  # runtime goes in first, with the C++ runtime whose throw it intercepts.
  # Python's own allocations are not ours to check for leaks; the pip
  # install test builds a release wheel and is left out.
  python_env+=(LD_PRELOAD="$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libstdc++.so)" PYTHONMALLOC=malloc
               ASAN_OPTIONS=detect_leaks=0:abort_on_error=1)
  pytest_args=(-m "not install")
fi
echo "quillfern: Python tests with $python"
env "${python_env[@]}" "$python" -m pytest -p no:cacheprovider -q "${pytest_args[@]}" "$root/python/tests"
