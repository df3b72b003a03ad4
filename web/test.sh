#!/usr/bin/env bash
# The web page's tests (run by ./test.sh --web):
#  1. installs Emscripten and Chromium (scripts/deps.sh web) and
#     playwright-core from web/package-lock.json (npm ci, into
#     web/node_modules; no browser is downloaded);
#  2. builds build/web/quillfern.html (web/build.sh);
#  3. takes the native quillfern tool of build/release, or builds it;
#  4. runs the module under Node on the vector files, then the page in
#     Chromium over file:// (web/tests/page_test.js), which keeps a
#     screenshot in build/web/quillfern.png and prints the speed figures.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
web="$root/web"

"$root/scripts/deps.sh" build web
command -v npm >/dev/null || { echo "web: error: npm is missing (it comes with Node.js)" >&2; exit 1; }
# playwright-core as the lock file has it, installed again when it differs.
wanted=$(cd "$web" && node -p 'require("./package-lock.json").packages["node_modules/playwright-core"].version')
have=$(cd "$web" && node -p 'try { require("./node_modules/playwright-core/package.json").version } catch (e) { "" }')
if [ "$wanted" != "$have" ]; then
  (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi

"$web/build.sh"

tool="$root/build/release/quillfern"
if [ ! -x "$tool" ]; then
  native="$root/build/web-native"
  if [ ! -f "$native/build.ninja" ]; then
    cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLFERN_TESTS=OFF \
      -DQUILLFERN_BENCH=OFF -DQUILLFERN_PYTHON=OFF >/dev/null
  fi
  cmake --build "$native" -j "$(nproc 2>/dev/null || echo 2)" --target quillfern_tool
  tool="$native/quillfern"
fi

cd "$web"
echo "web: the module under Node"
node --test tests/module_test.js
echo "web: the page in Chromium"
QUILLFERN_TOOL="$tool" node --test tests/page_test.js
