#!/usr/bin/env bash
# The Windows build and its tests under Wine (run by ./test.sh --windows).
#
#  1. builds the expected answers with the library for this machine;
#  2. cross-compiles quillfern.dll for x86_64 (with the test client) and
#     for i686 with MinGW-w64, through the root project;
#  3. checks both DLLs with the MinGW tools: the four exports, no compiler
#     runtime DLL among the imports, the embedded type library;
#  4. in a fresh Wine prefix: registers the x86_64 DLL with regsvr32, runs
#     the client (registry keys, type library, control object, every case
#     through the table of operations, by dispatch id and by name) and the
#     VBScript test under cscript, reads the i686 type library back,
#     unregisters and checks that the registry is as it was before.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
failures=0
passes=0

say() { echo "windows: $*"; }
pass() { passes=$((passes + 1)); }
fail() { failures=$((failures + 1)); echo "FAIL: $*"; }
expect() {  # expect DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then pass; else fail "$what"; fi
}

"$root/scripts/deps.sh" build test windows

# ---- builds -----------------------------------------------------------------
build_project() {  # build_project DIR SOURCE [CMAKE ARGS...]
  local dir=$1 source=$2
  shift 2
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$source" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs"
}
say "building the expected answers (Linux library)"
build_project "$root/build/windows-expected" "$root/windows/tests/host"
# The root project builds the library and, configured for Windows, the
# server and its client in windows/.
say "building quillfern.dll for x86_64"
build_project "$root/build/mingw-x86_64" "$root" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
say "building quillfern.dll for i686"
build_project "$root/build/mingw-i686" "$root" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQUILLFERN_WINDOWS_CLIENT=OFF

dll64="$root/build/mingw-x86_64/windows/quillfern.dll"
dll32="$root/build/mingw-i686/windows/quillfern.dll"
client="$root/build/mingw-x86_64/windows/quillfern_client.exe"

# ---- the DLLs, read with the MinGW tools --------------------------------------
# The DLL's exports: the four server entry points and every function that
# the C interface's header declares, undecorated on both architectures.
expected_exports=$({ printf '%s\n' DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer
  grep -oE 'QUILLFERN_CALL quillfern_[A-Za-z_]+\(' "$root/capi/quillfern.h" | sed -E 's/.* (quillfern_[A-Za-z_]+)\(/\1/'
} | sort | tr '\n' ' ')
check_image() {  # check_image ARCH DLL FORMAT
  local arch=$1 dll=$2 format=$3 dump exports
  dump=$("$arch-w64-mingw32-objdump" -p "$dll")
  expect "$arch: file format $format" grep -q "file format $format" <<<"$dump"
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
    grep -E '^\s*\[ *[0-9]+\] ' | awk '{print $NF}' | sort | tr '\n' ' ')
  expect "$arch: exports are the four server entry points and the C interface (got: $exports)" \
    test "$exports" = "$expected_exports"
  local imports
  imports=$(grep 'DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort | tr '\n' ' ')
  expect "$arch: no compiler runtime DLL is imported (imports: $imports)" \
    bash -c "! grep -Eq 'libgcc|libstdc|libwinpthread' <<<'$imports'"
  # The type library resource starts with the MSFT signature of a type library.
  expect "$arch: the type library is embedded" grep -aq "MSFT" "$dll"
  expect "$arch: the type library carries the library's help string" \
    grep -aq "Quillfern OCX Encryption Oldvane" "$dll"
}
check_image x86_64 "$dll64" pei-x86-64
check_image i686 "$dll32" pei-i386

# ---- Wine -----------------------------------------------------------------------
work=$(mktemp -d)
prefix="$work/prefix"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
say "preparing a fresh Wine prefix"
wineboot -i >/dev/null 2>&1
wineserver -w

# The keys of the classes hive, without their time stamps.
classes_keys() {
  wineserver -w
  grep -a '^\[Software\\\\Classes' "$prefix/system.reg" | sed 's/\] [0-9]*$/]/' | sort
}
classes_keys >"$work/keys-before"

