#!/usr/bin/env bash
# Installs the built library into a scratch prefix, checks that the tree
# holds the public API only, then builds and runs a consumer with
# find_package(quillfern) and another with pkg-config.
set -euo pipefail
build=$1 work=$2 cxx=$3
source_dir=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
include="$work/prefix/include"
# With the tool come its manual page and its bash completion.
if [ -x "$work/prefix/bin/quillfern" ]; then
  for file in share/man/man1/quillfern.1 share/bash-completion/completions/quillfern; do
    [ -f "$work/prefix/$file" ] || { echo "cmake --install did not install $file" >&2; exit 1; }
  done
fi

# No test double, no system-call hook, no kernel, no system-specific or
# other internal header.
internal=$(cd "$include" && find . -type f \( -path '*/posix/*' -o -path '*/win32/*' -o -path '*/testing/*' \
  -o -name '*_kernels.hpp' -o -name system_calls.hpp -o -name file_system.hpp -o -name secure_memory.hpp \
  -o -name rules.hpp -o -name ascii.hpp -o -name file_errors.hpp -o -name cpu_features.hpp \) | sort)
if [ -n "$internal" ]; then
  echo "internal headers installed:" $internal
  exit 1
fi
leaks=$(grep -rlE 'Recording(MessageBox|Container|Shell)|SystemCallHook|set_system_call_hook|namespace detail|enum class [A-Za-z]*Kernel|pid_t|#include <(unistd\.h|sys/)' "$include" || true)
if [ -n "$leaks" ]; then
  echo "installed headers show internals:" $leaks
  exit 1
fi
# Every installed header stands on its own, on the installed tree alone.
headers=0
while IFS= read -r header; do
  echo "#include <${header#./}>" | "$cxx" -std=c++20 -fsyntax-only -I"$include" -x c++ -
  headers=$((headers + 1))
done < <(cd "$include" && find . -name '*.hpp' | sort)

cmake -S "$source_dir" -B "$work/cmake" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer" | grep -qx "1.5.22 Secret1"
flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig:$work/prefix/lib64/pkgconfig:$(ls -d "$work"/prefix/lib/*/pkgconfig 2>/dev/null | head -1)" pkg-config --cflags --libs quillfern)
# The package states C++20 as a requirement but leaves the flag to its
# consumer, whose own standard may be a later one.
case " $flags " in *" -std="*) echo "pkg-config --cflags forces a language standard: $flags" >&2; exit 1 ;; esac
"$cxx" -std=c++20 "$source_dir/main.cpp" $flags -o "$work/pkgconfig-consumer"
"$work/pkgconfig-consumer" | grep -qx "1.5.22 Secret1"
echo "installed package: $headers public headers, no internal one; works with find_package and pkg-config"
