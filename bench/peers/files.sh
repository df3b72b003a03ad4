# The file commands beside their peers (sourced by bench/peers.sh):
#   quillfern file-code  against cp of the same file (target: at most 2x cp's
#                        time) and against the draw-by-draw cipher built
#                        from tests/reference (target: at least 300x as fast);
#   quillfern wipe       against shred -n1 -z -u (target: at most 1.5x).
# Every copy or encoding writes a new output file (the old one is removed
# and the disk synced before each run, outside the timing). file-code
# flushes its output to the device before renaming it; cp does not, so
# "cp + sync" is shown too. The draw-by-draw program runs on the
# first PEER_REFERENCE_MIB MiB (default 8) and its time is scaled to the
# whole file.

files_password=$(printf 'Qf8-pass')  # 8 printable characters
export QF_PEER_PASSWORD=$files_password
files_out="$PEER_WORK/files.out"

# The reference program, built beside the tool and never shipped with it.
files_reference="$PEER_WORK/files_reference"
c++ -O2 -std=c++20 -I"$root" -I"$root/build/release/generated" "$root/bench/files_reference.cpp" \
  "$root/build/release/libquillfern.a" -o "$files_reference"

# Each copy or encoding writes a new output file, as when a file is
# encoded under a new name; a fresh copy of the shared file is wiped.
new_output="rm -f '$files_out'"
fresh_copy="cp '$PEER_FILE' '$PEER_WORK/files.wipe' && sync '$PEER_WORK/files.wipe'"

t_cp=$(best_prepared_time "$new_output" cp "$PEER_FILE" "$files_out")
report "cp" "$t_cp"
t_cp_sync=$(best_prepared_time "$new_output" sh -c 'cp "$1" "$2" && sync "$2"' sh "$PEER_FILE" "$files_out")
report "cp + sync" "$t_cp_sync"
t_code=$(best_prepared_time "$new_output" "$QUILLFERN" file-code -q --password-env QF_PEER_PASSWORD "$PEER_FILE" "$files_out")
report "quillfern file-code" "$t_code"

slice_mib=${PEER_REFERENCE_MIB:-8}
head -c $((slice_mib * 1024 * 1024)) "$PEER_FILE" >"$PEER_WORK/files.slice"
t_slice=$(best_time "$files_reference" "$PEER_WORK/files.slice" "$PEER_WORK/files.slice.out" "$files_password")
t_reference=$(echo "$t_slice * $PEER_BYTES / ($slice_mib * 1024 * 1024)" | bc -l)
report "draw-by-draw reference (from $slice_mib MiB)" "$t_reference"
# Both give the same bytes.
"$QUILLFERN" file-code -q --password-env QF_PEER_PASSWORD "$PEER_WORK/files.slice" "$PEER_WORK/files.slice.fast"
cmp -s "$PEER_WORK/files.slice.out" "$PEER_WORK/files.slice.fast" || { echo "  file-code and the reference differ"; peer_status=1; }
rm -f "$PEER_WORK/files.slice" "$PEER_WORK/files.slice.out" "$PEER_WORK/files.slice.fast" "$files_out"

t_wipe=$(best_prepared_time "$fresh_copy" "$QUILLFERN" wipe -q "$PEER_WORK/files.wipe")
report "quillfern wipe" "$t_wipe"
t_shred=$(best_prepared_time "$fresh_copy" shred -n1 -z -u "$PEER_WORK/files.wipe")
report "shred -n1 -z -u" "$t_shred"

printf '  file-code / cp = %.2f, reference / file-code = %.0f, wipe / shred = %.2f\n' \
  "$(ratio "$t_code" "$t_cp")" "$(ratio "$t_reference" "$t_code")" "$(ratio "$t_wipe" "$t_shred")"
target "file-code at most 2x the time of cp" "$(echo "$t_code <= 2 * $t_cp" | bc -l)"
target "file-code at least 300x as fast as draw by draw" "$(echo "$t_reference >= 300 * $t_code" | bc -l)"
target "wipe at most 1.5x the time of shred -n1 -z -u" "$(echo "$t_wipe <= 1.5 * $t_shred" | bc -l)"
