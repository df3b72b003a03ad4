#!/usr/bin/env bash
# Builds the web page, build/web/quillfern.html, with Emscripten: the
# library and the module of web/src to WebAssembly, then the one HTML file
# (web/CMakeLists.txt). Incremental; the packages come from
# scripts/deps.sh web.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/web"
# Emscripten's linker runs on this machine's node, which does not look in
# Debian's folder of Node.js modules (acorn) by itself.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake >/dev/null
fi
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
echo "web: $build/quillfern.html ($(stat -c %s "$build/quillfern.html") bytes)"