mkdir -p "$work/run"
cp "$dll64" "$client" "$work/run/"
cp "$dll32" "$work/run/quillfern32.dll"
cp "$root/build/mingw-x86_64/windows/quillfern_capi_cases.exe" "$work/run/"
cp "$root/build/mingw-i686/windows/quillfern_capi_cases.exe" "$work/run/quillfern_capi_cases32.exe"
cd "$work/run"
"$root/build/windows-expected/quillfern_expected" >cases.txt
# The script test with its calls of the operations, written from the table.
{ cat "$root/windows/tests/encryption_test.vbs"; "$root/build/windows-expected/quillfern_expected" --script; } \
  >encryption_test.vbs
dll_w=$(winepath -w "$work/run/quillfern.dll")
dll32_w=$(winepath -w "$work/run/quillfern32.dll")

run_client() {  # run_client DESCRIPTION ARGS...
  local what=$1 output
  shift
  if output=$(wine ./quillfern_client.exe "$@" 2>&1); then
    pass
    grep -E 'passed|skipped|type library for' <<<"$output" | tr -d '\r' | sed 's/^/  /'
  else
    fail "$what"
    tr -d '\r' <<<"$output"
  fi
}

say "registering with regsvr32"
expect "regsvr32 registers the server" wine regsvr32 /s "$dll_w"
classes_keys >"$work/keys-registered"
say "keys written by the server:"
comm -13 "$work/keys-before" "$work/keys-registered" | sed 's/^/  /'

run_client "the registry keys" registered "$dll_w"
run_client "the type library" typelib "$dll_w"
run_client "the i686 type library" typelib "$dll32_w"
run_client "the control object" object "$dll_w"
for mode in vtable dispid name; do
  run_client "every case, $mode" cases "$mode" cases.txt
done

# The C interface without component objects: LoadLibrary, GetProcAddress
# and every case through the flat functions, on both architectures (the
# i686 program runs under Wine's 32-bit loader, wine32).
run_capi() {  # run_capi ARCH PROGRAM DLL
  local output
  if output=$(QUILLFERN_DLL=$3 wine "$2" cases.txt 2>&1); then
    pass
    tr -d '\r' <<<"$output" | sed "s/^/  $1: /"
  else
    fail "$1: the C interface of $3"
    tr -d '\r' <<<"$output" | tail -20
  fi
}
say "the C interface through LoadLibrary and GetProcAddress"
run_capi x86_64 ./quillfern_capi_cases.exe quillfern.dll
run_capi i686 ./quillfern_capi_cases32.exe quillfern32.dll

# Windows need a display: a private Xvfb when there is one.
if command -v Xvfb >/dev/null 2>&1; then
  say "in-place activation and the About window on a virtual display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  if [ -s "$work/display" ]; then
    DISPLAY=":$(cat "$work/display")" run_client "in-place activation and the About window" display
  else
    fail "Xvfb did not start"
  fi
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
fi

