#!/usr/bin/env bash
# The rnd command: the published vectors (docs/rnd-vectors.txt) through the
# script language, the output formats, and scripts that do not parse.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
: "${QUILLFERN_SOURCE:?}"
vectors="$QUILLFERN_SOURCE/docs/rnd-vectors.txt"

# Every case of the vectors file: its values with --format single, its
# states with --format state, and the state after every call (randomize
# included) through --print-state on the script up to that call.
cases=0 calls=0 script="" values="" states="" timer="" start=0x50000
run_case() {
  [ -n "$script" ] || return 0
  cases=$((cases + 1))
  local args=(--generator-state "$start")
  [ -n "$timer" ] && args+=(--timer "$timer")
  expect_status 0 "$q" rnd "${args[@]}" -- "$script"
  [ "$(cat "$work/out")" = "$(printf '%s' "$values")" ] || fail "case $cases: values $(tr '\n' ' ' <"$work/out"), wanted $(echo $values)"
  expect_status 0 "$q" rnd "${args[@]}" --format state -- "$script"
  [ "$(cat "$work/out")" = "$(printf '%s' "$states")" ] || fail "case $cases: states $(tr '\n' ' ' <"$work/out")"
}
while IFS= read -r line; do
  case "$line" in
    '#'* | '') continue ;;
    new*)
      run_case
      script="" values="" states="" timer=""
      start=${line#new}; start=${start# }; start=${start:-0x50000} ;;
    timer*) timer=${line#timer } ;;
    *)
      call=$(echo "${line%%=>*}" | sed 's/ *$//')
      read -r state value <<<"${line#*=> }"
      script="${script:+$script; }$call"
      calls=$((calls + 1))
      args=(--generator-state "$start")
      [ -n "$timer" ] && args+=(--timer "$timer")
      got=$("$q" rnd "${args[@]}" --format state --print-state -- "$script" | tail -n 1)
      [ "$got" = "$((state))" ] || fail "'$script' from $start left state $got, wanted $((state)) ($state)"
      if [ -n "$value" ]; then
        values="${values:+$values
}$value"
        states="${states:+$states
}$((state))"
      fi ;;
  esac
done <"$vectors"
run_case
[ "$cases" -ge 10 ] && [ "$calls" -ge 40 ] || fail "read only $cases cases and $calls calls from $vectors"

# The script from standard input, with comments and line breaks; names in
# any case, parentheses, repeats.
printf '# a new process\nRnd x2\n\nRANDOMIZE(12.34) ; rnd()\n' | expect_status 0 "$q" rnd
expect_out "$(printf '0.7055475\n0.533424\n0.6067098')"
expect_status 0 "$q" rnd 'rnd -1 ; randomize 42 ; rnd x5'
[ "$(head -n 2 "$work/out" | tr '\n' ' ')" = "0.22400701 0.9078093 " ] || fail "issue example gave $(tr '\n' ' ' <"$work/out")"
[ "$(wc -l <"$work/out")" -eq 6 ] || fail "rnd x5 and one more gave $(wc -l <"$work/out") lines"
expect_status 0 "$q" rnd
expect_no_out

# Formats: byte is the key byte, int:N is Int(Rnd * N), with a Single
# product for an Integer N and a Double one for a Long N. The state
# 0xD55555 draws 0.8333333, which times 6 rounds up to 5 in single
# precision (4.99999988 exactly); 0xF5907A is the state before it.
expect_status 0 "$q" rnd --format byte 'rnd x3'
expect_out "$(printf '180\n136\n148')"
expect_status 0 "$q" rnd --generator-state 0xF5907A --format int:6 rnd
expect_out 5
expect_status 0 "$q" rnd --generator-state 0xF5907A --format int:100000 rnd
expect_out 83333
expect_status 0 "$q" rnd -f int:1 'rnd x3'
expect_out "$(printf '0\n0\n0')"
expect_status 0 "$q" rnd --print-state
expect_out 327680
# Long runs stream.
[ "$("$q" rnd 'rnd x200000' | wc -l)" -eq 200000 ] || fail "rnd x200000 did not give 200000 lines"

# Bad scripts and options: usage errors that say where.
while IFS='|' read -r script message; do
  expect_status 2 "$q" rnd -- "$script"
  expect_err_has "$message"
  expect_no_out
done <<'EOF'
rnd ; foo 3|script: line 1, column 7: unknown call 'foo' (rnd or randomize)
rnd abc|script: line 1, column 5: rnd: 'abc' is not a number
rnd 1e999|script: line 1, column 5: rnd: '1e999' is out of range
rnd 1e39|script: line 1, column 5: rnd: '1e39' does not fit in single precision
rnd nan|script: line 1, column 5: rnd: 'nan' is not a number
rnd +-1|script: line 1, column 5: rnd: '+-1' is not a number
rnd x0|script: line 1, column 5: repeat count 'x0' must be at least 1
rnd x99999999999999999999|script: line 1, column 5: repeat count 'x99999999999999999999' is too large
rnd (1|script: line 1, column 5: '(' is not closed
rnd 1 2|script: line 1, column 7: unexpected '2' after rnd
randomize 1 x2|script: line 1, column 13: unexpected 'x2' after randomize
randomize 1e400|script: line 1, column 11: randomize: '1e400' is out of range
rnd ; randomize|script: line 1, column 7: randomize without a number reads the timer
EOF
printf 'rnd\nrnd 1.5.2\n' | expect_status 2 "$q" rnd
expect_err_has "script: line 2, column 5: rnd: '1.5.2' is not a number"
expect_no_out
for bad in "--format int:0" "--format int:2147483648" "--format float" "--generator-state 0x1000000" \
            "--generator-state -1" "--timer 86400" "--timer -1" "--timer x"; do
  # shellcheck disable=SC2086
  expect_status 2 "$q" rnd $bad 'rnd'
  expect_no_out
done
expect_err_has "--timer takes the seconds since midnight"
# An unquoted negative number reads as an option.
expect_status 2 "$q" rnd rnd -1
# A failed write fails the command.
expect_status 1 sh -c "'$q' rnd 'rnd x3' >/dev/full"

finish
