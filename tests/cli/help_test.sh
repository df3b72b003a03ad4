#!/usr/bin/env bash
# Every command's help: the description is filled to the width, each line
# holding as many words as fit, whatever line breaks its source text has.
. "$(dirname "$0")/lib.sh"
q=$QUILLFERN

expect_status 0 "$q" --help
commands=$(awk '/^commands:/ { listing = 1; next } listing && /^  [a-z]/ { print $1 }' "$work/out")
[ -n "$commands" ] || fail "--help lists no commands"
for name in $commands; do
  expect_status 0 "$q" "$name" --help
  # The description is the paragraph after the second blank line; a line
  # that could have taken the next line's first word was broken too early.
  short=$(awk '
    /^options:/ { exit }
    /^$/ { blanks++; prev = ""; next }
    blanks == 2 {
      if (prev != "") { split($0, words, " "); if (length(prev) + 1 + length(words[1]) <= 76) print prev }
      prev = $0
    }' "$work/out")
  [ -z "$short" ] || fail "$name --help breaks its description too early after: $short"
done

finish
