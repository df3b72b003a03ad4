#!/usr/bin/env bash
# The file commands: file-code round trips, known answers, faults that must
# leave the output as it was, and wipe.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
hex() { od -An -v -tx1 "$1" | tr -d ' \n'; }
same() { cmp -s "$1" "$2" || fail "$1 and $2 differ"; }
# No temporary file beside the outputs: only the names given remain.
only() { local left; left=$(ls -A "$work" | grep -v -x -e out -e err "${@/#/-e}"); [ -z "$left" ] || fail "left behind: $left"; }

# Known answer: a new runtime, the password "secret".
printf 'Hello, world!\n' >"$work/hello"
expect_status 0 "$q" EncodeDecodeFile --password-hex 736563726574 "$work/hello" "$work/hello.enc"
expect_no_out
[ "$(hex "$work/hello.enc")" = 2c87c7a30d831c6fc81ab2460708 ] || fail "known answer: $(hex "$work/hello.enc")"
printf 'state 12345' >"$work/s"
PW=Pass8chr expect_status 0 "$q" file-code --generator-state 0x3039 --print-state --password-env PW "$work/s" "$work/s.enc"
expect_out 7856166
[ "$(hex "$work/s.enc")" = a702d4dd2a01791ce1c111 ] || fail "--generator-state: $(hex "$work/s.enc")"
rm -f "$work/hello" "$work/hello.enc" "$work/s" "$work/s.enc"

# Round trips, each run starting from the start state; passwords with
# codes 0, 1 and 255.
for size in 0 1 4095 4096 4097 10485760; do
  head -c "$size" /dev/urandom >"$work/plain"
  for pw in 00 01ff 41000142ff7a; do
    expect_status 0 "$q" file-code --password-hex "$pw" "$work/plain" "$work/coded"
    [ "$(stat -c %s "$work/coded")" = "$size" ] || fail "size $size: coded file has $(stat -c %s "$work/coded") bytes"
    [ "$size" -lt 16 ] || ! cmp -s "$work/plain" "$work/coded" || fail "size $size: nothing was encoded"
    expect_status 0 "$q" file-code -q --password-hex "$pw" "$work/coded" "$work/restored"
    same "$work/plain" "$work/restored"
  done
  # Without a terminal there is no progress bar: nothing but the warning
  # about a password on the command line.
  ! grep -qv '^quillfern: warning: a password on the command line' "$work/err" || fail "size $size: standard error was '$(head -c 100 "$work/err")'"
done
# Onto itself, and through a symbolic link.
cp "$work/plain" "$work/copy"
ln -s "$work/copy" "$work/link"
expect_status 0 "$q" file-code --password-hex 4142 "$work/copy" "$work/copy"
expect_status 0 "$q" file-code --password-hex 4142 "$work/link" "$work/link"
[ -L "$work/link" ] || fail "the link was replaced"
same "$work/plain" "$work/copy"
only plain coded restored copy link
rm -f "$work/plain" "$work/coded" "$work/restored" "$work/copy" "$work/link"

# Faults: a clear error, nothing created, an existing output as it was.
printf 'keep' >"$work/keep"
printf 'data' >"$work/in"
cp "$work/keep" "$work/out.txt"
expect_status 1 "$q" file-code --password-hex 41 "$work/missing" "$work/new"
expect_err_has "quillfern: error: 53: File not found"
expect_no_file "$work/missing"
expect_no_file "$work/new"
expect_status 1 "$q" file-code --password-hex 41 "$work/in" "$work/nofolder/out"
expect_err_has "quillfern: error: 76: Path not found"
expect_status 1 "$q" file-code --password-hex "" "$work/in" "$work/out.txt"
expect_err_has "quillfern: error: 5: Invalid procedure call or argument"
same "$work/keep" "$work/out.txt"
expect_status 1 "$q" file-code --password-hex 41 "$work/in" "$work"
expect_err_has "quillfern: error: 75: Path/File access error"
expect_status 2 "$q" file-code --password-hex 41 "$work/in"
expect_status 2 "$q" file-code --password-hex 41 --generator-state 16777216 "$work/in" "$work/new"

