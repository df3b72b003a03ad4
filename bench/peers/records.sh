# Record mode against the shell loop a user would write without it: one
# process per record. 100,000 scrambled passwords of 8 to 16 characters; the
# loop runs on a sample of PEER_RECORD_SAMPLE records (default 2,000) and its
# time is scaled to the whole column. Sourced by bench/peers.sh.
record_count=100000
record_sample=${PEER_RECORD_SAMPLE:-2000}
record_plain="$PEER_WORK/passwords.txt"
record_column="$PEER_WORK/scrambled.txt"
# (head ends the pipe early, which pipefail would count as a failure)
{ LC_ALL=C tr -dc 'A-Za-z0-9' <"$PEER_FILE" | fold -w 12 | head -n "$record_count" >"$record_plain"; } || true
[ "$(wc -l <"$record_plain")" -eq "$record_count" ] || { echo "  the shared file is too small for $record_count records" >&2; peer_status=1; }
"$QUILLFERN" encrypt-password -n 5 --lines --out-format hex -o "$record_column" "$record_plain"
if ! "$QUILLFERN" decrypt-password -n 5 --lines --in-format hex "$record_column" | cmp -s - "$record_plain"; then
  echo "  decrypt-password --lines does not restore the column" >&2
  peer_status=1
fi
head -n "$record_sample" "$record_column" >"$PEER_WORK/sample.txt"
records_loop() {
  while IFS= read -r line; do
    printf '%s' "$line" | "$QUILLFERN" deconvert | "$QUILLFERN" decrypt-password -n 5
    echo
  done <"$1"
}
records_time=$(best_time "$QUILLFERN" decrypt-password -n 5 --lines --in-format hex "$record_column")
printf '%-44s %9.4f s %12.0f records/s\n' "quillfern decrypt-password --lines" "$records_time" \
  "$(echo "$record_count / $records_time" | bc -l)"
sample_time=$(runs=1 best_time records_loop "$PEER_WORK/sample.txt")
loop_time=$(echo "$sample_time * $record_count / $record_sample" | bc -l)
printf '%-44s %9.4f s (%s records in %.2f s, scaled)\n' "shell loop, one process per record" "$loop_time" \
  "$record_sample" "$sample_time"
echo "  record mode is $(printf '%.0f' "$(ratio "$loop_time" "$records_time")")x the shell loop"
target "decrypt-password --lines >= 300x the shell loop" "$(echo "$loop_time >= 300 * $records_time" | bc -l)"
