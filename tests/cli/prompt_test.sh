#!/usr/bin/env bash
# The password prompt on a terminal (driven through tmux): nothing typed is
# echoed, the erase character works, and an interrupt at the prompt leaves
# the terminal with its echo back on.
source "$(dirname "$0")/lib.sh"
command -v tmux >/dev/null || { echo "tmux missing: skipped"; exit 0; }
q=$QUILLFERN
socket="quillfern-prompt-$$"
t() { tmux -L "$socket" "$@"; }
trap 't kill-server 2>/dev/null; rm -rf "$work"' EXIT

printf 'Hello, world' >"$work/plain"
"$q" fastblowfish --password-hex 736563726574 -o "$work/expected" "$work/plain" 2>/dev/null

wait_for() {  # wait_for TEXT: until the pane shows TEXT
  for _ in $(seq 100); do
    t capture-pane -p -t prompt | grep -qF -- "$1" && return 0
    sleep 0.05
  done
  fail "the pane never showed '$1': $(t capture-pane -p -t prompt | tr -s '\n' ' ')"
  return 1
}

t new-session -d -s prompt -x 80 -y 10 "bash --norc --noprofile"
t send-keys -t prompt "PS1='$ '; $q fastblowfish -o '$work/typed' '$work/plain'; echo status=\$?" Enter
wait_for "Password:"
# Type "secrex", erase the x, then "t": the password is "secret".
t send-keys -t prompt -l "secrex"
t send-keys -t prompt BSpace
t send-keys -t prompt -l "t"
t send-keys -t prompt Enter
wait_for "status=0"
t capture-pane -p -t prompt | grep -q "secre" && fail "the typed password was echoed"
cmp -s "$work/typed" "$work/expected" || fail "the typed password did not give the expected text"

# Ctrl-C at the prompt: the command ends and echo is on again.
t send-keys -t prompt "clear; $q fastblowfish '$work/plain' >/dev/null" Enter
wait_for "Password:"
t send-keys -t prompt C-c
t send-keys -t prompt "stty -a | grep -o -- '-\?echo ' | head -1; echo checked=1" Enter
wait_for "checked=1"
t capture-pane -p -t prompt | grep -q -- "^-echo" && fail "the terminal was left without echo"
t capture-pane -p -t prompt | grep -q -- "^echo *$" || fail "stty did not report echo: $(t capture-pane -p -t prompt | tr -s '\n' ' ')"

finish
