#!/usr/bin/env bash
# The character transform commands: hexadecimal conversion (streamed), the
# shift cipher, the seed XOR cipher and PowerEncryption.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN

# ---- convert / deconvert ---------------------------------------------------
printf 'abc' >"$work/abc"
expect_status 0 "$q" convert "$work/abc"
expect_out "616263"
printf '616263' | "$q" deconvert >"$work/got" || fail "deconvert failed"
[ "$(cat "$work/got")" = "abc" ] || fail "deconvert gave '$(cat "$work/got")'"
expect_status 0 "$q" DeConvert "$work/abc"   # the control's name works too
[ "$(od -An -tx1 "$work/out" | tr -d ' \n')" = "ab0c" ] || fail "DeConvert of 'abc' gave $(od -An -tx1 "$work/out")"

# Malformed pairs, a lone last digit, and the skipped blank.
for case in "4Z:04" "ZZ:00" " 4:04" "414:4104" "6a6A:6a6a" "\r4:00"; do
  input=${case%%:*} want=${case##*:}
  got=$(printf "$input" | "$q" deconvert | od -An -tx1 | tr -d ' \n')
  [ "$got" = "$want" ] || fail "deconvert '$input' gave $got, wanted $want"
done
# Line breaks are not removed: a trailing newline is one more pair.
got=$(printf '41\n' | "$q" deconvert | od -An -tx1 | tr -d ' \n')
[ "$got" = "4100" ] || fail "deconvert of '41\\n' gave $got"

# Round trips of sizes around the command's 128 KiB pieces, from files and
# from pipes, exactly as the whole-text conversion gives them.
for size in 0 1 131071 131072 131073 400001; do
  head -c "$size" /dev/urandom >"$work/bin"
  "$q" convert "$work/bin" >"$work/hex" || fail "convert of $size bytes failed"
  [ "$(stat -c %s "$work/hex")" -eq $((2 * size)) ] || fail "convert of $size bytes has the wrong length"
  if command -v basenc >/dev/null; then
    basenc --base16 -w0 "$work/bin" | cmp -s - "$work/hex" || fail "convert of $size bytes differs from basenc"
  fi
  "$q" deconvert "$work/hex" | cmp -s - "$work/bin" || fail "round trip of $size bytes"
  cat "$work/hex" | "$q" deconvert | cmp -s - "$work/bin" || fail "piped round trip of $size bytes"
  # An odd count of digits ends with the lone digit's value.
  { cat "$work/hex"; printf 'B'; } | "$q" deconvert >"$work/odd"
  { cat "$work/bin"; printf '\x0b'; } | cmp -s - "$work/odd" || fail "odd length after $size bytes"
done

# -o writes the whole result atomically; a failed run leaves no file and
# keeps an existing one.
expect_status 0 "$q" convert -o "$work/result" "$work/abc"
expect_no_out
[ "$(cat "$work/result")" = "616263" ] || fail "-o wrote '$(cat "$work/result")'"
expect_status 1 "$q" convert -o "$work/result" "$work/missing"
expect_err_has "quillfern: error: 53: File not found ($work/missing: No such file or directory)"
[ "$(cat "$work/result")" = "616263" ] || fail "failed run changed the output file"
expect_status 1 "$q" deconvert -o "$work/fresh" "$work/missing"
expect_no_file "$work/fresh"
[ -z "$(ls "$work" | grep XXXX)" ] && [ -z "$(ls "$work" | grep -E '\.[A-Za-z0-9]{6}$')" ] \
  || fail "temporary file left behind: $(ls "$work")"
if [ -w /dev/full ]; then
  expect_status 1 "$q" convert -o /dev/full "$work/abc"
  expect_err_has "quillfern: error: 61: Disk full"
fi
chmod 0640 "$work/result"
expect_status 0 "$q" deconvert -o "$work/result" "$work/result"
[ "$(cat "$work/result")" = "abc" ] || fail "in-place deconvert gave '$(cat "$work/result")'"
[ "$(stat -c %a "$work/result")" = "640" ] || fail "-o lost the file's permissions"

# --encoding converts through the code page (the text is then read whole).
printf 'caf\xc3\xa9' >"$work/utf8"
expect_status 0 "$q" convert --encoding cp1252 "$work/utf8"
expect_out "636166E9"
printf 'E9' | "$q" deconvert --encoding latin1 >"$work/got"
[ "$(cat "$work/got")" = "é" ] || fail "deconvert --encoding gave '$(cat "$work/got")'"

# ---- easy-encode / easy-decode ---------------------------------------------
expect_status 0 "$q" easy-encode "$work/abc"
expect_out "bcd"
printf 'bcd' | "$q" EasyCryptDeCode >"$work/got"
[ "$(cat "$work/got")" = "abc" ] || fail "easy-decode gave '$(cat "$work/got")'"
head -c 32766 /dev/zero | tr '\0' a >"$work/longest"
expect_status 0 "$q" easy-encode -o "$work/shifted" "$work/longest"
[ "$(stat -c %s "$work/shifted")" -eq 32766 ] || fail "32766 characters did not encode"
{ cat "$work/longest"; printf a; } >"$work/toolong"
expect_status 1 "$q" easy-encode -o "$work/none" "$work/toolong"
expect_err_has "quillfern: error: 6: Overflow"
expect_no_out
expect_no_file "$work/none"
printf 'a\xff' | "$q" easy-encode >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "code 255 did not fail"
expect_err_has "5: Invalid procedure call or argument"
printf 'a\0' | "$q" easy-decode >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "code 0 did not fail to decode"

# ---- seed --------------------------------------------------------------------
expect_status 0 "$q" seed --seed-hex 010203 "$work/abc"
[ "$(od -An -tx1 "$work/out" | tr -d ' \n')" = "606060" ] || fail "seed gave $(od -An -tx1 "$work/out")"
printf 'a longer seed text' >"$work/seed"
"$q" seed --seed-file "$work/seed" "$work/abc" | "$q" seed --seed-file "$work/seed" >"$work/got"
[ "$(cat "$work/got")" = "abc" ] || fail "seed is not its own inverse"
expect_status 1 "$q" seed --seed-hex 0102 "$work/abc"
expect_err_has "5: Invalid procedure call or argument"
expect_status 2 "$q" seed "$work/abc"
expect_err_has "no seed given"
SEED_TEXT=xyz expect_status 0 "$q" SeedEncryption --seed-env SEED_TEXT "$work/abc"
[ "$(od -An -tx1 "$work/out" | tr -d ' \n')" = "191b19" ] || fail "seed from the environment"

# ---- power -------------------------------------------------------------------
expect_status 0 "$q" power "$work/abc"
expect_out "kiC"
printf 'ABC' | "$q" PowerEncryption >"$work/got"
[ "$(cat "$work/got")" = "kiC" ] || fail "power of ABC gave '$(cat "$work/got")'"
printf '\xe9t\xe9' >"$work/accented"
for page in cp1252:e3e357 latin1:e3e357 none:2ae9bd; do
  "$q" power --codepage "${page%%:*}" "$work/accented" >"$work/got"
  [ "$(od -An -tx1 "$work/got" | tr -d ' \n')" = "${page##*:}" ] || fail "power --codepage ${page%%:*}"
done
"$q" power "$work/accented" | cmp -s - <("$q" power --codepage cp1252 "$work/accented") \
  || fail "power does not default to cp1252"
expect_status 2 "$q" power --codepage ebcdic "$work/abc"
expect_err_has "--codepage takes cp1252, latin1 or none"
head -c 255 /dev/zero | tr '\0' x >"$work/p255"
expect_status 0 "$q" power "$work/p255"
{ cat "$work/p255"; printf x; } >"$work/p256"
expect_status 1 "$q" power -o "$work/none" "$work/p256"
expect_err_has "quillfern: error: 5:"
expect_no_file "$work/none"

# Help lists every command of the family.
expect_status 0 "$q" --help
for name in convert deconvert easy-encode easy-decode seed power; do
  grep -q "^  $name " "$work/out" || fail "--help lacks $name"
done

finish
