# Hexadecimal conversion against xxd and basenc on the shared random file,
# output to /dev/null. Sourced by bench/peers.sh.
hex_file="$PEER_WORK/random.hex"
"$QUILLFERN" convert -o "$hex_file" "$PEER_FILE"
# The peers must agree with us before their times mean anything.
if ! basenc --base16 -w0 "$PEER_FILE" | cmp -s - "$hex_file"; then
  echo "  quillfern convert and basenc --base16 disagree" >&2
  peer_status=1
fi
if ! "$QUILLFERN" deconvert "$hex_file" | cmp -s - "$PEER_FILE"; then
  echo "  quillfern deconvert does not restore the file" >&2
  peer_status=1
fi
cat "$hex_file" >/dev/null  # into the page cache

convert_time=$(best_time "$QUILLFERN" convert "$PEER_FILE")
report "quillfern convert" "$convert_time"
xxd_time=$(best_time xxd -p "$PEER_FILE")
report "xxd -p" "$xxd_time"
basenc_time=$(best_time basenc --base16 -w0 "$PEER_FILE")
report "basenc --base16 -w0" "$basenc_time"

deconvert_time=$(best_time "$QUILLFERN" deconvert "$hex_file")
report "quillfern deconvert" "$deconvert_time"
xxd_r_time=$(best_time xxd -r -p "$hex_file")
report "xxd -r -p" "$xxd_r_time"

echo "  convert is $(printf '%.1f' "$(ratio "$xxd_time" "$convert_time")")x xxd -p and" \
  "$(printf '%.1f' "$(ratio "$basenc_time" "$convert_time")")x basenc --base16 -w0;" \
  "deconvert is $(printf '%.1f' "$(ratio "$xxd_r_time" "$deconvert_time")")x xxd -r -p"
target "quillfern convert >= 25x xxd -p" "$(echo "$xxd_time >= 25 * $convert_time" | bc -l)"
target "quillfern convert >= 3x basenc --base16 -w0" "$(echo "$basenc_time >= 3 * $convert_time" | bc -l)"
target "quillfern deconvert >= 30x xxd -r -p" "$(echo "$xxd_r_time >= 30 * $deconvert_time" | bc -l)"
