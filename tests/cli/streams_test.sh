#!/usr/bin/env bash
# The standard streams: a closed descriptor is never taken by a file the
# tool opens, every write to standard output is checked, a reader gone from
# standard error never stops the work, and messages cannot carry terminal
# controls from the names they print.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
printf 'abc' >"$work/in"

# Closed standard input: an input from it fails as a closed one does, and
# the file that -o creates never stands in for it.
expect_status 1 "$q" convert -o "$work/co.out" <&-
expect_err_has "cannot read standard input: Bad file descriptor"
expect_no_file "$work/co.out"
[ -z "$(ls "$work" | grep -v -x -e in -e out -e err)" ] || fail "temporary file left behind: $(ls "$work")"
expect_status 1 "$q" easy-encode -o "$work/co.out" - <&-
expect_no_file "$work/co.out"
# ... while a command that reads a file does not need it.
expect_status 0 "$q" convert -o "$work/co.out" "$work/in" <&-
[ "$(cat "$work/co.out")" = 616263 ] || fail "convert with stdin closed wrote '$(cat "$work/co.out")'"
# All three closed: the output still goes to -o, whole.
"$q" easy-encode -o "$work/all.out" "$work/in" <&- >&- 2>&-
[ "$?" -eq 0 ] && [ "$(cat "$work/all.out")" = bcd ] || fail "easy-encode with 0, 1 and 2 closed"
rm -f "$work/co.out" "$work/all.out"

# Every write to standard output is checked: a full device and a closed
# descriptor are errors with a message and status 1.
printf 'pw\n' >"$work/pw"
chmod 600 "$work/pw"
for args in "--help" "--version" "help convert" "convert --help" "file-code --help" "interface" \
            "about" "tables" "convert $work/in" "power $work/in"; do
  for sink in /dev/full closed; do
    if [ "$sink" = closed ]; then
      $q $args >&- 2>"$work/err"
    else
      $q $args >"$sink" 2>"$work/err"
    fi
    status=$?
    [ "$status" -eq 1 ] || fail "'$args' to $sink exited $status, wanted 1"
    grep -q "^quillfern: error: cannot write standard output: " "$work/err" \
      || fail "'$args' to $sink: no message: $(cat "$work/err")"
  done
done
# The state that file-code prints is part of its result.
expect_status 0 "$q" file-code --password-file "$work/pw" --print-state "$work/in" "$work/coded"
[ -n "$(cat "$work/out")" ] || fail "file-code printed no state"
"$q" file-code --password-file "$work/pw" --print-state "$work/in" "$work/coded" >/dev/full 2>"$work/err"
[ "$?" -eq 1 ] || fail "file-code --print-state to /dev/full succeeded"
expect_err_has "cannot write standard output: No space left on device"

# A reader gone from standard error costs its messages only: the tool ends
# normally and writes its output. (fastblowfish on its own key stream shows
# "ERROR Zero!" at every position: far more than a pipe holds.)
head -c 65536 /dev/zero >"$work/zeros"
"$q" fastblowfish --password-file "$work/pw" -o "$work/key" "$work/zeros" 2>/dev/null
( "$q" fastblowfish --password-file "$work/pw" -o "$work/fb.out" "$work/key" 2>&1 >/dev/null
  echo $? >"$work/status" ) | head -c 30 >/dev/null
[ "$(cat "$work/status")" = 0 ] || fail "a closed standard error ended the run with status $(cat "$work/status")"
cmp -s "$work/fb.out" "$work/zeros" || fail "the output was not written whole with standard error gone"
# A reader gone from standard output is an error of the command, reported.
( head -c 4000000 /dev/zero | "$q" convert 2>"$work/err"; echo $? >"$work/status" ) | head -c 10 >/dev/null
[ "$(cat "$work/status")" = 1 ] || fail "a closed standard output gave status $(cat "$work/status"), wanted 1"
expect_err_has "cannot write standard output: Broken pipe"

# -o needs a name, and so does FILE.
expect_status 2 "$q" convert -o "" "$work/in"
expect_err_has "-o needs a file name"
expect_no_out
expect_status 2 "$q" convert --output= "$work/in"
expect_status 2 "$q" convert ""
expect_err_has "FILE needs a name"

# Control characters in names are shown escaped, never sent to the terminal.
hostile="$work/a$(printf '\033')]0;owned$(printf '\007')b"
expect_status 1 "$q" convert "$hostile"
grep -q "$(printf '\033')" "$work/err" && fail "an escape character reached standard error"
expect_err_has 'a\033]0;owned\007b'
expect_status 1 "$q" file-code --password-file "$work/pw" "$work/x$(printf '\033')[2J" "$work/y"
expect_err_has 'x\033[2J'
expect_status 2 "$q" "bad$(printf '\r')name"
expect_err_has "bad\\rname"

finish
