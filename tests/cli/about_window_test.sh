#!/usr/bin/env bash
# The About window on a desktop: under a private Xvfb server, the window
# shows the shaded band (black at the top, red at the bottom) and the
# version line; a click on the address opens it and leaves the window open;
# a key closes it, and so does OK.
source "$(dirname "$0")/lib.sh"
q=$QUILLFERN

if DISPLAY= "$q" about --window 2>&1 | grep -q "built without desktop windows"; then
  echo "skipped: this quillfern was built without FLTK"
  exit 0
fi
for tool in Xvfb xdotool xwd; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/deps.sh ui)" >&2; exit 1; }
done
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

xvfb_pid=""
tool_pid=""
cleanup() {
  [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for i in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { fail "Xvfb did not start: $(cat "$work/xvfb.log")"; finish; }
export DISPLAY=":$(cat "$work/display")"
unset XAUTHORITY

printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s"\n' "$work/opened" >"$work/browser"
chmod +x "$work/browser"

window=""
# start: runs the window and waits until it is mapped.
start() {
  BROWSER="$work/browser" "$q" about --window >"$work/tool.log" 2>&1 &
  tool_pid=$!
  window=""
  for i in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "About Quillfern OCX" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no window appeared: $(cat "$work/tool.log")"
}
# pixel X Y: the colour at X,Y of the last screenshot, as "R,G,B".
shoot() { xwd -id "$window" -silent >"$work/shot.xwd"; }
pixel() {
  "$convert" "$work/shot.xwd" -crop "1x1+$1+$2" -depth 8 txt:- | tail -1 |
    sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
# ended: waits up to 5 seconds for the tool to end; true when it did.
ended() {
  for i in $(seq 50); do
    kill -0 "$tool_pid" 2>/dev/null || { wait "$tool_pid"; tool_pid=""; return 0; }
    sleep 0.1
  done
  return 1
}

start
# The band is filled line by line: wait until its last band is drawn.
for i in $(seq 50); do
  shoot
  [ "$(pixel 2 295)" = "210,0,0" ] && break
  sleep 0.1
done
[ "$(pixel 2 295)" = "210,0,0" ] || fail "bottom of the band is $(pixel 2 295), not red 210"
[ "$(pixel 2 3)" = "0,0,0" ] || fail "top of the band is $(pixel 2 3), not black"
[ "$(pixel 2 150)" = "105,0,0" ] || fail "middle of the band is $(pixel 2 150), not red 105"

# The version line: white text across lblVersion (32,96 386x24), wider than
# the design-time "Version" alone.
"$convert" "$work/shot.xwd" -crop 386x24+32+96 -depth 8 txt:- |
  awk -F'[,:() ]+' 'NR > 1 && $3 > 200 && $4 > 200 && $5 > 200 { n++; if (min == "" || $1 < min) min = $1; if ($1 > max) max = $1 }
                    END { print n + 0, max - min }' >"$work/version"
read -r lit span <"$work/version"
echo "version line: $lit white pixels over $span pixels"
[ "$lit" -gt 100 ] && [ "$span" -gt 90 ] && [ "$span" -lt 200 ] ||
  fail "no version line in the window ($lit white pixels over $span pixels)"

# A click on the address opens it; the window stays.
xdotool mousemove --window "$window" 225 144 click 1
for i in $(seq 50); do
  [ -s "$work/opened" ] && break
  sleep 0.1
done
[ "$(cat "$work/opened" 2>/dev/null)" = "https://oldvane.example/" ] || fail "the address click opened '$(cat "$work/opened" 2>/dev/null)'"
kill -0 "$tool_pid" 2>/dev/null || fail "the address click closed the window"

# A character key closes it.
xdotool windowfocus --sync "$window" key x
ended || fail "a key did not close the window"
[ -z "$(xdotool search --onlyvisible --name "About Quillfern OCX" 2>/dev/null)" ] || fail "the window is still mapped"

# So does the OK button.
start
xdotool mousemove --window "$window" 393 276 click 1
ended || fail "OK did not close the window"

finish
