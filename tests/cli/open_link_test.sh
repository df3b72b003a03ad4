#!/usr/bin/env bash
# open-link: the target reaches the desktop's launcher as one literal
# argument, never as an option, and a failed launch warns, says why and
# exits 1.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN
unset BROWSER

# A stand-in xdg-open on PATH that records its arguments, one per line.
mkdir -p "$work/bin" "$work/docs"
cat >"$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$work/argv"
pwd >"$work/cwd"
SCRIPT
chmod +x "$work/bin/xdg-open"
launch() { PATH="$work/bin:/usr/bin:/bin" "$@"; }

expect_status 0 launch "$q" open-link https://oldvane.example/
[ "$(cat "$work/argv")" = "https://oldvane.example/" ] || fail "launcher got '$(cat "$work/argv")'"
expect_no_out

# Quotes, semicolons, command substitution and spaces arrive literally.
hostile="https://x.example/?a=1;touch $work/pwned&b='c d'\"e\"\$(touch $work/pwned)\`id\`"
expect_status 0 launch "$q" open-link "$hostile"
[ "$(cat "$work/argv")" = "$hostile" ] || fail "hostile link arrived as '$(cat "$work/argv")'"
[ ! -e "$work/pwned" ] || fail "a shell read the link"

# A document beginning with '-' is passed as a path, in the folder given.
printf 'x' >"$work/docs/-rf"
expect_status 0 launch "$q" open-link --dir "$work/docs" -- -rf
[ "$(cat "$work/argv")" = "./-rf" ] || fail "option-like target arrived as '$(cat "$work/argv")'"
[ "$(cat "$work/cwd")" = "$work/docs" ] || fail "launcher ran in '$(cat "$work/cwd")'"

# Failures warn with the control's text and exit 1.
rm -f "$work/argv"
expect_status 1 launch "$q" open-link --dir "$work/docs" missing.txt
expect_err_has "Warning: Error jumping to/launching:missing.txt"
[ ! -e "$work/argv" ] || fail "a missing document was handed to the launcher"
expect_status 1 env PATH="$work/docs" "$q" open-link https://oldvane.example/
expect_err_has "Warning: Error jumping to/launching:https://oldvane.example/"
# ... and a hint says why the launch failed.
expect_err_has "quillfern: hint: xdg-open is not installed"
expect_status 1 launch "$q" open-link --dir "$work/docs" missing.txt
expect_err_has "quillfern: hint: there is no file missing.txt"
mkdir -p "$work/noexec"
printf '#!/bin/sh\n' >"$work/noexec/xdg-open"
chmod -x "$work/noexec/xdg-open"
expect_status 1 env PATH="$work/noexec" "$q" open-link https://oldvane.example/
grep -qE "quillfern: hint: xdg-open (or the target may not be used|is not installed)" "$work/err" ||
  fail "a launcher that is not executable: $(cat "$work/err")"
cat >"$work/noexec/xdg-open" <<'SCRIPT'
#!/bin/sh
exit 3
SCRIPT
chmod +x "$work/noexec/xdg-open"
expect_status 1 env PATH="$work/noexec" "$q" open-link https://oldvane.example/
expect_err_has "quillfern: hint: xdg-open knows no program that opens it"

# $BROWSER takes web addresses; other addresses still go to xdg-open.
cat >"$work/bin/browser" <<SCRIPT
#!/bin/sh
printf 'browser %s\n' "\$@" >"$work/argv"
SCRIPT
chmod +x "$work/bin/browser"
expect_status 0 launch env BROWSER="$work/bin/browser" "$q" open-link https://oldvane.example/
[ "$(cat "$work/argv")" = "browser https://oldvane.example/" ] || fail "\$BROWSER got '$(cat "$work/argv")'"
expect_status 0 launch env BROWSER="$work/bin/browser" "$q" open-link mailto:someone@oldvane.example
[ "$(cat "$work/argv")" = "mailto:someone@oldvane.example" ] || fail "mailto went to '$(cat "$work/argv")'"

# Usage errors.
expect_status 2 "$q" open-link
expect_status 2 "$q" open-link a b
rm -f "$work/argv"
expect_status 2 launch "$q" open-link ''
expect_err_has "open-link needs a non-empty TARGET"
[ ! -e "$work/argv" ] || fail "an empty target was handed to the launcher"
expect_status 2 "$q" open-link --show x https://oldvane.example/
expect_err_has "--show takes a 32-bit number"
expect_status 0 launch "$q" open-link --show 3 https://oldvane.example/

finish
