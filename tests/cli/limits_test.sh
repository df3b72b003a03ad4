#!/usr/bin/env bash
# The length-limited commands read their text only as far as its length
# decides their result, so an endless input fails at once with the error
# the control gives for that length (followed by the tool's explanation);
# and the code-page conversion streams.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN

a_stream() { tr '\0' a </dev/zero; }
overflow="quillfern: error: 6: Overflow"
invalid="quillfern: error: 5: Invalid procedure call or argument"

# Endless inputs: zeros, and a stream of 'a' through a pipe.
while IFS='|' read -r input want args; do
  if [ "$input" = zeros ]; then
    bounded $q $args /dev/zero >"$work/out" 2>"$work/err"
  else
    bounded $q $args <(a_stream) >"$work/out" 2>"$work/err"
  fi
  status=$?
  [ "$status" -eq 1 ] || fail "'$args' on endless $input exited $status, wanted 1: $(head -c 200 "$work/err")"
  grep -qE "^$want( \(.*\))?$" "$work/err" || fail "'$args' on endless $input: $(head -c 200 "$work/err"), wanted '$want'"
  expect_no_out
done <<CASES
zeros|$invalid|encrypt-password --number 5
as|$overflow|encrypt-password --number 5
zeros|$overflow|decrypt-password --number 0
zeros|$overflow|easy-encode
zeros|$overflow|easy-decode
as|$overflow|easy-decode --encoding latin1
zeros|$overflow|power
zeros|$overflow|power --encoding cp1252
as|$overflow|seed --seed-file /dev/zero
CASES

# Around the limits: the last character read is the one that decides.
text() { head -c "$1" /dev/zero | tr '\0' a; printf "$2"; }
while IFS='|' read -r length last want args; do
  text "$length" "$last" >"$work/text"
  expect_status 1 $q $args -o "$work/none" "$work/text"
  grep -qE "^$want( \(.*\))?$" "$work/err" || fail "'$args' on $length+1 characters: $(cat "$work/err"), wanted '$want'"
  expect_no_file "$work/none"
done <<CASES
254|\xff|$invalid|encrypt-password --number 5
255|\xff|$overflow|encrypt-password --number 5
32766|\xff|$invalid|easy-encode
32767|\xff|$overflow|easy-encode
32766|\x00|$invalid|easy-decode
32767|\x00|$overflow|easy-decode
32766|a|$invalid|power
32767|a|$overflow|power
32766|a|$invalid|seed --seed-hex 00
32767|a|$overflow|seed --seed-hex 00
CASES
# The seed is read as far as a 32767-character text needs it: one short
# runs out at the last character, one long enough reaches the overflow.
text 32767 "" >"$work/text"
head -c 32766 /dev/zero >"$work/short-seed"
expect_status 1 "$q" seed --seed-file "$work/short-seed" "$work/text"
expect_err_has "$invalid"
head -c 40000 /dev/zero >"$work/long-seed"
expect_status 1 "$q" seed --seed-file "$work/long-seed" "$work/text"
expect_err_has "$overflow"

# Endless seeds: only what the text needs is read.
printf 'abc' >"$work/abc"
expect_status 0 bounded "$q" seed --seed-file /dev/zero "$work/abc"
expect_out "abc"
expect_status 0 bounded "$q" seed --seed-file /dev/urandom -o "$work/sealed" "$work/abc"
[ "$(stat -c %s "$work/sealed")" -eq 3 ] || fail "seed from /dev/urandom gave $(stat -c %s "$work/sealed") bytes"

# convert and deconvert with --encoding stream in pieces: characters of
# several bytes cross the pieces' edges, and the result is that of the
# code page's bytes.
{ for _ in $(seq 40000); do printf 'caf\xc3\xa9 \xe2\x82\xac \xc5\xa0'; done; } >"$work/utf8"
"$q" convert --encoding cp1252 -o "$work/hex" "$work/utf8" || fail "convert --encoding failed"
{ for _ in $(seq 40000); do printf 'caf\xe9 \x80 \x8a'; done; } | "$q" convert | cmp -s - "$work/hex" \
  || fail "convert --encoding differs from convert of the code page's bytes"
"$q" deconvert --encoding cp1252 "$work/hex" | cmp -s - "$work/utf8" || fail "deconvert --encoding round trip"
{ cat "$work/hex"; printf '4'; } | "$q" deconvert --encoding cp1252 | cmp -s - <(cat "$work/utf8"; printf '\x04') \
  || fail "deconvert --encoding of an odd count"
# A character the code page lacks, far into the text: an error naming its
# offset, and no output file.
{ cat "$work/utf8"; printf '\xe4\xb8\xad'; } >"$work/bad"
expect_status 1 "$q" convert --encoding cp1252 -o "$work/none" "$work/bad"
expect_err_has "U+4E2D at byte $(stat -c %s "$work/utf8") has no code in cp1252"
expect_no_file "$work/none"
# Memory stays far below the text's size (whole, it took five copies).
if [ -x /usr/bin/time ]; then
  head -c $((128 << 20)) /dev/zero | tr '\0' a >"$work/big"
  /usr/bin/time -f %M -o "$work/rss" "$q" convert --encoding cp1252 "$work/big" >/dev/null \
    || fail "convert --encoding of 128 MiB failed"
  [ "$(cat "$work/rss")" -lt $((64 << 10)) ] || fail "convert --encoding of 128 MiB peaked at $(cat "$work/rss") KiB"
  rm -f "$work/big"
fi

finish
