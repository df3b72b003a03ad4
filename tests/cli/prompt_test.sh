#!/usr/bin/env bash
# The password prompt on a terminal (driven through tmux): nothing typed is
# echoed, the erase character works, an interrupt or a termination signal at
# the prompt leaves the terminal as it was (echo, line mode, signal keys),
# the end of input is no password at all, and a password that enciphers is
# asked for twice.
source "$(dirname "$0")/lib.sh"
command -v tmux >/dev/null || { echo "tmux missing: skipped"; exit 0; }
q=$QUILLFERN
socket="quillfern-prompt-$$"
t() { tmux -L "$socket" "$@"; }
trap 't kill-server 2>/dev/null; rm -rf "$work"' EXIT

printf 'Hello, world' >"$work/plain"
"$q" fastblowfish --password-hex 736563726574 -o "$work/expected" "$work/plain" 2>/dev/null

pane() { t capture-pane -p -t prompt; }
pane_shows() { pane | grep -qF -- "$1"; }
pane_clear() { ! pane | grep -q -e "Password:" -e "="; }
# The shell's prompt on the pane's last line.
shell_back() { [ "$(pane | sed '/^ *$/d' | tail -1)" = "\$" ]; }

# Runs its arguments until they succeed, for at most 5 seconds.
eventually() {
  for _ in $(seq 100); do
    "$@" && return 0
    sleep 0.05
  done
  return 1
}

wait_for() {  # wait_for TEXT: until the pane shows TEXT
  eventually pane_shows "$1" && return 0
  fail "the pane never showed '$1': $(pane | tr -s '\n' ' ')"
  return 1
}

# Clears the pane and waits until it is clear, so that a later wait_for
# cannot take what an earlier command left on it.
fresh() {
  t send-keys -t prompt "clear" Enter
  eventually pane_clear || fail "the pane did not clear"
}

# Waits until the shell shows its prompt again. A prompt that ends discards
# what was typed ahead of it (as getpass does), so the next command is typed
# only once the shell is back.
wait_for_shell() {
  eventually shell_back && return 0
  fail "the shell did not come back: $(pane | tr -s '\n' ' ')"
  return 1
}

# Types an answer at the prompt and presses Enter.
answer() {
  t send-keys -t prompt -l "$1"
  t send-keys -t prompt Enter
}

t new-session -d -s prompt -x 80 -y 10 "bash --norc --noprofile"
t send-keys -t prompt "PS1='$ '; $q fastblowfish -o '$work/typed' '$work/plain'; echo status=\$?" Enter
wait_for "Password:"
# Type "secrex", erase the x, then "t": the password is "secret".
t send-keys -t prompt -l "secrex"
t send-keys -t prompt BSpace
answer "t"
# A password that enciphers is asked for twice.
wait_for "Password again:"
answer "secret"
wait_for "status=0"
pane | grep -q "secre" && fail "the typed password was echoed"
cmp -s "$work/typed" "$work/expected" || fail "the typed password did not give the expected text"

# Two different answers are refused, and nothing is written.
fresh
t send-keys -t prompt "$q encipher -o '$work/mismatch' '$work/plain' 2>'$work/mismatch.err'; echo status=\$?" Enter
wait_for "Password:"
answer "secret"
wait_for "Password again:"
answer "secreT"
wait_for "status=2"
grep -q "the two passwords typed differ" "$work/mismatch.err" || fail "a mismatch gave: $(cat "$work/mismatch.err")"
expect_no_file "$work/mismatch"

# Ctrl-C at the prompt: the command ends and echo is on again.
fresh
t send-keys -t prompt "$q fastblowfish '$work/plain' >/dev/null" Enter
wait_for "Password:"
t send-keys -t prompt C-c
wait_for_shell
# (The marker is computed, so that the typed line itself does not show it.)
t send-keys -t prompt "stty -a | grep -o -- '-\?echo ' | head -1; echo checked=\$((0 + 1))" Enter
wait_for "checked=1"
pane | grep -q -- "^-echo" && fail "the terminal was left without echo"
pane | grep -q -- "^echo *$" || fail "stty did not report echo: $(pane | tr -s '\n' ' ')"

# The terminal's modes after a prompt ended: each must be on again.
expect_modes_back() {  # expect_modes_back WHAT
  t send-keys -t prompt "stty -a | tr ' ' '\n' | grep -x -e -echo -e -icanon -e -isig; echo modes=\$((6 * 7))" Enter
  wait_for "modes=42" || return
  if pane | grep -q -x -e -echo -e -icanon -e -isig; then
    fail "$1 left the terminal with $(pane | grep -x -e -echo -e -icanon -e -isig | tr '\n' ' ')"
  fi
}

# A signal at the prompt, after some typing: the command ends with the
# signal's status, and the terminal is back as it was. The command runs
# under a non-interactive shell, which reports its status whatever the
# signal (an interactive one drops the rest of its line after SIGINT).
cat >"$work/signalled.sh" <<SCRIPT
ulimit -c 0
sh -c 'echo \$\$ >"$work/pid"; exec "\$@"' sh "$q" fastblowfish -o "$work/sig.out" "$work/plain"
echo status=\$?
SCRIPT
for signal in TERM:143 HUP:129 INT:130 QUIT:131; do
  name=${signal%%:*} status=${signal##*:}
  rm -f "$work/pid" "$work/sig.out"
  fresh
  t send-keys -t prompt "sh $work/signalled.sh" Enter
  wait_for "Password:" || continue
  t send-keys -t prompt -l "half"
  sleep 0.2
  kill -s "$name" "$(cat "$work/pid")"
  wait_for "status=$status" || continue
  expect_modes_back "SIG$name at the prompt"
  expect_no_file "$work/sig.out"
done

# The end of input (Ctrl-D), even after some typing, is no password: an
# error, and nothing written.
for typed in "half" ""; do
  rm -f "$work/eof.out"
  fresh
  t send-keys -t prompt "$q fastblowfish -o $work/eof.out $work/plain 2>$work/eof.err; echo status=\$?" Enter
  wait_for "Password:" || continue
  [ -n "$typed" ] && t send-keys -t prompt -l "$typed"
  t send-keys -t prompt C-d
  wait_for "status=2" || continue
  grep -q "no password given" "$work/eof.err" || fail "Ctrl-D after '$typed': $(cat "$work/eof.err")"
  expect_no_file "$work/eof.out"
  expect_modes_back "Ctrl-D at the prompt"
done

finish
