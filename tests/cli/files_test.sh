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
mkfifo "$work/wfifo"
expect_status 1 "$q" wipe "$work/wfifo"
expect_err_has "quillfern: error: 75: Path/File access error ($work/wfifo: not a regular file)"
[ -p "$work/wfifo" ] || fail "the fifo was removed"

# Other names of a wiped file lose their data too: a warning, then the wipe.
printf 'shared' >"$work/w4" && ln "$work/w4" "$work/w4link"
expect_status 0 "$q" wipe "$work/w4"
expect_err_has "quillfern: warning: $work/w4 has 1 other hard link, whose data is destroyed too"
[ "$(cat "$work/w4link")" = "$(printf '%4096s' '')" ] || fail "the other name does not read all spaces"
rm -f "$work/w4link"

# A name that could not be deleted afterwards is refused before anything is
# written: folders an unprivileged user may not delete from, with a file
# that user may write...
if [ "$(id -u)" != 0 ] || [ ${#as_user[@]} -gt 0 ]; then
  for folder in locked sticky; do
    mkdir "$work/$folder"
    printf 'keep me' >"$work/$folder/f" && chmod 666 "$work/$folder/f"
  done
  chmod 555 "$work/locked"
  chmod 1777 "$work/sticky"
  if [ "$(id -u)" != 0 ]; then rm -rf "$work/sticky"; echo "skipped: a sticky folder of another user (not root)"; fi
  for folder in locked sticky; do
    [ -d "$work/$folder" ] || continue
    expect_status 1 "${as_user[@]}" "$q" wipe "$work/$folder/f"
    expect_err_has "quillfern: error: 70: Permission denied ($work/$folder/f: cannot be deleted: its folder"
    [ "$(cat "$work/$folder/f")" = "keep me" ] || fail "$folder: the file was overwritten"
    [ "$(stat -c %a "$work/$folder/f")" = 666 ] || fail "$folder: the mode changed"
    chmod 755 "$work/$folder" && rm -rf "$work/$folder"
  done
else
  echo "skipped: folders an unprivileged user may not delete from (root without setpriv)"
fi
# ... and an append-only folder (where the file system and our rights allow).
mkdir "$work/appendonly" && printf 'keep me' >"$work/appendonly/f"
if chattr +a "$work/appendonly" 2>/dev/null; then
  expect_status 1 "$q" wipe "$work/appendonly/f"
  expect_err_has "cannot be deleted: its folder is append-only"
  [ "$(cat "$work/appendonly/f")" = "keep me" ] || fail "append-only folder: the file was overwritten"
  chattr -a "$work/appendonly"
else
  echo "skipped: an append-only folder (chattr +a refused)"
fi
rm -rf "$work/appendonly"

# A full device: the file's own bytes still get both passes, the error says
# what could not be written, and the file stays with its mode. A file-size
# limit refuses the growth past the end as a full device does.
head -c 8192 /dev/urandom >"$work/w5" && chmod 440 "$work/w5"
(ulimit -f 8; "$q" wipe "$work/w5" >"$work/out" 2>"$work/err")
[ $? -eq 1 ] || fail "wipe under a file-size limit did not fail"
expect_err_has "quillfern: error: 61: Disk full ($work/w5: 4096 of the 4096 bytes past its end could not be written; its own 8192 bytes were overwritten; it was not deleted)"
[ "$(tr -d ' ' <"$work/w5" | wc -c)" = 0 ] && [ "$(stat -c %s "$work/w5")" = 8192 ] || fail "size limit: the file is not 8192 spaces"
[ "$(stat -c %a "$work/w5")" = 440 ] || fail "size limit: the mode was not put back"
rm -f "$work/w5"
# A real full device, a small tmpfs in a mount namespace of its own, where
# the tests may mount one.
mkdir "$work/small"
head -c 8192 /dev/urandom >"$work/w6"
if unshare -m sh -c "mount -t tmpfs -o size=64k tmpfs '$work/small' && cp '$work/w6' '$work/small/f' &&
     { head -c 1000000 /dev/zero >'$work/small/filler'; true; } 2>/dev/null &&
     { '$q' wipe '$work/small/f'; echo \$? >'$work/small-status'; } &&
     cp '$work/small/f' '$work/small-left'" 2>"$work/err"; then
  [ "$(cat "$work/small-status")" = 1 ] || fail "full tmpfs: wipe exited $(cat "$work/small-status")"
  expect_err_has "quillfern: error: 61: Disk full ($work/small/f: 4096 of the 4096 bytes past its end could not be written"
  [ "$(tr -d ' ' <"$work/small-left" | wc -c)" = 0 ] && [ "$(stat -c %s "$work/small-left")" = 8192 ] ||
    fail "full tmpfs: the file is not 8192 spaces"
else
  echo "skipped: a full tmpfs (mounting is not allowed here)"
fi
rm -rf "$work/small" "$work/small-status" "$work/small-left" "$work/w6"

# The name is deleted only if it still names the wiped file:
# 'wipe victim & mv newfile victim' leaves newfile, under the name victim.
head -c 67108864 /dev/urandom >"$work/victim"
ln "$work/victim" "$work/victim-witness"
printf 'not to be wiped' >"$work/newfile"
"$q" wipe "$work/victim" 2>"$work/err" &
pid=$!
# Once the first pass has begun, the wipe is held still while the name is
# given to another file.
for _ in $(seq 500); do [ "$(head -c 1 "$work/victim-witness")" = X ] && break; sleep 0.01; done
kill -STOP "$pid" 2>/dev/null
if [ -e "$work/victim" ] && [ "$(head -c 1 "$work/victim-witness")" = X ]; then
  mv "$work/newfile" "$work/victim"
  kill -CONT "$pid"
  wait "$pid"
  status=$?
  [ "$status" = 1 ] || fail "a wipe whose name was taken exited $status"
  expect_err_has "quillfern: error: 75: Path/File access error ($work/victim: the name was given to another file meanwhile, which was not deleted)"
  [ "$(cat "$work/victim" 2>/dev/null)" = "not to be wiped" ] || fail "the file that took the name was deleted or changed"
  [ "$(tr -d ' ' <"$work/victim-witness" | wc -c)" = 0 ] || fail "the wiped file is not all spaces"
else
  kill -CONT "$pid" 2>/dev/null
  wait "$pid"
  echo "skipped: the wipe ended before its name could be taken"
fi
rm -f "$work/victim" "$work/victim-witness" "$work/newfile"

# On a terminal a long run shows a progress bar on standard error.
if command -v script >/dev/null; then
  head -c 20000000 /dev/zero >"$work/large"
  script -qec "'$q' file-code --password-hex 41 '$work/large' '$work/large.enc'" /dev/null >"$work/tty" 2>&1
  grep -q "file-code \[" "$work/tty" || fail "no progress bar on a terminal: $(head -c 200 "$work/tty")"
  script -qec "'$q' file-code -q --password-hex 41 '$work/large' '$work/large.enc'" /dev/null >"$work/tty" 2>&1
  ! grep -q "file-code \[" "$work/tty" || fail "progress bar despite --quiet"
fi

finish
