#!/usr/bin/env bash
# Every `console` block of the README runs as it is shown: each "$ " line
# is run by bash in one scratch folder, with the built tool as `quillfern`,
# and what it prints (standard output, then standard error) must be the
# lines that follow it.
source "$(dirname "$0")/lib.sh"
: "${QUILLFERN_SOURCE:?}"
mkdir -p "$work/bin" "$work/run"
ln -s "$QUILLFERN" "$work/bin/quillfern"

run_block() {
  local command="" expected="" n=0
  check() {
    [ -z "$command" ] && return
    n=$((n + 1))
    got=$(cd "$work/run" && PATH="$work/bin:$PATH" bash -c "$command" 2>"$work/stderr"; cat "$work/stderr")
    [ "$got" = "${expected%$'\n'}" ] || fail "README: '$command' printed:
$got
wanted:
${expected%$'\n'}"
  }
  while IFS= read -r line; do
    if [[ $line == '$ '* ]]; then
      check
      command=${line#\$ }
      expected=""
    else
      expected+="$line"$'\n'
    fi
  done
  check
  checked=$((checked + n))
}

checked=0
block=""
inside=0
while IFS= read -r line; do
  if [ "$inside" = 0 ] && [ "$line" = '```console' ]; then
    inside=1
    block=""
  elif [ "$inside" = 1 ] && [ "$line" = '```' ]; then
    inside=0
    run_block <<<"${block%$'\n'}"
  elif [ "$inside" = 1 ]; then
    block+="$line"$'\n'
  fi
done <"$QUILLFERN_SOURCE/README.md"
[ "$checked" -ge 10 ] || fail "only $checked README examples found"
finish
