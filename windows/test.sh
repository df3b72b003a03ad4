#!/usr/bin/env bash
# The Windows build and its tests under Wine (run by ./test.sh --windows).
#
#  1. builds the expected answers with the library for this machine;
#  2. cross-compiles quillfern.dll with its test programs for x86_64 and
#     for i686 with MinGW-w64, through the root project;
#  3. checks both DLLs with the MinGW tools: the server's entry points and
#     the C interface's functions exported, no compiler runtime DLL among
#     the imports, the embedded type library;
#  4. in a fresh Wine prefix, for each DLL with the regsvr32, cscript and
#     test client of its own architecture (the i686 ones under Wine's 32-bit
#     loader): registers it for the machine, runs the client (registry keys,
#     type library, control object, every case through the table of
#     operations, by dispatch id and by name) and the VBScript test,
#     unregisters and checks that the registry is as it was before; then
#     the C interface through LoadLibrary, per-user registration and
#     registration-free activation, again for both;
#  5. compiles the .NET module with mcs and runs it under mono against the
#     Linux library's C interface.
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
  # Configured every time, so that a folder left by an older checkout gets
  # the options the tests need (a few seconds when nothing changed).
  cmake -S "$source" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}
say "building the expected answers (Linux library)"
build_project "$root/build/windows-expected" "$root/windows/tests/host"
# The root project builds the library and, configured for Windows, the
# server and its client in windows/.
say "building quillfern.dll for x86_64"
build_project "$root/build/mingw-x86_64" "$root" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DQUILLFERN_WINDOWS_CLIENT=ON
say "building quillfern.dll for i686"
build_project "$root/build/mingw-i686" "$root" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQUILLFERN_WINDOWS_CLIENT=ON

dll64="$root/build/mingw-x86_64/windows/quillfern.dll"
dll32="$root/build/mingw-i686/windows/quillfern.dll"

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

# One folder per architecture, each with its DLL, test client, C program,
# case file and script test; the programs of each run under the system
# folder of their own architecture (the i686 ones from syswow64).
cd "$work"
"$root/build/windows-expected/quillfern_expected" >"$work/cases.txt"
# The script test with its calls of the operations, written from the table.
{ cat "$root/windows/tests/encryption_test.vbs"; "$root/build/windows-expected/quillfern_expected" --script; } \
  >"$work/encryption_test.vbs"
for arch in x86_64 i686; do
  mkdir -p "$work/$arch"
  cp "$root/build/mingw-$arch/windows/"{quillfern.dll,quillfern_client.exe,quillfern_capi_cases.exe} \
    "$work/cases.txt" "$work/encryption_test.vbs" "$root/docs/rnd-vectors.txt" "$work/$arch/"
done
# The programs of each architecture: the x86_64 ones under Wine's 64-bit
# loader (the plain wine command is 32-bit, and the system folder it sees
# is the 32-bit one), the i686 ones under the 32-bit loader from syswow64.
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || echo wine)
wine_of() {  # wine_of ARCH PROGRAM ARGS...: a system program of that architecture
  local arch=$1 program=$2
  shift 2
  if [ "$arch" = i686 ]; then wine "C:\\windows\\syswow64\\$program.exe" "$@"; else "$wine64" "$program" "$@"; fi
}

run_client() {  # run_client ARCH DESCRIPTION ARGS...
  local arch=$1 what=$2 output
  shift 2
  if output=$(cd "$work/$arch" && wine ./quillfern_client.exe "$@" 2>&1); then
    pass
    grep -E 'passed|skipped|type library for' <<<"$output" | tr -d '\r' | sed "s/^/  $arch: /"
  else
    fail "$arch: $what"
    tr -d '\r' <<<"$output"
  fi
}

