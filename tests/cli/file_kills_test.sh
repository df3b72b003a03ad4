#!/usr/bin/env bash
# file-code and wipe killed with SIGKILL at random moments of their runs.
# After each kill the output is either the earlier one or the complete new
# one, and a file being wiped is either gone, every byte a space, or still
# under its name. A killed file-code may leave its temporary file
# (out.XXXXXX) beside the output: nothing cleans it later, since the tool
# never deletes a name it did not create in the same run; only the output
# itself is checked, and the test removes the stale ones. file-code and
# convert -o ended by INT, TERM or HUP at random moments leave no temporary
# file at all, and an input shortened at a random moment of file-code's
# run is a clean error.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
seed=${QUILLFERN_TEST_SEED:-20261207}
RANDOM=$seed
kills=${QUILLFERN_KILLS:-60}
echo "seed: QUILLFERN_TEST_SEED=$seed, $kills kills of each command"

now_us() { echo $(($(date +%s%N) / 1000)); }
# A delay between 0 and `$1` microseconds, for sleep.
random_delay() { printf '0.%06d' $((RANDOM * $1 / 32768 % 1000000)); }
# The shortest of three runs of a command, in microseconds (at most 1 s),
# each after `$1` (a command that prepares it).
duration() {
  local prepare=$1 best=999999 start took
  shift
  for _ in 1 2 3; do
    $prepare
    start=$(now_us)
    "$@" || fail "the fault-free run of '$*' failed"
    took=$(($(now_us) - start))
    [ "$took" -ge "$best" ] || best=$took
  done
  echo "$best"
}
same() { cmp -s "$1" "$2"; }
# Only the given names (and stale temporary files of "out") in the folder.
only() {
  local left
  left=$(ls -A "$work" | grep -v -x -e out -e err -e 'out\.......' -e 'self\.......' "${@/#/-e}")
  [ -z "$left" ] || fail "left behind: $left"
}

export PW=fault
head -c 4000000 /dev/urandom >"$work/plain"
printf 'the earlier output' >"$work/keep"
code_us=$(duration true "$q" file-code --password-env PW "$work/plain" "$work/expected")

# file-code, over an earlier output and onto its own input by turns.
finished=0
for ((i = 0; i < kills; i++)); do
  if ((i % 2 == 0)); then
    cp "$work/keep" "$work/out"
    in=$work/plain out=$work/out before=$work/keep
  else
    cp "$work/plain" "$work/self"
    in=$work/self out=$work/self before=$work/plain
  fi
  "$q" file-code --password-env PW "$in" "$out" 2>/dev/null &
  pid=$!
  sleep "$(random_delay "$code_us")"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  if same "$out" "$work/expected"; then
    finished=$((finished + 1))
  elif ! same "$out" "$before"; then
    fail "kill $i: the output is neither the earlier one nor the new one ($(stat -c %s "$out") bytes)"
  fi
  rm -f "$work"/out.?????? "$work"/self.??????
done
rm -f "$work/self"
only plain keep expected
echo "file-code: $kills kills, $finished runs finished first"

# wipe: a second name keeps the bytes in sight.
head -c $((4000000 / 4096 * 4096 + 4096)) /dev/zero | tr '\0' ' ' >"$work/wiped"
doom() { cp "$work/plain" "$work/doomed"; }
wipe_us=$(duration doom "$q" wipe "$work/doomed")
gone=0
for ((i = 0; i < kills; i++)); do
  cp "$work/plain" "$work/doomed"
  ln "$work/doomed" "$work/witness"
  "$q" wipe "$work/doomed" 2>/dev/null &
  pid=$!
  sleep "$(random_delay "$wipe_us")"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  if [ -e "$work/doomed" ]; then
    [ "$work/doomed" -ef "$work/witness" ] || fail "kill $i: the wiped name now names another file"
    size=$(stat -c %s "$work/doomed")
    [ "$size" -ge 4000000 ] || fail "kill $i: the file shrank to $size bytes"
    rm -f "$work/doomed"
  else
    gone=$((gone + 1))
    same "$work/witness" "$work/wiped" || fail "kill $i: the file was deleted before it was all spaces"
  fi
  rm -f "$work/witness"
