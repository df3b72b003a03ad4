#!/usr/bin/env bash
# The identify command: readings best first, each with a command that
# restores the text; JSON; the bounds; record mode; and textbox-decrypt --key-number,
# which restores a text-box cipher text from the key number identify finds.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
text='Meet me at the old mill at noon'
printf '%s' "$text" >"$work/plain"

# For every operation: the first reading is the right one, and its command,
# run as printed, gives the text back.
"$q" convert -o "$work/convert" "$work/plain"
"$q" encrypt-password --number 6 -o "$work/encrypt-password" "$work/plain"
"$q" easy-encode -o "$work/easy-encode" "$work/plain"
"$q" textbox-crypt --password-hex 6f6c6420736563726574 -o "$work/textbox-crypt" "$work/plain" 2>/dev/null
"$q" encipher --password-hex 4f70656e536573616d65 -o "$work/encipher" "$work/plain" 2>/dev/null
for made in convert encrypt-password easy-encode textbox-crypt encipher; do
  expect_status 0 "$q" identify "$work/$made"
  first=$(sed -n 1p "$work/out")
  command=$(sed -n 3p "$work/out" | sed 's/^ *//')
  case "$first" in
    "1. "*": \"$text\" (31 codes)") ;;
    *) fail "$made read first as: $first" ;;
  esac
  restored=$(eval "\"$q\" ${command#quillfern }" 2>/dev/null)
  [ "$restored" = "$text" ] || fail "$made: '$command' gave '$restored'"
done
grep -q '^1. EncryptPassword, Number 6: ' <("$q" identify "$work/encrypt-password") || fail "Number 6 not named"
grep -q '^1. TextBoxCrypt, key number 16: ' <("$q" identify "$work/textbox-crypt") || fail "key number 16 not named"
grep -q '^1. EnCipherText, password "OpenSesame": ' <("$q" identify "$work/encipher") || fail "password not named"
expect_status 0 "$q" identify "$work/encipher"
grep -q "quillfern decipher --password-hex 4F70656E536573616D65 $work/encipher" "$work/out" || fail "decipher command: $(cat "$work/out")"

# From standard input the command reads standard input too; a name with
# blanks is quoted for the shell.
printf 'Hello' | "$q" convert | "$q" identify >"$work/out"
[ "$(sed -n 3p "$work/out")" = "   quillfern deconvert" ] || fail "stdin command: $(sed -n 3p "$work/out")"
cp "$work/convert" "$work/a b"
expect_status 0 "$q" identify "$work/a b"
grep -qF "quillfern deconvert '$work/a b'" "$work/out" || fail "quoting: $(sed -n 3p "$work/out")"

# JSON for scripts.
expect_status 0 "$q" identify --json "$work/textbox-crypt"
grep -q '"made_by": "TextBoxCrypt", "restored_by": "TextBoxDeCrypt", "key": 16, "password": null' "$work/out" ||
  fail "json: $(head -c 300 "$work/out")"
if command -v python3 >/dev/null; then
  for made in convert encrypt-password easy-encode textbox-crypt encipher; do
    "$q" identify --json --all "$work/$made" | python3 -c 'import json, sys; d = json.load(sys.stdin); assert d["readings"]' ||
      fail "identify --json --all $made is not JSON with readings"
  done
  printf '\001\002"\\\377' | "$q" identify --json --all | python3 -c 'import json, sys; json.load(sys.stdin)' ||
    fail "escapes in JSON"
fi

# --all adds the implausible readings; --max-key bounds the key numbers.
expect_status 0 "$q" identify --all "$work/textbox-crypt"
grep -q '\[implausible\]' "$work/out" || fail "--all showed no implausible reading"
expect_status 0 "$q" identify --all --max-key 15 "$work/textbox-crypt"
grep -q 'key number 16:' "$work/out" && fail "--max-key 15 still tried 16"
expect_status 0 "$q" identify --max-password 9 "$work/encipher"
grep -q 'OpenSesame' "$work/out" && fail "--max-password 9 still tried 10 codes"

# Nothing plausible: no readings, a hint, success; an empty text likewise.
head -c 300 /dev/urandom >"$work/noise"
expect_status 0 "$q" identify "$work/noise"
expect_no_out
expect_err_has "no plausible reading; --all shows the implausible ones too"
: >"$work/empty"
expect_status 0 "$q" identify "$work/empty"
expect_no_out
expect_status 0 "$q" identify --json "$work/empty"
expect_out '{"length": 0, "readings": []}'
for bad in "--max-key x" "--max-key -1" "--max-password 1.5" "--bogus"; do
  # shellcheck disable=SC2086
  expect_status 2 "$q" identify $bad "$work/convert"
  expect_no_out
done
expect_status 1 "$q" identify "$work/missing"