# Wine's cscript ends with status 0 even when the script stops on a
# runtime error, so a script passes only when it printed its last line.
run_script() {  # run_script ARCH DESCRIPTION LAST-LINE-PATTERN SCRIPT ARGS...
  local arch=$1 what=$2 last=$3 script=$4 output
  shift 4
  if output=$(cd "$work/$arch" && wine_of "$arch" cscript //nologo "$(winepath -w "$work/$arch/$script")" "$@" 2>&1) &&
    grep -Eq "$last" <<<"$output"; then
    pass
    tr -d '\r' <<<"$output" | sed "s/^/  $arch: /"
  else
    fail "$arch: $what"
    tr -d '\r' <<<"$output"
  fi
}

regsvr32() {  # regsvr32 ARCH ARGS...: the architecture's own regsvr32, quiet
  local arch=$1
  shift
  wine_of "$arch" regsvr32 /s "$@"
}

# In-place activation and the About window need a display: a private Xvfb
# when there is one (x86_64 only).
display_test() {
  command -v Xvfb >/dev/null 2>&1 || return 0
  say "in-place activation and the About window on a virtual display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  local xvfb=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  if [ -s "$work/display" ]; then
    DISPLAY=":$(cat "$work/display")" run_client x86_64 "in-place activation and the About window" display
  else
    fail "Xvfb did not start"
  fi
  wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}

# Registration for the machine, the control through the table and by
# dispatch, the script host, and unregistration, for one architecture.
machine_registration() {  # machine_registration ARCH
  local arch=$1 dll_w
  dll_w=$(winepath -w "$work/$arch/quillfern.dll")
  say "$arch: registering with regsvr32"
  classes_keys >"$work/keys-before"
  expect "$arch: regsvr32 registers the server" regsvr32 "$arch" "$dll_w"
  classes_keys >"$work/keys-registered"
  say "$arch: keys written by the server:"
  comm -13 "$work/keys-before" "$work/keys-registered" | sed 's/^/  /'

  run_client "$arch" "the registry keys" registered "$dll_w"
  run_client "$arch" "the type library" typelib "$dll_w"
  run_client "$arch" "the control object" object "$dll_w"
  for mode in vtable dispid name; do
    run_client "$arch" "every case, $mode" cases "$mode" cases.txt
  done
  if [ "$arch" = x86_64 ]; then display_test; fi

  say "$arch: VBScript under cscript"
  QUILLFERN_MESSAGE_LOG=qf_messages.log run_script "$arch" "the VBScript test" '^vbscript: [0-9]+ passed, 0 failed' \
    encryption_test.vbs cases.txt

  say "$arch: unregistering"
  classes_keys >"$work/keys-in-use"
  expect "$arch: regsvr32 /u unregisters the server" regsvr32 "$arch" /u "$dll_w"
  run_client "$arch" "no key is left" unregistered
  classes_keys >"$work/keys-after"
  # What unregistering removed is exactly what registering wrote (the system
  # adds keys of its own meanwhile, for the script engines it loaded).
  comm -13 "$work/keys-before" "$work/keys-registered" >"$work/written"
  comm -23 "$work/keys-in-use" "$work/keys-after" >"$work/removed"
  comm -13 "$work/keys-in-use" "$work/keys-after" >"$work/added"
  if diff -u "$work/written" "$work/removed" && [ ! -s "$work/added" ]; then
    pass
  else
    fail "$arch: unregistering removes exactly the keys that registering wrote"
    cat "$work/added"
  fi
  expect "$arch: unregistering twice is no failure" regsvr32 "$arch" /u "$dll_w"
}

machine_registration x86_64
# The x86_64 client reads the i686 type library too, unregistered.
run_client x86_64 "the i686 type library" typelib "$(winepath -w "$work/i686/quillfern.dll")"

machine_registration i686

# The C interface without component objects: LoadLibrary, GetProcAddress
# and every case through the flat functions, on both architectures (the
# i686 program runs under Wine's 32-bit loader, wine32).
say "the C interface through LoadLibrary and GetProcAddress"
for arch in x86_64 i686; do
  if output=$(cd "$work/$arch" && QUILLFERN_DLL=quillfern.dll wine ./quillfern_capi_cases.exe cases.txt rnd-vectors.txt 2>&1); then
    pass
    tr -d '\r' <<<"$output" | sed "s/^/  $arch: /"
  else
    fail "$arch: the C interface of quillfern.dll"
    tr -d '\r' <<<"$output" | tail -20
  fi
done

# The .NET module under mono on Linux: its declarations and marshalling
# (byte[], Windows-1252 strings, the message-box delegate, the size-then-fill
# protocol, the readings of identify) against the C interface of the Linux
# library, which a dllmap puts where the module names quillfern.dll.
say ".NET module (windows/hosts/Quillfern.cs) under mono against libquillfern_c.so"
mkdir -p "$work/dotnet"
if mcs -warnaserror+ -out:"$work/dotnet/dotnet_cases.exe" "$root/windows/hosts/Quillfern.cs" \
  "$root/windows/tests/dotnet_cases.cs" >"$work/dotnet/mcs.log" 2>&1; then
  cat >"$work/dotnet/dotnet_cases.exe.config" <<XML
<configuration>
  <dllmap dll="quillfern.dll" target="$root/build/windows-expected/quillfern/capi/libquillfern_c.so" />
</configuration>
XML
  if output=$(cd "$work/dotnet" && mono dotnet_cases.exe "$work/cases.txt" "$root/docs/rnd-vectors.txt" 2>&1); then
    pass
    sed 's/^/  /' <<<"$output"
  else
    fail "the .NET module under mono"
    tail -20 <<<"$output"
  fi
else
  fail "the .NET module compiles with mcs"
  cat "$work/dotnet/mcs.log"
fi

# Per-user registration, in the same prefix now that the machine's keys are
# gone: regsvr32 /n /i:user calls DllInstall(TRUE, "user").
user_keys() {
  wineserver -w
  # The bare Software\Classes key is the system's on Windows (a fresh Wine
  # prefix lacks it until a first class is registered): not ours to remove.
  { grep -a '^\[Software\\\\Classes' "$prefix/user.reg" || true; } | sed 's/\] [0-9]*$/]/' |
    { grep -v -x '\[Software\\\\Classes\]' || true; } | sort
}
user_registration() {  # user_registration ARCH
  local arch=$1 dll_w
  dll_w=$(winepath -w "$work/$arch/quillfern.dll")
  say "$arch: per-user registration: regsvr32 /n /i:user"
  classes_keys >"$work/machine-before"
  user_keys >"$work/user-before"
  expect "$arch: regsvr32 /n /i:user registers for the current user" regsvr32 "$arch" /n /i:user "$dll_w"
  classes_keys >"$work/machine-user-registered"
  user_keys >"$work/user-registered"
  comm -13 "$work/user-before" "$work/user-registered" >"$work/user-written"
  comm -13 "$work/machine-before" "$work/machine-user-registered" >"$work/machine-written"
  say "$arch: keys written under HKEY_CURRENT_USER:"
  sed 's/^/  /' "$work/user-written"
  # A 32-bit program's class keys go to the 32-bit view (Wow6432Node).
  local view='(Wow6432Node\\\\)?'
  expect "$arch: the class is registered for the user" grep -qi -E \
    'Classes\\\\'"$view"'CLSID\\\\\{57ED96B6-064A-11D2-A037-444553540000\}\\\\InprocServer32\]' "$work/user-written"
  expect "$arch: the ProgID is registered for the user" grep -q -E \
    'Classes\\\\'"$view"'quillfern\.Encryption\\\\CLSID\]' "$work/user-written"
  expect "$arch: the control keys are registered for the user" grep -qi -E \
    '\{57ED96B6-064A-11D2-A037-444553540000\}\\\\Control\]' "$work/user-written"
  # Wine's RegisterTypeLibForUser registers the library for the machine (it
  # says so with a FIXME); on Windows it writes under the user's keys. So
  # here the type library's keys (TypeLib, Interface, also those of the
  # 32-bit view) may appear in the machine hive, and nothing else may.
  if grep -v -i -E 'Classes\\\\(Wow6432Node\\\\)?(TypeLib|Interface)\\\\' "$work/machine-written" | grep -q .; then
    fail "$arch: per-user registration wrote machine keys besides the type library's"
    cat "$work/machine-written"
  else
    pass
    if [ -s "$work/machine-written" ]; then
      say "$arch: the type library went to the machine's keys ($(wc -l <"$work/machine-written") keys): Wine's RegisterTypeLibForUser does that"
    else
      say "$arch: the type library went to the user's keys"
    fi
  fi
  # Wine's classes root does not read the user's keys (Windows' does), so
  # CreateObject cannot find a class registered for the user only there:
  # the client follows the user's keys to the DLL and creates the control
  # from its class object instead.
  run_client "$arch" "the user's keys lead to the control" user "$dll_w"
  expect "$arch: regsvr32 /u /n /i:user unregisters for the current user" regsvr32 "$arch" /u /n /i:user "$dll_w"
  user_keys >"$work/user-after"
  if diff -u "$work/user-before" "$work/user-after"; then pass; else fail "$arch: per-user unregistration leaves no user key"; fi
  classes_keys >"$work/machine-user-after"
  if grep -q -i -E 'quillfern|57ED96B6|CC0A55EA' "$work/machine-user-after"; then
    fail "$arch: per-user unregistration leaves a key of the library in the machine hive"
    grep -i -E 'quillfern|57ED96B6|CC0A55EA' "$work/machine-user-after"
  else
    pass
  fi
}
user_registration x86_64
user_registration i686

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
