#!/usr/bin/env bash
# Help where people fail: errors 5 and 6 of the text commands name the
# position, the code and the rule; mistyped commands and options get the
# nearest name; cipher bytes are not sent to a terminal.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN

while IFS='|' read -r input args want; do
  # shellcheck disable=SC2086
  printf "$input" | "$q" $args >/dev/null 2>"$work/err"
  expect_err_has "$want"
done <<'TABLE'
ab\374d|encrypt-password -n 5|5: Invalid procedure call or argument (at character 3 (code 252): key 5 takes at most 250 at odd positions)
a\001|encrypt-password -n 5|(at character 2 (code 1): key 5 takes at least 5 at even positions)
a|encrypt-password -n 11|(at character 1 (code 97): key 11 takes no code at odd positions)
\001|decrypt-password -n 5|(at character 1 (code 1): key 5 takes every code but 1, 4, 5, 6, 7 at odd positions)
ab\377|easy-encode|(at character 3 (code 255): code 255 cannot be raised)
x\000|easy-decode|(at character 2 (code 0): code 0 cannot be lowered)
abc|seed --seed-hex 0102|(the seed has 2 codes, fewer than the text's 3)
ok\n\374\n|encrypt-password -n 5 --lines|line 2: 5: Invalid procedure call or argument (at character 1 (code 252)
TABLE
head -c 300 /dev/zero | tr '\0' a >"$work/long"
expect_status 1 "$q" power "$work/long"
expect_err_has "(the text has 300 characters; at most 255 are taken)"
expect_status 1 "$q" encrypt-password -n 1 "$work/long"
expect_err_has "6: Overflow (the text has more than 254 characters"
expect_status 1 "$q" easy-encode /dev/zero
expect_err_has "(the text has 32768 or more characters; at most 32766 are taken)"

# The help of encrypt-password says which texts each key takes.
expect_status 0 "$q" encrypt-password --help
tr '\n' ' ' <"$work/out" | grep -q "at most 255 - N at odd positions (1, 3, ...) and at least N at even" || fail "encrypt-password --help lacks the rule"

# The nearest command or option.
expect_status 2 "$q" decrypt-pasword
expect_err_has "quillfern: hint: did you mean 'decrypt-password'?"
expect_status 2 "$q" Convrt
expect_err_has "did you mean 'convert'?"
expect_status 2 "$q" zzzzzzzz
grep -q "did you mean" "$work/err" && fail "a far name got a suggestion: $(cat "$work/err")"
expect_status 2 "$q" convert --keep-goign --lines /dev/null
expect_err_has "unknown option --keep-goign; did you mean '--keep-going'?"

# Cipher bytes bound for a terminal are refused; printable results, -o,
# pipes, --force and a stored format pass.
if command -v script >/dev/null; then
  in_terminal() { script -qec "$1" /dev/null | tr -d '\r'; }
  printf 'Hello, world' >"$work/plain"
  printf 'Hello, world\n' >"$work/lines"
  got=$(in_terminal "'$q' fastblowfish --password-hex 736563726574 --notices none '$work/plain'; echo status=\$?")
  case $got in *"write it with -o FILE"*status=2*) ;; *) fail "fastblowfish to a terminal gave: $got" ;; esac
  got=$(in_terminal "'$q' fastblowfish --password-hex 736563726574 --notices none --force '$work/plain' >/dev/null; echo status=\$?")
  case $got in *status=0*) ;; *) fail "--force to a terminal gave: $got" ;; esac
  got=$(in_terminal "'$q' fastblowfish --password-hex 736563726574 --notices none --lines '$work/lines'; echo status=\$?")
  case $got in *"--out-format hex or base64"*status=2*) ;; *) fail "records to a terminal gave: $got" ;; esac
  got=$(in_terminal "'$q' fastblowfish --password-hex 736563726574 --notices none --lines --out-format hex '$work/lines'")
  case $got in *5cfdf41eca20c790ccbe1295*) ;; *) fail "hex records to a terminal gave: $got" ;; esac
  got=$(in_terminal "printf Secret1 | '$q' encrypt-password -n 5")
  case $got in *']emhoj3'*) ;; *) fail "a printable result to a terminal gave: $got" ;; esac
fi
finish
