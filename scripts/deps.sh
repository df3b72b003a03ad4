#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are absent.
# Usage: scripts/deps.sh [GROUP...]   groups: build (default), test, fuzz, bench, ui, python, windows, web
# (build is what the tool and the library need; test adds GoogleTest and
# Google Benchmark, and wamerican: the identify test reads its word list;
# wamerican-large is the word list scripts/make_text_model.py learns from;
# web is Emscripten, with the Node.js and npm it runs on, and Chromium for
# the page's browser tests)
set -euo pipefail

packages_for() {
  case "$1" in
    build) echo "cmake ninja-build g++ pkg-config" ;;
    test) echo "libgtest-dev libgmock-dev libbenchmark-dev wamerican wamerican-large" ;;
    fuzz) echo "clang libclang-rt-14-dev" ;;
    bench) echo "bc xxd coreutils hyperfine openssl time" ;;
    ui) echo "tmux xvfb libfltk1.3-dev x11-apps xdotool imagemagick" ;;
    python) echo "python3 python3-dev pybind11-dev python3-pytest python3-hypothesis python3-venv python3-pip" ;;
    windows) echo "g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libwine-dev wine wine64 wine32:i386 mono-mcs mono-runtime libmono-i18n-west4.0-cil" ;;
    web) echo "emscripten binaryen nodejs chromium" ;;
    *) echo "scripts/deps.sh: unknown group $1" >&2; exit 2 ;;
  esac
}

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build)

missing=()
for group in "${groups[@]}"; do
  for package in $(packages_for "$group"); do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
      *"install ok installed"*) ;;
      *) missing+=("$package") ;;
    esac
  done
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "quillfern: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "quillfern: error: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# 32-bit packages (wine32, which runs the i686 DLL) need the i386 architecture.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq >/dev/null
fi
if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null; then
  $sudo apt-get update -qq >/dev/null
  $sudo apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi
