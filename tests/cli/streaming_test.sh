#!/usr/bin/env bash
# The streamed cipher commands: a pipe spooled past the in-memory threshold
# gives what the file gives, a result held back until its verdict, and the
# bad inputs (a file that shrinks or grows while it is read, a reader that
# goes away, a full disk while spooling): a clear error, a non-zero exit,
# no temporary file left, no partial output file.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
export QF_PASSWORD=secret
pw="--password-env QF_PASSWORD"
mkdir "$work/tmp"
export TMPDIR="$work/tmp"
no_temporaries() {
  [ -z "$(ls -A "$work/tmp")" ] || fail "$1: a temporary was left: $(ls -A "$work/tmp")"
  [ -z "$(ls -A "$work" | grep -e '^\.quillfern' -e '\.tmp')" ] || fail "$1: a temporary was left beside the output"
}

# A file that cannot be read fails as the file operations do.
for cmd in fastblowfish textbox-crypt textbox-decrypt encipher decipher; do
  expect_status 1 "$q" $cmd $pw "$work/missing"
  expect_err_has "quillfern: error: 53: File not found ($work/missing: No such file or directory)"
  expect_status 1 "$q" $cmd $pw "$work/tmp"
  expect_err_has "quillfern: error: 75: Path/File access error ($work/tmp: Is a directory)"
  expect_no_out
done

# 20 MiB: past the spool's memory, several pieces, and not a whole block.
head -c 20971001 /dev/urandom >"$work/big"
for cmd in "fastblowfish --notices none" "textbox-crypt --allow-loss" "textbox-decrypt --allow-loss" \
           "encipher --allow-loss" "decipher --allow-loss --notices none" "textbox-crypt" "encipher"; do
  $q $cmd $pw "$work/big" >"$work/from-file" 2>"$work/err"
  s1=$?
  cat "$work/big" | $q $cmd $pw >"$work/from-pipe" 2>>"$work/err"
  s2=$?
  [ "$s1" = "$s2" ] || fail "$cmd: file exited $s1, pipe $s2"
  [ "$s1" = 0 ] || [ "$s1" = 4 ] || [ "$s1" = 3 ] || fail "$cmd: exited $s1: $(head -c 300 "$work/err")"
  cmp -s "$work/from-file" "$work/from-pipe" || fail "$cmd: a pipe gave another result than the file"
done
# FastBlowFish twice gives the text back, through pipes and spools.
cat "$work/big" | "$q" fastblowfish $pw --notices none | "$q" fastblowfish $pw --notices none >"$work/back"
cmp -s "$work/big" "$work/back" || fail "fastblowfish twice through pipes did not give the text back"
# Counted notices: the summary of a streamed run counts every zero.
"$q" fastblowfish $pw --notices each "$work/big" 2>"$work/each" >/dev/null
"$q" fastblowfish $pw --notices summary "$work/big" 2>"$work/summary" >/dev/null
n=$(grep -c "ERROR Zero!" "$work/each")
[ "$n" -gt 1000 ] || fail "--notices each printed only $n lines"
grep -qF "ERROR Zero! ($n times)" "$work/summary" || fail "the summary does not count $n notices: $(cat "$work/summary")"
no_temporaries "spooled pipes"

# A loss found late: nothing reaches standard output or -o, and nothing
# is left behind.
{ head -c 5000000 /dev/zero | tr '\0' 'a'; printf '\377'; } >"$work/late"
for target in stdout file; do
  if [ $target = stdout ]; then
    cat "$work/late" | "$q" encipher $pw >"$work/out" 2>"$work/err"
  else
    cat "$work/late" | "$q" encipher $pw -o "$work/held" >"$work/out" 2>"$work/err"
  fi
  [ $? = 4 ] || fail "a late cut ($target) did not exit 4"
  expect_no_out
  expect_no_file "$work/held"
  expect_err_has "encipher would cut the cipher text at position 5000007 of 5000007: text character 5000001 has code 255"
done
# A cipher text damaged near its end: decipher stops there, exit 4.
head -c 4000000 /dev/zero | tr '\0' 'a' | "$q" encipher $pw >"$work/cipher"
{ head -c 3999990 "$work/cipher"; printf '\001'; tail -c 15 "$work/cipher"; } >"$work/damaged"
cat "$work/damaged" | "$q" decipher $pw >"$work/out" 2>"$work/err"
[ $? = 4 ] || fail "a damaged cipher text did not exit 4"
expect_no_out
expect_err_has "decipher stopped at cipher position 3999991 of 4000006: its code 1"
no_temporaries "late verdicts"

# A file that shrinks or grows while it is read: the command is held up by
# its notices, which go to a reader that waits a second before it takes
# them, and the file changes meanwhile. Nothing of the result, which was
# made for the length the file had at the start, reaches standard output.
change_while_read() {  # WHAT COMMAND
  head -c 33554432 /dev/zero >"$work/moving"
  rm -f "$work/slow"
  mkfifo "$work/slow"
  { exec 3<"$work/slow"; sleep 1; cat <&3 >"$work/err"; } &
  { "$q" fastblowfish $pw --notices each "$work/moving" >"$work/out" 2>"$work/slow"; echo $? >"$work/status"; } &
  sleep 0.3
  "$@"
  wait
  [ "$(cat "$work/status")" = 1 ] || fail "$1: the command exited $(cat "$work/status")"
  expect_no_out
}
change_while_read truncate -s 3000000 "$work/moving"
expect_err_has "moving shrank while it was read: 33554432 bytes expected, 3000000 found"
change_while_read sh -c "printf more >>'$work/moving'"
expect_err_has "moving grew while it was read: more than the 33554432 bytes it had at the start"
no_temporaries "changed while read"
# Unchanged, the held result comes out whole, through a pipe too.
"$q" fastblowfish $pw --notices none "$work/moving" | "$q" fastblowfish $pw --notices none >"$work/back"
cmp -s "$work/moving" "$work/back" || fail "fastblowfish held through a pipe did not give the file back"

# A reader gone early: a failed write, and the spool is gone too.
cat "$work/big" | "$q" fastblowfish $pw --notices none 2>"$work/err" | head -c 10 >/dev/null
expect_err_has "cannot write standard output"
no_temporaries "reader gone"

# A full disk while spooling: a small tmpfs in a mount namespace of its own.
mkdir "$work/small"
if unshare -m sh -c "mount -t tmpfs -o size=1m tmpfs '$work/small' &&
     { cat '$work/big' | TMPDIR='$work/small' '$q' fastblowfish $pw -o '$work/spooled'; echo \$? >'$work/status'; } &&
     ls -A '$work/small' >'$work/left'" 2>"$work/err"; then
  [ "$(cat "$work/status")" = 1 ] || fail "full spool: exited $(cat "$work/status")"
  expect_err_has "cannot write the spool file in $work/small: No space left on device"
  [ -s "$work/left" ] && fail "full spool: left $(cat "$work/left")"
  expect_no_file "$work/spooled"
else
  echo "skipped: a full tmpfs (mounting is not allowed here)"
fi
no_temporaries "full spool"
finish
