#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS seconds (default 60) under ASan and
# UBSan, growing its corpus in fuzz/corpus/<name>/.
#   ./fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
seconds=${1:-60}
shift || true
build="$root/build/fuzz"

"$root/scripts/deps.sh" build test fuzz
if [ ! -f "$build/build.ninja" ]; then
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLFERN_FUZZ=ON -DQUILLFERN_BENCH=OFF -DQUILLFERN_TESTS=OFF -DQUILLFERN_WERROR=OFF
fi
cmake --build "$build"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    targets+=("$name")
  done
fi

status=0
for name in "${targets[@]}"; do
  corpus="$root/fuzz/corpus/$name"
  mkdir -p "$corpus"
  echo "== fuzz $name for ${seconds}s"
  (cd "$build" && "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=8192 \
      -timeout=10 -rss_limit_mb=2048 "$corpus") || status=1
done
exit $status
