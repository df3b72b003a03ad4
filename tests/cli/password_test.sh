#!/usr/bin/env bash
# The password commands and the conventions every command follows.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN

# Round trip through a pipe.
out=$(printf 'Secret1' | "$q" encrypt-password --number 5 | "$q" decrypt-password --number 5)
[ "$out" = "Secret1" ] || fail "round trip gave '$out'"
printf 'Secret1' >"$work/in"
expect_status 0 "$q" encrypt-password -n 5 "$work/in"
expect_out "]emhoj3"
expect_status 0 "$q" EncryptPassword --number=5 "$work/in"
expect_out "]emhoj3"

# 255 characters: error 6, nothing written, no output file.
head -c 255 /dev/zero | tr '\0' a >"$work/long"
expect_status 1 "$q" encrypt-password --number 5 -o "$work/result" "$work/long"
expect_err_has "quillfern: error: 6: Overflow"
expect_no_out
expect_no_file "$work/result"

# An existing output stays as it was when the operation fails.
printf 'keep' >"$work/result"
expect_status 1 "$q" encrypt-password --number 11 -o "$work/result" "$work/in"
expect_err_has "quillfern: error: 5: Invalid procedure call or argument"
[ "$(cat "$work/result")" = "keep" ] || fail "failed run changed the output file"
[ -z "$(ls "$work" | grep -v -x -e in -e long -e result -e out -e err)" ] || fail "temporary file left behind: $(ls "$work")"

# -o writes atomically and keeps the result exact.
expect_status 0 "$q" encrypt-password --number 5 -o "$work/result" "$work/in"
expect_no_out
[ "$(cat "$work/result")" = "]emhoj3" ] || fail "-o wrote '$(cat "$work/result")'"

# -o through a symbolic link replaces the file it points to, and the link stays.
printf 'old' >"$work/target"
ln -s target "$work/link"
expect_status 0 "$q" encrypt-password --number 5 -o "$work/link" "$work/in"
[ -L "$work/link" ] || fail "-o replaced the symbolic link itself"
[ "$(cat "$work/target")" = "]emhoj3" ] || fail "-o through a link wrote '$(cat "$work/target")'"
rm -f "$work/link" "$work/target"

# Usage errors exit 2 with a hint.
expect_status 2 "$q" encrypt-password "$work/in"
expect_err_has "--number N is required"
expect_err_has "quillfern: hint:"
expect_status 2 "$q" encrypt-password --number 256 "$work/in"
expect_status 2 "$q" encrypt-password --number 5 --bogus "$work/in"
expect_status 2 "$q" no-such-command
expect_status 2 "$q"
expect_status 1 "$q" encrypt-password --number 5 "$work/missing"
expect_err_has "quillfern: error: 53: File not found ($work/missing: No such file or directory)"
expect_status 1 "$q" encrypt-password --number 5 "$work/nofolder/in"
expect_err_has "quillfern: error: 76: Path not found ($work/nofolder/in: No such file or directory)"
expect_status 1 "$q" encrypt-password --number 5 "$work"
expect_err_has "quillfern: error: 75: Path/File access error ($work: Is a directory)"

# --encoding reads and writes UTF-8 through the code page.
printf 'caf\xc3\xa9' >"$work/utf8"
expect_status 0 "$q" encrypt-password --number 0 --encoding cp1252 -o "$work/enc" "$work/utf8"
expect_status 0 "$q" decrypt-password --number 0 --encoding cp1252 "$work/enc"
expect_out "café"
printf '\xe4\xb8\xad' >"$work/cjk"
expect_status 1 "$q" encrypt-password --number 0 --encoding cp1252 "$work/cjk"
expect_err_has "U+4E2D"
expect_status 2 "$q" encrypt-password --number 0 --encoding utf16 "$work/in"

# Help, version and the interface listing.
expect_status 0 "$q" --help
grep -q "encrypt-password" "$work/out" || fail "--help lacks encrypt-password"
expect_status 0 "$q" encrypt-password --help
grep -q -- "--number N" "$work/out" || fail "command help lacks --number"
expect_status 0 "$q" --version
expect_out "quillfern 1.5.22"
expect_status 0 "$q" interface
grep -q "0x60030005  EncryptPassword(Number: Byte in, DecryptedPassword: String in, OutPut: String out)" "$work/out" \
  || fail "interface listing: $(head -5 "$work/out")"
# One row per operation that the type library declares for _Encryption.
declared=$(sed -n '/interface _Encryption : IDispatch/,/};/p' "${QUILLFERN_SOURCE:?}/windows/quillfern.idl" | grep -c '\[id(')
listed=$(grep -c '^ *[0-9]*  0x' "$work/out")
[ "$declared" -gt 0 ] && [ "$listed" -eq "$declared" ] || fail "interface listing has $listed rows, the type library $declared"

finish
