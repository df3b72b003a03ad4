#!/usr/bin/env bash
# Builds the quillfern command (Release, incrementally) and runs it:
#   ./run.sh [COMMAND] [OPTIONS] [FILE]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$root/build/release"

"$root/scripts/deps.sh" build >&2
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null >&2
fi
cmake --build "$build" --target quillfern_tool >/dev/null 2>"$build/last-build.log" || {
  cat "$build/last-build.log" >&2
  exit 1
}
exec "$build/quillfern" "$@"
