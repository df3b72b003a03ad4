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

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
