#!/usr/bin/env bash
# Passwords and seeds from descriptors and files: --password-fd takes its
# line and leaves what follows on the descriptor for the command, and no
# source is read further than the tool can use.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN

# The password and the text on one standard input, through a pipe (read a
# byte at a time) and from a file (read ahead, then put back).
printf 'hello world' >"$work/plain"
"$q" fastblowfish --password-hex 7077 -o "$work/expected" "$work/plain" 2>/dev/null
for ending in '\n' '\r\n'; do
  printf "pw${ending}hello world" >"$work/both"
  cat "$work/both" | "$q" fastblowfish --password-fd 0 >"$work/got" 2>"$work/err" || fail "fastblowfish --password-fd 0 from a pipe"
  cmp -s "$work/got" "$work/expected" || fail "--password-fd 0 from a pipe lost the text (got $(stat -c %s "$work/got") bytes)"
  "$q" fastblowfish --password-fd 0 <"$work/both" >"$work/got" || fail "fastblowfish --password-fd 0 from a file"
  cmp -s "$work/got" "$work/expected" || fail "--password-fd 0 from a file lost the text"
done
# Another descriptor, and a text that follows the password line in the same write.
{ printf 'pw\n'; } >"$work/pwline"
"$q" fastblowfish --password-fd 3 3<"$work/pwline" <"$work/plain" >"$work/got" || fail "--password-fd 3"
cmp -s "$work/got" "$work/expected" || fail "--password-fd 3 gave another text"
# file-code reads its input from the same standard input.
"$q" file-code --password-hex 7077 "$work/plain" "$work/coded" 2>/dev/null
printf 'pw\nhello world' | "$q" file-code --password-fd 0 /dev/stdin "$work/fc.out" || fail "file-code --password-fd 0 /dev/stdin"
cmp -s "$work/fc.out" "$work/coded" || fail "file-code from standard input wrote $(stat -c %s "$work/fc.out") bytes, wanted 11"
# A descriptor that is not open.
expect_status 2 "$q" fastblowfish --password-fd 9 "$work/plain"
expect_err_has "--password-fd 9: Bad file descriptor"

# A password has at most 1 MiB: a longer one, or an endless source, is a
# usage error found at once.
for source in "--password-file /dev/zero" "--password-fd 0"; do
  expect_status 2 bounded "$q" fastblowfish $source "$work/plain" </dev/zero
  expect_err_has "the password is longer than 1 MiB (1048576 bytes)"
  expect_no_out
done
head -c $((1 << 20)) /dev/zero | tr '\0' p >"$work/longest"
chmod 600 "$work/longest"
expect_status 0 "$q" fastblowfish --password-file "$work/longest" "$work/plain"
{ cat "$work/longest"; printf 'p\n'; } >"$work/too-long"
chmod 600 "$work/too-long"
expect_status 2 "$q" fastblowfish --password-file "$work/too-long" "$work/plain"
expect_err_has "longer than 1 MiB"

finish