# Permissions, as an unprivileged user when the tests run as root.
as_user=()
if [ "$(id -u)" = 0 ]; then
  if command -v setpriv >/dev/null; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$work"
  fi
fi
if [ "$(id -u)" != 0 ] || [ ${#as_user[@]} -gt 0 ]; then
  mkdir "$work/locked" && chmod 555 "$work/locked"
  chmod 644 "$work/in"
  printf 'secret' >"$work/unreadable" && chmod 000 "$work/unreadable"
  expect_status 1 "${as_user[@]}" "$q" file-code --password-hex 41 "$work/unreadable" /dev/null
  expect_err_has "quillfern: error: 70: Permission denied"
  expect_status 1 "${as_user[@]}" "$q" file-code --password-hex 41 "$work/in" "$work/locked/out"
  expect_err_has "quillfern: error: 70: Permission denied"
  expect_no_file "$work/locked/out"
  rm -rf "$work/locked" "$work/unreadable"
else
  echo "skipped: permission faults (root without setpriv)"
fi

# A full device: a file-size limit stops the write; the output stays.
head -c 3000000 /dev/urandom >"$work/big"
(ulimit -f 1000; "$q" file-code --password-hex 41 "$work/big" "$work/out.txt" >"$work/out" 2>"$work/err")
[ $? -eq 1 ] || fail "over the file-size limit the run did not fail"
expect_err_has "quillfern: error: 61: Disk full"
same "$work/keep" "$work/out.txt"
only keep in big out.txt

# A run killed in the middle leaves the earlier output intact; one that
# is asked to stop removes its temporary file and ends as the signal does.
mkfifo "$work/fifo"
for sig in KILL TERM; do
  "$q" file-code --password-hex 41 "$work/fifo" "$work/out.txt" 2>"$work/err" &
  pid=$!
  exec 3>"$work/fifo"
  head -c 3000000 /dev/urandom >&3
  sleep 0.3
  kill -s "$sig" "$pid"
  exec 3>&-
  wait "$pid" 2>/dev/null
  status=$?
  same "$work/keep" "$work/out.txt"
  if [ "$sig" = TERM ]; then
    [ "$status" -eq 143 ] || fail "stopped run exited $status"
    only keep in big out.txt fifo
  else
    rm -f "$work"/out.txt.??????
  fi
done

# Wipe: several files, each one reported; refused names stay.
head -c 4097 /dev/urandom >"$work/w1"
printf '' >"$work/w2"
printf 'ro' >"$work/w3" && chmod 444 "$work/w3"
mkdir "$work/wdir"
ln -s "$work/in" "$work/wlink"
expect_status 0 "$q" wipe "$work/w1" "$work/w2" "$work/w3"
expect_no_file "$work/w1"
expect_no_file "$work/w2"
expect_no_file "$work/w3"
expect_status 1 "$q" WipeFileClean "$work/wdir" "$work/missing" "$work/wlink" "$work/big"
expect_err_has "quillfern: error: 75: Path/File access error"
expect_err_has "quillfern: error: 53: File not found"
[ -d "$work/wdir" ] || fail "the folder was removed"
[ -L "$work/wlink" ] && [ "$(cat "$work/in")" = data ] || fail "the link or its target changed"
expect_no_file "$work/big"
expect_no_file "$work/missing"
expect_status 2 "$q" wipe

# On a terminal a long run shows a progress bar on standard error.
if command -v script >/dev/null; then
  head -c 20000000 /dev/zero >"$work/large"
  script -qec "'$q' file-code --password-hex 41 '$work/large' '$work/large.enc'" /dev/null >"$work/tty" 2>&1
  grep -q "file-code \[" "$work/tty" || fail "no progress bar on a terminal: $(head -c 200 "$work/tty")"
  script -qec "'$q' file-code -q --password-hex 41 '$work/large' '$work/large.enc'" /dev/null >"$work/tty" 2>&1
  ! grep -q "file-code \[" "$work/tty" || fail "progress bar despite --quiet"
fi

finish