done
only plain keep expected wiped
echo "wipe: $kills kills, $gone files deleted first"

# INT, TERM and HUP: the run ends as the signal does (or had finished),
# the output is the earlier one or the new one, and no temporary file is
# left. Job control keeps SIGINT from being ignored by background runs.
no_temporaries() { ! compgen -G "$work/out.??????" >/dev/null || fail "$1: a temporary file was left"; }
# started PID: waits until PID runs the tool itself; a signal that reached
# the shell's child before its exec would run this script's exit trap.
tool=$(readlink -f "$q")
started() {
  while kill -0 "$1" 2>/dev/null && [ "$(readlink "/proc/$1/exe")" != "$tool" ]; do sleep 0.001; done
}
"$q" convert -o "$work/hex" "$work/plain"
hex_us=$(duration true "$q" convert -o "$work/hex" "$work/plain")
signals=(INT TERM HUP)
set -m
finished=0
for ((i = 0; i < kills; i++)); do
  sig=${signals[i % 3]}
  cp "$work/keep" "$work/out"
  if ((i % 2 == 0)); then
    "$q" file-code --password-env PW "$work/plain" "$work/out" 2>/dev/null &
    expected=$work/expected us=$code_us
  else
    "$q" convert -o "$work/out" "$work/plain" 2>/dev/null &
    expected=$work/hex us=$hex_us
  fi
  pid=$!
  started "$pid"
  sleep "$(random_delay "$us")"
  kill -s "$sig" "$pid" 2>/dev/null
  wait "$pid"
  status=$?
  if [ "$status" -eq 0 ]; then
    finished=$((finished + 1))
  elif [ "$status" -ne $((128 + $(kill -l "$sig"))) ]; then
    fail "signal $i ($sig): the run exited $status"
  fi
  if ! same "$work/out" "$expected" && ! same "$work/out" "$work/keep"; then
    fail "signal $i ($sig): the output is neither the earlier one nor the new one"
  fi
  no_temporaries "signal $i ($sig)"
done
set +m
only plain keep expected wiped hex
echo "INT, TERM, HUP: $kills signals, $finished runs finished first"

# The input shortened at a random moment: the run fails with 57, or had
# finished with the whole output (or had not begun, and encodes what is
# left); it never crashes or writes a cut output.
shortened=0
for ((i = 0; i < kills / 2; i++)); do
  cp "$work/plain" "$work/shrinking"
  cp "$work/keep" "$work/out"
  "$q" file-code --password-env PW "$work/shrinking" "$work/out" 2>"$work/err" &
  pid=$!
  sleep "$(random_delay "$code_us")"
  length=$((RANDOM * 100))
  truncate -s "$length" "$work/shrinking"
  wait "$pid"
  status=$?
  if [ "$status" -eq 0 ]; then
    size=$(stat -c %s "$work/out")
    { [ "$size" -eq 4000000 ] || [ "$size" -eq "$length" ]; } && cmp -s -n "$size" "$work/out" "$work/expected" ||
      fail "cut $i: a finished run wrote $size bytes of the wrong output"
  elif [ "$status" -eq 1 ] && grep -q "quillfern: error: 57: " "$work/err"; then
    shortened=$((shortened + 1))
    same "$work/out" "$work/keep" || fail "cut $i: a failed run changed the output"
  else
    fail "cut $i: the run exited $status: $(head -c 200 "$work/err")"
  fi
  no_temporaries "cut $i"
done
rm -f "$work/shrinking"
only plain keep expected wiped hex
echo "shortened inputs: $((kills / 2)) cuts, $shortened noticed"

finish