# A report to -o, and --encoding: texts shown and read through the code page.
expect_status 0 "$q" identify -o "$work/report" "$work/convert"
expect_no_out
grep -q '^1. convert: ' "$work/report" || fail "-o report: $(cat "$work/report")"
printf 'Ça déjà' | "$q" easy-encode --encoding cp1252 | "$q" identify --encoding cp1252 >"$work/out"
[ "$(sed -n 1p "$work/out")" = '1. EasyCryptEnCode: "Ça déjà" (7 codes)' ] || fail "encoding: $(sed -n 1p "$work/out")"
[ "$(sed -n 3p "$work/out")" = '   quillfern easy-decode --encoding cp1252' ] || fail "encoding command"

# A megabyte of text: read first all the same (the time goes in the README).
for _ in $(seq 1 20000); do echo "nobody remembers which key made these stored texts"; done | tr '\n' ' ' |
  head -c 1048576 >"$work/mb"
"$q" textbox-crypt --password-hex 6f6c6420736563726574 -o "$work/mb.box" "$work/mb" 2>/dev/null
expect_status 0 "$q" identify "$work/mb.box"
grep -q '^1. TextBoxCrypt, key number 16: "nobody remembers' "$work/out" || fail "1 MB: $(head -n 1 "$work/out")"

# Record mode: a column of stored texts, one report per record under the
# line that names it; each record's first command restores that record.
{ cat "$work/convert"; echo; cat "$work/easy-encode"; echo; printf '\001\002\003\r\n'; cat "$work/encrypt-password"; } \
  >"$work/column"
expect_status 0 "$q" identify --lines "$work/column"
grep '^line ' "$work/out" >"$work/heads"
[ "$(cut -d: -f1 "$work/heads" | tr '\n' ' ')" = "line 1 line 2 line 3 line 4 " ] || fail "record heads: $(cat "$work/heads")"
grep -q '^line 3: no plausible reading' "$work/heads" || fail "line 3: $(sed -n 3p "$work/heads")"
for n in 1 2 4; do
  first=$(sed -n "/^line $n: /{n;p;}" "$work/out")
  command=$(sed -n "/^line $n: /{n;n;n;p;}" "$work/out" | sed 's/^ *//')
  case "$first" in
    "1. "*": \"$text\" (31 codes)") ;;
    *) fail "line $n read first as: $first" ;;
  esac
  case "$command" in *column*) fail "line $n: the command names the whole file: $command" ;; esac
  restored=$(sed -n "${n}p" "$work/column" | tr -d '\n' | eval "\"$q\" ${command#quillfern }" 2>/dev/null)
  [ "$restored" = "$text" ] || fail "line $n: '$command' gave '$restored'"
done
# -z, records stored in hex, and JSON lines that name their record.
printf '%s\0%s\0' "$(cat "$work/convert")" "$(cat "$work/easy-encode")" | "$q" identify -z --json >"$work/out" ||
  fail "identify -z --json failed"
[ "$(wc -l <"$work/out")" -eq 2 ] || fail "-z --json: $(cat "$work/out")"
grep -q '^{"record": 2, "length": 31, "readings": \[{"made_by": "EasyCryptEnCode"' "$work/out" ||
  fail "-z --json line 2: $(sed -n 2p "$work/out" | head -c 200)"
if command -v python3 >/dev/null; then
  python3 -c 'import json, sys
for line in sys.stdin: assert json.loads(line)["readings"]' <"$work/out" || fail "JSON lines do not parse"
fi
{ od -An -tx1 "$work/encipher" | tr -d ' \n'; echo; echo 'nothex'; echo; } >"$work/column.hex"
expect_status 1 "$q" identify --lines --in-format hex "$work/column.hex"
expect_err_has "line 2: hex record has 'n' at column 1"
grep -q '^line 1: [0-9]* reading' "$work/out" || fail "hex records: the report before the bad record is lost"
expect_status 1 "$q" identify --lines --in-format hex --keep-going "$work/column.hex"
grep -q '^line 3: no plausible reading' "$work/out" || fail "--keep-going did not go on: $(grep '^line' "$work/out")"
expect_status 0 "$q" identify --lines </dev/null
expect_no_out
expect_status 2 "$q" identify --lines --out-format hex "$work/column"
expect_status 2 "$q" identify --lines -z "$work/column"

# textbox-decrypt --key-number K needs no password.
expect_status 0 "$q" textbox-decrypt --key-number 16 "$work/textbox-crypt"
expect_out "$text"
expect_status 0 "$q" TextBoxDeCrypt -k 16 "$work/textbox-crypt"
expect_out "$text"
expect_status 2 "$q" textbox-decrypt --key-number 16 --password-hex 61 "$work/textbox-crypt"
expect_err_has "--key-number takes the place of a password"
expect_no_out
for bad in x -1 1.5 ""; do
  expect_status 2 "$q" textbox-decrypt --key-number "$bad" "$work/textbox-crypt"
  expect_err_has "--key-number takes a whole number"
done
expect_status 4 "$q" textbox-decrypt --key-number 200 -o "$work/lost" "$work/textbox-crypt"
expect_err_has "textbox-decrypt would drop"
expect_no_file "$work/lost"
expect_status 0 "$q" textbox-decrypt --key-number 200 --allow-loss "$work/textbox-crypt"
expect_status 2 "$q" textbox-crypt --key-number 16 "$work/plain"

finish
