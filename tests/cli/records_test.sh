#!/usr/bin/env bash
# Record mode: every text command run once per line (--lines) or per
# NUL-ended record (-z), with the stored formats, the errors that name their
# record, --keep-going and the exit statuses.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
export PW='Tr0ub4dor&3'

# Every text command, record by record, gives exactly what the command gives
# for each record on its own. The records are stored in base64 so that any
# code (line feeds, NULs) can be a record.
records=("Secret1" "" "abc def" $'tab\there' $'\x01\x7f\x80\xfe' "last one")
: >"$work/records.b64"
for r in "${records[@]}"; do printf '%s' "$r" | base64 -w0 >>"$work/records.b64"; echo >>"$work/records.b64"; done
while read -r name args; do
  # shellcheck disable=SC2086
  "$q" $name $args --lines --keep-going --in-format base64 --out-format base64 -o "$work/got" "$work/records.b64" 2>/dev/null
  : >"$work/want"
  i=0
  for r in "${records[@]}"; do
    i=$((i + 1))
    # shellcheck disable=SC2086
    if printf '%s' "$r" | "$q" $name $args >"$work/one" 2>/dev/null; then
      base64 -w0 "$work/one" >>"$work/want"
    fi
    echo >>"$work/want"
  done
  cmp -s "$work/got" "$work/want" || fail "$name $args: records gave $(head -c 300 "$work/got"), one by one $(head -c 300 "$work/want")"
done <<'TABLE'
encrypt-password -n 5
decrypt-password -n 5
encrypt-password -n 0
decrypt-password -n 200
convert
deconvert
easy-encode
easy-decode
seed --seed-hex 0102030405060708090a0b0c0d0e0f10
seed --seed-hex 0102
power
power --codepage latin1
fastblowfish --password-env PW
textbox-crypt --password-env PW
textbox-decrypt --password-env PW
textbox-decrypt --password-env PW --allow-loss
encipher --password-hex 414243
encipher --password-hex 414243 --allow-loss
decipher --password-env PW
TABLE

# A column of passwords: scrambled, restored, line for line; CRLF endings
# and a last line without an ending are records too.
printf 'Secret1\r\nhunter2\nlast' >"$work/column"
expect_status 0 "$q" encrypt-password -n 5 --lines -o "$work/scrambled" "$work/column"
expect_status 0 "$q" decrypt-password -n 5 --lines "$work/scrambled"
[ "$(od -An -c "$work/out" | tr -s ' ')" = "$(printf 'Secret1\nhunter2\nlast\n' | od -An -c | tr -s ' ')" ] ||
  fail "password column came back as $(od -c "$work/out")"
printf 'Secret1' | "$q" encrypt-password -n 5 >"$work/one"
[ "$(head -n1 "$work/scrambled")" = "$(cat "$work/one")" ] || fail "first record differs from the single text"

# Enciphering round trip through hex, and FastBlowFish's own inverse.
printf 'alpha\nbeta\n\ngamma\n' >"$work/plain"
"$q" encipher --password-env PW --lines --out-format hex "$work/plain" 2>/dev/null |
  "$q" decipher --password-env PW --lines --in-format hex >"$work/out" 2>"$work/err" ||
  fail "encipher/decipher records: $(cat "$work/err")"
cmp -s "$work/out" "$work/plain" || fail "encipher/decipher records gave $(cat "$work/out")"
"$q" fastblowfish --password-env PW --lines --out-format base64 --notices none "$work/plain" |
  "$q" fastblowfish --password-env PW --lines --in-format base64 --notices none >"$work/out"
cmp -s "$work/out" "$work/plain" || fail "fastblowfish records gave $(cat "$work/out")"
"$q" textbox-crypt --password-env PW --lines --out-format hex "$work/plain" |
  "$q" textbox-decrypt --password-env PW --lines --in-format hex >"$work/out"
cmp -s "$work/out" "$work/plain" || fail "textbox records gave $(cat "$work/out")"
printf 'ab\000\001cd\000' >"$work/nul"
expect_status 0 "$q" easy-encode -z "$work/nul"
[ "$(od -An -tx1 "$work/out" | tr -d ' \n')" = "62630002646500" ] || fail "-z gave $(od -An -tx1 "$work/out")"
# A NUL inside a line is data of that record; a raw result holding the
# record's own ending cannot be stored.
printf 'a\000b\n' | "$q" convert --lines >"$work/out"
[ "$(cat "$work/out")" = "610062" ] || fail "NUL in a line gave $(cat "$work/out")"
expect_status 1 "$q" deconvert --lines --in-format raw <(printf '0A\n41\n')
expect_err_has "line 1: the result holds a line break"
expect_status 0 "$q" deconvert --lines --out-format hex <(printf '0A\n41\n')
expect_out $'0a\n41'

# Empty input: no records, no output.
expect_status 0 "$q" decrypt-password -n 5 --lines /dev/null
expect_no_out
expect_status 0 "$q" convert -z /dev/null
expect_no_out

