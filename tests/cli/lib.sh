# Shared helpers of the command-line tests: a scratch folder, and checks
# that print what went wrong and count failures.
set -u
: "${QUILLFERN:?QUILLFERN must name the built tool}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# expect_status STATUS COMMAND...: runs COMMAND and checks its exit status;
# its standard output is kept in $work/out and standard error in $work/err.
expect_status() {
  local want=$1; shift
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" -eq "$want" ] || fail "'$*' exited $got, wanted $want: $(head -c 300 "$work/err")"
}

expect_out() { [ "$(cat "$work/out")" = "$1" ] || fail "output was '$(head -c 200 "$work/out")', wanted '$1'"; }
expect_err_has() { grep -qF -- "$1" "$work/err" || fail "standard error lacks '$1': $(head -c 300 "$work/err")"; }
expect_no_out() { [ ! -s "$work/out" ] || fail "standard output was not empty"; }
expect_no_file() { [ ! -e "$1" ] || fail "$1 exists"; }

# bounded COMMAND...: runs COMMAND under a time limit and, where the build
# allows one (a sanitizer's shadow memory does not fit), a memory limit, so
# that a fault which reads without end fails a check instead of exhausting
# the machine.
bounded() {
  if [ -z "${bounded_memory:-}" ]; then
    bounded_memory=$((2 << 20))  # KiB
    (ulimit -v "$bounded_memory" && "$QUILLFERN" --version) >/dev/null 2>&1 || bounded_memory=unlimited
  fi
  (ulimit -v "$bounded_memory"; exec timeout 30 "$@")
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
