#!/usr/bin/env bash
# The keyed text cipher commands: FastBlowFish, the text-box pair, the
# password-carrying cipher text and the key table listing.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
hex() { od -An -tx1 -v "$1" | tr -d ' \n' | tr a-f A-F; }

# FastBlowFish: both directions are one command; the known vector, and one
# "ERROR Zero!" line per zero result (four fill positions here).
printf 'Hello, world' >"$work/plain"
expect_status 0 "$q" fastblowfish --password-hex 736563726574 -o "$work/fbf" "$work/plain"
[ "$(hex "$work/fbf")" = "5CFDF41ECA20C790CCBE1295" ] || fail "fastblowfish gave $(hex "$work/fbf")"
[ "$(grep -c '^quillfern: ERROR Zero!$' "$work/err")" -eq 4 ] || fail "wanted 4 notices: $(cat "$work/err")"
expect_status 0 "$q" FastBlowFish --password-hex 736563726574 --notices summary "$work/fbf"
expect_out "Hello, world"
expect_err_has "quillfern: ERROR Zero! (4 times)"
PW=secret expect_status 0 "$q" fastblowfish --password-env PW --notices none "$work/plain"
[ ! -s "$work/err" ] || fail "--notices none printed: $(cat "$work/err")"
head -c 100000 /dev/urandom >"$work/random"
out=$(PW='Tr0ub4dor&3' "$q" fastblowfish --password-env PW --notices none "$work/random" |
      PW='Tr0ub4dor&3' "$q" fastblowfish --password-env PW --notices none | od -An -tx1 -v | md5sum)
[ "$out" = "$(od -An -tx1 -v "$work/random" | md5sum)" ] || fail "fastblowfish round trip"

# Text-box cipher: the key number on --verbose, and no silent loss.
printf 'Hello!' >"$work/hello"
expect_status 0 "$q" textbox-crypt --password-hex 616263 --verbose -o "$work/tb" "$work/hello"
expect_err_has "quillfern: key number 4"
[ "$(hex "$work/tb")" = "4867716F731F" ] || fail "textbox-crypt gave $(hex "$work/tb")"
expect_status 0 "$q" textbox-decrypt --password-hex 616263 "$work/tb"
expect_out "Hello!"
printf '\000\001\002' >"$work/low"
expect_status 4 "$q" textbox-crypt --password-hex 4c4d4e -o "$work/dropped" "$work/low"
expect_err_has "would drop 1 of 3 characters, the first at position 1 (code 0)"
expect_no_out
expect_no_file "$work/dropped"
expect_status 0 "$q" textbox-crypt --password-hex 4c4d4e --allow-loss -o "$work/dropped" "$work/low"
[ "$(hex "$work/dropped")" = "0406" ] || fail "--allow-loss wrote $(hex "$work/dropped")"
: >"$work/empty"
expect_status 0 "$q" TextBoxDeCrypt --password-hex 61 "$work/empty"
expect_no_out

# Cipher text: round trip, the password check and the refusals.
expect_status 0 "$q" encipher --password-hex 6162 -o "$work/ct" <(printf 'Hi')
[ "$(hex "$work/ct")" = "C2C4A9CB" ] || fail "encipher gave $(hex "$work/ct")"
expect_status 0 "$q" decipher --password-hex 6162 "$work/ct"
expect_out "Hi"
# A right password that begins with the digit zero or a space is accepted.
for pw in '0pen' ' space'; do
  out=$(printf 'message' | PW=$pw "$q" encipher --password-env PW | PW=$pw "$q" decipher --password-env PW)
  [ "$out" = "message" ] || fail "password '$pw' gave '$out'"
done
# A wrong password, even one that occurs later in the deciphered text.
expect_status 3 "$q" decipher --password-hex 6163 "$work/ct"
expect_no_out
expect_err_has "quillfern: Oldvane: Access Denied"
expect_status 3 "$q" decipher --password-hex 39 <(printf 'zr{')
expect_no_out
expect_status 3 "$q" encipher --password-hex "" -o "$work/none" "$work/hello"
expect_err_has "quillfern: Oldvane: Please put in a password"
expect_no_file "$work/none"
# A sum above 255 cuts the cipher text: refused unless --allow-loss.
printf 'AB\220C' >"$work/high"
expect_status 4 "$q" encipher --password-hex 7a -o "$work/cut" "$work/high"
expect_err_has "cut the cipher text at position 4 of 5: text character 3 has code 144"
expect_no_file "$work/cut"
expect_status 0 "$q" encipher --password-hex 7a --allow-loss -o "$work/cut" "$work/high"
[ "$(hex "$work/cut")" = "F4BBBC" ] || fail "--allow-loss wrote $(hex "$work/cut")"
expect_status 4 "$q" encipher --password-hex 618062 "$work/hello"
expect_err_has "password character 2 has a code above 127"
! grep -q "128" "$work/err" || fail "the message gave away a password code"
# A damaged cipher text stops deciphering early.
printf '\302\304\251\001\313' >"$work/damaged"
expect_status 4 "$q" decipher --password-hex 6162 "$work/damaged"
expect_err_has "stopped at cipher position 4 of 5"
expect_no_out
expect_status 0 "$q" decipher --password-hex 6162 --allow-loss "$work/damaged"
expect_out "H"

# The key tables: eight lines of upper-case hex, of the tables' lengths.
expect_status 0 "$q" tables
[ "$(awk '{ printf "%d ", length($0) }' "$work/out")" = "1016 1024 1016 1004 506 504 508 506 " ] \
  || fail "table lines: $(awk '{ printf "%d ", length($0) }' "$work/out")"
grep -qv '^[0-9A-F]*$' "$work/out" && fail "tables are not upper-case hex"
grep -E '^(..)*00' "$work/out" >/dev/null && fail "a table holds code 0"
# The committed tables are the ones the documented recipe gives.
if [ -n "${QUILLFERN_SOURCE:-}" ] && command -v python3 >/dev/null; then
  python3 "$QUILLFERN_SOURCE/scripts/make_key_tables.py" --check >/dev/null \
    || fail "quillfern/ciphers/key_tables.cpp differs from scripts/make_key_tables.py"
fi

finish
