#!/usr/bin/env bash
# The About window in a terminal, driven through tmux: its texts, the
# shaded band, keys that close it and keys that do not, mouse clicks on the
# web address and on OK. Without a terminal it prints its texts.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
command -v tmux >/dev/null || { echo "tmux is missing (scripts/deps.sh ui)" >&2; exit 1; }

# Standard output is not a terminal: the texts, top to bottom.
expect_status 0 "$q" about
expected="About Quillfern OCX
Oldvane
QUILLFERN OCX
Version 1.5.22
https://oldvane.example/
Freeware, without warranty. Keep a copy of whatever you encipher: a forgotten password cannot be recovered.
OK"
expect_out "$expected"

export LANG=C.UTF-8 TERM=xterm-256color
unset COLORTERM TMUX
socket="$work/tmux.sock"
tmx() { tmux -S "$socket" "$@"; }
trap 'tmx kill-server 2>/dev/null; rm -rf "$work"' EXIT
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$work/opened" >"$work/browser"
chmod +x "$work/browser"

screen() { tmx capture-pane -p -t "$about"; }
# wait_for TEXT: polls the pane for up to 10 seconds.
wait_for() {
  local i
  for i in $(seq 100); do
    screen | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  fail "the pane never showed '$1': $(screen)"
  return 1
}
# start: runs the form in a fresh 80x24 session, $about. Sessions are not
# killed in between: a server left without sessions exits, and a new one
# started on the same socket meanwhile would race with it.
runs=0
about=""
start() {
  runs=$((runs + 1))
  about="about$runs"
  tmx new-session -d -s "$about" -x 80 -y 24 \
    "BROWSER='$work/browser' '$q' about; echo EXITED:\$?; sleep 60"
  wait_for "Version 1.5.22"
}
# click TEXT: a left click (SGR mouse report) on the first cell of TEXT.
click() {
  local line row prefix
  line=$(screen | grep -nF -- "$1" | head -1)
  [ -n "$line" ] || { fail "no '$1' to click"; return; }
  row=${line%%:*}
  prefix=${line#*:}
  prefix=${prefix%%"$1"*}
  # ${#prefix} counts characters (the locale is UTF-8).
  tmx send-keys -t "$about" -l $'\e[<0;'"$(( ${#prefix} + 1 ));$row"'M'
}

start
for text in "QUILLFERN OCX" "https://oldvane.example/" "Freeware, without warranty" "OK"; do
  screen | grep -qF -- "$text" || fail "the form lacks '$text'"
done
screen | head -1 | grep -qF Oldvane || fail "the maker's name is not along the top: $(screen | head -1)"
# The band reaches the bottom in red (xterm colour 160 is red 215, the
# nearest to 210) and starts black (colour 16).
row() { tmx capture-pane -p -e -t "$about" -S "$1" -E "$1"; }
for i in $(seq 50); do
  row 23 | grep -q '48;5;160m' && break
  sleep 0.1
done
row 23 | grep -q '48;5;160m' || fail "no red at the bottom of the band: $(row 23 | head -c 60 | od -c | head -2)"
row 1 | grep -q '38;5;16m' || fail "no black at the top of the band: $(row 1 | head -c 60 | od -c | head -2)"

# Keys that are not characters leave it open; a click on the address opens
# the address and leaves it open too.
tmx send-keys -t "$about" Up F5
click "https://oldvane.example/"
for i in $(seq 50); do
  [ -s "$work/opened" ] && break
  sleep 0.1
done
screen | grep -qF "Version 1.5.22" || fail "a non-character key or the address closed the form"
[ "$(cat "$work/opened" 2>/dev/null)" = "https://oldvane.example/" ] || fail "the address click opened '$(cat "$work/opened" 2>/dev/null)'"

# Any character key closes it and gives the terminal back.
tmx send-keys -t "$about" x
wait_for "EXITED:0"
screen | grep -qF "QUILLFERN OCX" && fail "the form stayed on the screen after closing"

# A failed launch shows the warning over the form until a key dismisses it.
printf '#!/bin/sh\nexit 4\n' >"$work/browser"
start
click "https://oldvane.example/"
wait_for "Error jumping to/launching:https://oldvane.example/"
screen | grep -qF "Warning" || fail "the warning has no title"
tmx send-keys -t "$about" Enter
for i in $(seq 30); do
  screen | grep -qF "Error jumping" || break
  sleep 0.1
done
screen | grep -qF "Error jumping" && fail "the warning stayed after a key"
screen | grep -qF "Version 1.5.22" || fail "dismissing the warning closed the form"
tmx send-keys -t "$about" q
wait_for "EXITED:0"

# A click on OK closes it; so does Escape.
start
click "OK"
wait_for "EXITED:0"
start
tmx send-keys -t "$about" Escape
wait_for "EXITED:0"

finish
