#!/usr/bin/env bash
# file-code with '-' for standard input and output, and -o OUTPUT: the same
# bytes as between named files, in bounded memory.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
export PW='old secret'
cd "$work" || exit 1
head -c 1000000 /dev/urandom >plain
"$q" file-code --password-env PW plain named.enc
for form in "- -" "- -o -" "plain -" "plain -o -"; do
  # shellcheck disable=SC2086
  "$q" file-code --password-env PW $form <plain >got 2>err || fail "file-code $form: $(cat err)"
  cmp -s got named.enc || fail "file-code $form differs from the named files"
done
expect_status 0 "$q" file-code --password-env PW named.enc -o restored
cmp -s restored plain || fail "-o OUTPUT did not restore the file"
expect_status 0 "$q" file-code --password-env PW - restored2 <named.enc
cmp -s restored2 plain || fail "standard input to a file did not restore it"
[ ! -e ./- ] || fail "a file named '-' was made"
# The generator's state after the run is the same on both paths.
a=$("$q" file-code --password-env PW --print-state plain x1)
b=$("$q" file-code --password-env PW --print-state - x2 <plain)
[ "$a" = "$b" ] || fail "--print-state: $a from files, $b from standard input"
# Empty input, and an empty password, which fails only on data.
"$q" file-code --password-env PW - - </dev/null >got || fail "empty standard input"
[ ! -s got ] || fail "empty input gave output"
E='' expect_status 1 "$q" file-code --password-env E - - <plain
expect_err_has "5: Invalid procedure call or argument"
expect_status 2 "$q" file-code --password-env PW --print-state plain -
expect_status 2 "$q" file-code --password-env PW plain out -o other
expect_status 2 "$q" file-code --password-env PW plain
bounded "$q" file-code --password-env PW - - </dev/zero 2>/dev/null | head -c 50000000 | wc -c >count
[ "$(cat count)" -eq 50000000 ] || fail "an endless input did not stream: $(cat count)"
finish
