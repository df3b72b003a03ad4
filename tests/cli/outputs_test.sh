#!/usr/bin/env bash
# Where -o FILE and file-code's OUTPUT land and what they leave: chains of
# symbolic links, /dev/stdout behind a shell's redirection, names at the
# length limit, read-only files, owners and modes, hard links, inputs of
# unknown length, and runs ended by signals or by the file-size limit.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
export PW=outputs
d=$work/t
mkdir "$d"
cd "$d" || exit 1
# Only the given names in the folder: no temporary file left behind.
only() {
  local left
  left=$(ls -A "$d" | grep -v -x "${@/#/-e}")
  [ -z "$left" ] || fail "left behind: $left"
}
printf 'abc' >x

# A dangling chain is followed to its end, each link read from its own
# folder; the links stay links. A loop is an error.
mkdir sub
ln -s sub/link2 link1
ln -s ../missing.txt sub/link2
expect_status 0 "$q" convert -o link1 x
[ -L link1 ] && [ -L sub/link2 ] || fail "convert replaced a link of the chain"
[ "$(cat missing.txt)" = 616263 ] || fail "the chain's end holds '$(cat missing.txt)'"
rm missing.txt
expect_status 0 "$q" file-code --password-env PW x link1
[ -L link1 ] && [ -L sub/link2 ] || fail "file-code replaced a link of the chain"
[ "$(stat -c %s missing.txt)" = 3 ] || fail "file-code did not write the chain's end"
ln -s loop2 loop1
ln -s loop1 loop2
expect_status 1 "$q" convert -o loop1 x
expect_err_has "quillfern: error: 76: Path not found"
expect_status 1 "$q" file-code --password-env PW x loop1
expect_err_has "quillfern: error: 76: Path not found"
rm -r link1 sub missing.txt loop1 loop2
only x

# /dev/stdout and /dev/stderr are written where the shell's redirection
# stands, never replaced.
{ echo header; "$q" convert -o /dev/stdout x; echo; echo footer; } >redirected
[ "$(cat redirected)" = "$(printf 'header\n616263\nfooter')" ] || fail "-o /dev/stdout: '$(cat redirected)'"
{ echo header >&2; "$q" convert -o /dev/stderr x; echo footer >&2; } 2>redirected
[ "$(cat redirected)" = "$(printf 'header\n616263footer')" ] || fail "-o /dev/stderr: '$(cat redirected)'"
{ echo header; "$q" file-code --password-env PW x /dev/stdout; echo footer; } >redirected
"$q" file-code --password-env PW x coded
{ echo header; cat coded; echo footer; } >expected
cmp -s redirected expected || fail "file-code to /dev/stdout: $(od -c redirected | head -2)"
rm redirected coded expected

# Names up to the length limit: the temporary file takes a short name.
for length in 249 250 254 255; do
  name=$(printf "%${length}s" '' | tr ' ' n)
  expect_status 0 "$q" convert -o "$name" x
  [ "$(cat "$name")" = 616263 ] || fail "a name of $length bytes was not written"
  expect_status 0 "$q" file-code --password-env PW x "$name"
  [ "$(stat -c %s "$name")" = 3 ] || fail "file-code did not replace a name of $length bytes"
  rm "$name"
done
only x

# Files that report no length (those of /proc) are read to their end.
expect_status 0 "$q" file-code --password-env PW /proc/version coded
[ -s coded ] || fail "file-code of /proc/version wrote nothing"
expect_status 0 "$q" file-code --password-env PW coded decoded
# (cmp -s would trust the length of 0 that /proc/version reports)
cat /proc/version | cmp -s decoded - || fail "file-code of /proc/version did not round-trip"
rm coded decoded

# A read-only output is replaced only with --force, and keeps its mode.
printf 'keep' >ro
chmod 444 ro
expect_status 1 "$q" convert -o ro x
expect_err_has "quillfern: error: 70: Permission denied"
expect_err_has "quillfern: hint: --force replaces a read-only output"
expect_status 1 "$q" file-code --password-env PW x ro
expect_err_has "quillfern: error: 70: Permission denied"
[ "$(cat ro)" = keep ] || fail "a read-only output was replaced"
expect_status 0 "$q" convert --force -o ro x
[ "$(cat ro)" = 616263 ] && [ "$(stat -c %a ro)" = 444 ] || fail "--force: '$(cat ro)', mode $(stat -c %a ro)"
expect_status 0 "$q" file-code -f --password-env PW x ro
[ "$(stat -c %s ro)" = 3 ] && [ "$(stat -c %a ro)" = 444 ] || fail "file-code --force: mode $(stat -c %a ro)"
# The mode of a replaced file whatever the umask; its owner and group
# where the user may set them (root: any).
printf 'old' >modes
chmod 751 modes
(umask 077 && "$q" convert -o modes x && "$q" file-code --password-env PW x modes) || fail "replacing modes failed"
[ "$(stat -c %a modes)" = 751 ] || fail "the mode became $(stat -c %a modes)"
if [ "$(id -u)" = 0 ]; then
  chown 65534:65534 modes
  expect_status 0 "$q" convert -o modes x
  [ "$(stat -c %u:%g modes)" = 65534:65534 ] || fail "-o gave the file to $(stat -c %u:%g modes)"
  expect_status 0 "$q" file-code --password-env PW x modes
  [ "$(stat -c %u:%g modes)" = 65534:65534 ] || fail "file-code gave the file to $(stat -c %u:%g modes)"