say "VBScript under cscript"
export QUILLFERN_MESSAGE_LOG=qf_messages.log
if output=$(wine cscript //nologo "$(winepath -w "$work/run/encryption_test.vbs")" cases.txt 2>&1); then
  pass
  tr -d '\r' <<<"$output" | sed 's/^/  /'
else
  fail "the VBScript test"
  tr -d '\r' <<<"$output"
fi
unset QUILLFERN_MESSAGE_LOG

say "unregistering"
classes_keys >"$work/keys-in-use"
expect "regsvr32 /u unregisters the server" wine regsvr32 /u /s "$dll_w"
run_client "no key is left" unregistered
classes_keys >"$work/keys-after"
# What unregistering removed is exactly what registering wrote (the system
# adds keys of its own meanwhile, for the script engines it loaded).
comm -13 "$work/keys-before" "$work/keys-registered" >"$work/written"
comm -23 "$work/keys-in-use" "$work/keys-after" >"$work/removed"
comm -13 "$work/keys-in-use" "$work/keys-after" >"$work/added"
if diff -u "$work/written" "$work/removed" && [ ! -s "$work/added" ]; then
  pass
else
  fail "unregistering removes exactly the keys that registering wrote"
  cat "$work/added"
fi
expect "unregistering twice is no failure" wine regsvr32 /u /s "$dll_w"

# Per-user registration, in the same prefix now that the machine's keys are
# gone: regsvr32 /n /i:user calls DllInstall(TRUE, "user").
user_keys() {
  wineserver -w
  # The bare Software\Classes key is the system's on Windows (a fresh Wine
  # prefix lacks it until a first class is registered): not ours to remove.
  { grep -a '^\[Software\\\\Classes' "$prefix/user.reg" || true; } | sed 's/\] [0-9]*$/]/' |
    { grep -v -x '\[Software\\\\Classes\]' || true; } | sort
}
say "per-user registration: regsvr32 /n /i:user"
classes_keys >"$work/machine-before"
user_keys >"$work/user-before"
expect "regsvr32 /n /i:user registers for the current user" wine regsvr32 /s /n /i:user "$dll_w"
classes_keys >"$work/machine-user-registered"
user_keys >"$work/user-registered"
comm -13 "$work/user-before" "$work/user-registered" >"$work/user-written"
comm -13 "$work/machine-before" "$work/machine-user-registered" >"$work/machine-written"
say "keys written under HKEY_CURRENT_USER:"
sed 's/^/  /' "$work/user-written"
expect "the class is registered for the user" grep -qi 'Classes\\\\CLSID\\\\{57ED96B6-064A-11D2-A037-444553540000}\\\\InprocServer32\]' "$work/user-written"
expect "the ProgID is registered for the user" grep -q 'Classes\\\\quillfern.Encryption\\\\CLSID\]' "$work/user-written"
expect "the control keys are registered for the user" grep -qi '{57ED96B6-064A-11D2-A037-444553540000}\\\\Control\]' "$work/user-written"
# Wine's RegisterTypeLibForUser registers the library for the machine (it
# says so with a FIXME); on Windows it writes under the user's keys. So
# here the type library's keys (TypeLib, Interface, also those of the
# 32-bit view) may appear in the machine hive, and nothing else may.
if grep -v -i -E 'Classes\\\\(Wow6432Node\\\\)?(TypeLib|Interface)\\\\' "$work/machine-written" | grep -q .; then
  fail "per-user registration wrote machine keys besides the type library's"
  cat "$work/machine-written"
else
  pass
  if [ -s "$work/machine-written" ]; then
    say "the type library went to the machine's keys ($(wc -l <"$work/machine-written") keys): Wine's RegisterTypeLibForUser does that"
  else
    say "the type library went to the user's keys"
  fi
fi
cat >user_test.vbs <<'VBS'
Set control = CreateObject("quillfern.Encryption")
Dim hex
control.convert "abc", hex
If hex <> "616263" Then WScript.Quit 1
WScript.Echo "created quillfern.Encryption from the user's registration: convert gives " & hex
VBS
if output=$(wine cscript //nologo "$(winepath -w "$work/run/user_test.vbs")" 2>&1); then
  pass
  tr -d '\r' <<<"$output" | sed 's/^/  /'
else
  fail "cscript creates quillfern.Encryption after per-user registration"
  tr -d '\r' <<<"$output"
fi
expect "regsvr32 /u /n /i:user unregisters for the current user" wine regsvr32 /s /u /n /i:user "$dll_w"
user_keys >"$work/user-after"
if diff -u "$work/user-before" "$work/user-after"; then pass; else fail "per-user unregistration leaves no user key"; fi
classes_keys >"$work/machine-user-after"
if grep -q -i -E 'quillfern|57ED96B6|CC0A55EA' "$work/machine-user-after"; then
  fail "per-user unregistration leaves a key of the library in the machine hive"
  grep -i -E 'quillfern|57ED96B6|CC0A55EA' "$work/machine-user-after"
else
  pass
fi

# Registration-free activation, with nothing registered (the user's and
# the machine's keys are gone again): the DLL with its side-by-side
# manifest in a folder, created through an activation context made from
# that manifest (what VBA's Microsoft.Windows.ActCtx does) and through the
# client program's own manifest that depends on the assembly.
say "registration-free activation"
for arch in x86_64 i686; do
  folder="$work/regfree-$arch"
  mkdir -p "$folder"
  cp "$root/build/mingw-$arch/windows/"{quillfern.dll,quillfern.sxs.manifest,regfree.exe,regfree.exe.manifest} "$folder/"
  for way in actctx client; do
    args=()
    [ "$way" = actctx ] && args=("$(winepath -w "$folder/quillfern.sxs.manifest")")
    if output=$(cd "$folder" && wine ./regfree.exe "${args[@]}" 2>&1); then
      pass
      tr -d '\r' <<<"$output" | sed "s/^/  $arch: /"
    else
      fail "$arch: registration-free activation ($way)"
      tr -d '\r' <<<"$output"
    fi
  done
done

echo "windows: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
