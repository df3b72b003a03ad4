#!/usr/bin/env bash
# The Python ctypes example against the built library.
# usage: python_test.sh LIBQUILLFERN_C.so EXAMPLE.py
set -euo pipefail
if ldd "$1" | grep libasan >/dev/null; then
  # The sanitizers' runtime goes in before the interpreter's own libraries.
  export LD_PRELOAD="$(gcc -print-file-name=libasan.so):$(g++ -print-file-name=libstdc++.so)"
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
fi
python3 "$2" "$1"
