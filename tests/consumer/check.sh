#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then builds and runs a
# consumer with find_package(quillfern) and another with pkg-config.
set -euo pipefail
build=$1 work=$2 cxx=$3
source_dir=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$source_dir" -B "$work/cmake" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer" | grep -qx "1.5.22 Secret1"
flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig:$(ls -d "$work"/prefix/lib/*/pkgconfig 2>/dev/null | head -1)" pkg-config --cflags --libs quillfern)
"$cxx" "$source_dir/main.cpp" $flags -o "$work/pkgconfig-consumer"
"$work/pkgconfig-consumer" | grep -qx "1.5.22 Secret1"
echo "installed package works with find_package and pkg-config"