fi
rm -f ro modes

# Hard links keep the earlier content: a warning names them.
printf 'old' >linked
ln linked other
expect_status 0 "$q" convert -o linked x
expect_err_has "quillfern: warning: linked has another hard link, which will keep the earlier content"
[ "$(cat other)" = old ] || fail "the other name changed"
ln other third
ln other fourth
expect_status 0 "$q" file-code --password-env PW other other
expect_err_has "quillfern: warning: other has 2 other hard links"
rm linked other third fourth
only x

# A run ended by INT, TERM or HUP removes its temporary file and ends as
# the signal does (128 + its number); the output stays as it was. Job
# control keeps SIGINT from being ignored by background runs.
set -m
mkfifo fifo
printf 'keep' >out.txt
head -c 3000000 /dev/urandom >big
# wait_for_temporary: until out.txt.XXXXXX exists (at most 5 s).
wait_for_temporary() {
  for _ in $(seq 100); do
    compgen -G 'out.txt.??????' >/dev/null && return 0
    sleep 0.05
  done
  fail "no temporary file appeared"
}
# ended PID WHAT: waits at most 5 s for PID to end and sets $status; a run
# still going then is a failure, and is killed.
ended() {
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$1" 2>/dev/null; then
    fail "$2 went on"
    kill -KILL "$1"
  fi
  wait "$1"
  status=$?
}
for sig in INT TERM HUP; do
  want=$((128 + $(kill -l "$sig")))
  for run in convert file-code; do
    if [ "$run" = convert ]; then
      "$q" convert -o out.txt fifo 2>/dev/null &
    else
      "$q" file-code --password-env PW fifo out.txt 2>/dev/null &
    fi
    pid=$!
    exec 3>fifo
    head -c 2000000 big >&3
    wait_for_temporary
    kill -s "$sig" "$pid"
    ended "$pid" "$run after $sig"
    exec 3>&-
    [ "$status" -eq "$want" ] || fail "$run ended by $sig exited $status, wanted $want"
    [ "$(cat out.txt)" = keep ] || fail "$run ended by $sig changed the output"
    only x fifo out.txt big
  done
done

# The first termination signal ends a run that waits to open a pipe.
"$q" file-code --password-env PW fifo out.txt 2>/dev/null &
pid=$!
sleep 0.3
kill -TERM "$pid"
ended "$pid" "a run waiting to open a pipe, after SIGTERM,"
[ "$status" -eq 143 ] || fail "a run waiting to open a pipe exited $status after SIGTERM"
set +m

# Over the file-size limit: error 61, no temporary file, the output kept.
for run in fastblowfish convert file-code; do
  case $run in
    fastblowfish) args=(fastblowfish --notices none --password-env PW -o out.txt big) ;;
    convert) args=(convert -o out.txt big) ;;
    file-code) args=(file-code --password-env PW big out.txt) ;;
  esac
  (ulimit -f 1000 && exec "$q" "${args[@]}") >"$work/out" 2>"$work/err"
  status=$?
  [ "$status" -eq 1 ] || fail "$run over the file-size limit exited $status"
  expect_err_has "quillfern: error: 61: Disk full (out.txt: File too large)"
  [ "$(cat out.txt)" = keep ] || fail "$run over the file-size limit changed the output"
  only x fifo out.txt big
done

# A process that holds a password leaves no core file: it is not
# dumpable, so its /proc files belong to root whoever runs it.
as_user=()
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chmod 755 "$work" "$d"
fi
if [ "$(id -u)" != 0 ] || [ ${#as_user[@]} -gt 0 ]; then
  "${as_user[@]}" "$q" file-code --password-env PW fifo "$d/secret.out" 2>/dev/null &
  pid=$!
  sleep 0.3
  runs_as=$(awk '/^Uid:/ {print $3}' "/proc/$pid/status")
  owner=$(stat -c %u "/proc/$pid/environ")
  [ "$runs_as" != 0 ] || fail "the run meant for another user runs as root"
  [ "$owner" = 0 ] || fail "a process holding a password is dumpable (its /proc files belong to $owner)"
  kill -TERM "$pid"
  wait "$pid"
else
  echo "skipped: core files (root without setpriv)"
fi
only x fifo out.txt big

finish
