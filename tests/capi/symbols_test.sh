#!/usr/bin/env bash
# The shared library exports exactly the functions quillfern.h declares.
# usage: symbols_test.sh LIBQUILLFERN_C.so quillfern.h
set -euo pipefail
exported=$(nm -D --defined-only "$1" | awk '$2 == "T" {print $3}' | sed 's/@.*//' | sort)
declared=$(grep -oE 'QUILLFERN_CALL quillfern_[A-Za-z_]+\(' "$2" | sed -E 's/.* (quillfern_[A-Za-z_]+)\(/\1/' | sort)
others=$(nm -D --defined-only "$1" | awk '$2 != "T" && $2 != "A" {print $3}')
if [ "$exported" != "$declared" ]; then
  echo "exported and declared differ:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
if [ -n "$others" ]; then
  echo "the library exports more than functions: $others"
  exit 1
fi
echo "capi symbols: $(wc -l <<<"$exported") functions exported, as declared"