# Failures: without --keep-going the run stops at the failing record with its
# status, -o writes nothing and standard output keeps the results before it;
# with it every failure is reported, the failing record gives an empty line
# and the status is the worst one met.
printf 'ok\n\377\nfine\n' >"$work/mixed"
expect_status 1 "$q" easy-encode --lines -o "$work/never" "$work/mixed"
expect_err_has "quillfern: error: line 2: 5: Invalid procedure call or argument"
expect_no_file "$work/never"
expect_status 1 "$q" easy-encode --lines "$work/mixed"
expect_out "pl"
expect_status 1 "$q" easy-encode --lines --keep-going -o "$work/kept" "$work/mixed"
[ "$(cat "$work/kept")" = "$(printf 'pl\n\ngjof')" ] || fail "--keep-going wrote $(cat "$work/kept")"
printf 'ok\000\377\000' >"$work/mixed0"
expect_status 1 "$q" easy-encode -z "$work/mixed0"
expect_err_has "quillfern: error: record 2: 5:"
printf '4142\n41x2\n414\nqq\n' >"$work/badhex"
expect_status 1 "$q" easy-encode --lines --in-format hex --keep-going "$work/badhex"
expect_err_has "line 2: hex record has 'x' at column 3"
expect_err_has "line 3: hex record has an odd number of digits"
expect_err_has "line 4: hex record has 'q' at column 1"
[ "$(od -An -c "$work/out" | tr -d ' ')" = 'BC\n\n\n\n' ] || fail "bad hex records gave $(od -c "$work/out")"
printf 'QUJ=\nQUJD\nQU=D\nQQ\n' >"$work/bad64"
expect_status 1 "$q" convert --lines --in-format base64 --keep-going "$work/bad64"
expect_err_has "line 1: base64 record has bits set beyond its last code"
expect_err_has "line 3: base64 record has '=' at column 3"
expect_err_has "line 4: base64 record has 2 characters"
[ "$(od -An -c "$work/out" | tr -d ' ')" = '\n414243\n\n\n' ] || fail "bad base64 records gave $(od -c "$work/out")"
# Refusals (3) and losses (4): the worst status wins.
printf 'x\n' | "$q" encipher --password-env PW --lines --out-format hex >"$work/good" 2>/dev/null
printf '7a7a\n' | cat "$work/good" - >"$work/ciphers"
expect_status 3 "$q" decipher --password-env PW --lines --in-format hex --keep-going "$work/ciphers"
expect_err_has "line 2: refused: Oldvane: Access Denied"
expect_out $'x'
printf 'ok\n\377\n' >"$work/lossy"
expect_status 4 "$q" encipher --password-env PW --lines --out-format hex "$work/lossy"
expect_err_has "line 2: the result would lose"
expect_status 4 "$q" encipher --password-env PW --lines --out-format hex --keep-going <(printf '\377\nok\n\376\n')
expect_status 0 "$q" encipher --password-env PW --lines --out-format hex --allow-loss "$work/lossy"
expect_status 4 "$q" textbox-crypt --password-hex 4c4d4e --lines --keep-going --out-format hex <(printf '\000\001\002\nab\n') 
printf '%s\n' 'a' | expect_status 1 "$q" encrypt-password -n 5 --lines --keep-going <(printf 'ok\n%0300d\n\374\n' 0)
expect_err_has "line 2: 6: Overflow"
expect_err_has "line 3: 5:"

# Notices per record, counted over the run by summary.
printf 'abc\nabc\n' >"$work/two"
expect_status 0 "$q" fastblowfish --password-hex 61 --lines --notices summary --out-format hex "$work/two"
[ "$(grep -c 'ERROR Zero!' "$work/err")" -le 1 ] || fail "summary printed more than one line: $(cat "$work/err")"

# --encoding converts raw records and results; formats keep the codes.
printf 'caf\xc3\xa9\n' >"$work/utf8"
expect_status 0 "$q" convert --lines --encoding cp1252 "$work/utf8"
expect_out "636166E9"
expect_status 1 "$q" convert --lines --encoding cp1252 <(printf '\xe2\x82\n')
expect_err_has "line 1:"

# A record far longer than a piece of input, in bounded memory.
head -c 3000000 /dev/zero | tr '\0' 'a' >"$work/long"
echo >>"$work/long"
bounded "$q" convert --lines "$work/long" >"$work/out" 2>"$work/err" || fail "long record: $(cat "$work/err")"
[ "$(wc -c <"$work/out")" -eq 6000001 ] || fail "long record gave $(wc -c <"$work/out") bytes"

# Usage errors.
expect_status 2 "$q" convert --lines -z /dev/null
expect_err_has "--lines and -z cannot be given together"
expect_status 2 "$q" convert --in-format hex /dev/null
expect_status 2 "$q" convert --lines --out-format octal /dev/null
expect_err_has "--out-format takes raw, hex or base64, not 'octal'"
expect_status 2 "$q" decrypt-password --lines /dev/null
expect_err_has "--number N is required"
expect_status 2 "$q" textbox-decrypt --key-number 4 --lines /dev/null
expect_status 2 "$q" tables --lines
finish
