# The streamed keyed cipher commands beside cat and openssl enc -aes-128-ctr
# (sourced by bench/peers.sh), output to /dev/null: the best time of the
# runs and the largest resident memory, on the shared file and on a 1 GiB
# file (four copies of it); the memory also on a 4 GiB sparse file.
# Targets: each command at least 2 GB/s on the shared file and faster than
# openssl on it; at most 64 MiB of memory at every size, for fastblowfish
# with the longest password (1 MiB) too. Then the start-up
# of the tool against basenc --version, 1000 runs each (target: at most
# 1.5x).
export QF_PEER_PASSWORD=${QF_PEER_PASSWORD:-Qf8-pass}
ciphers_big="$PEER_WORK/ciphers-1g.bin"
for _ in 1 2 3 4; do cat "$PEER_FILE"; done >"$ciphers_big"
ciphers_sparse="$PEER_WORK/ciphers-4g.bin"
truncate -s 4G "$ciphers_sparse"
# decipher needs a whole cipher text: the shared file with its codes
# brought below 128, enciphered; four of them in a row decipher as one,
# since its length is a whole number of passwords.
ciphers_cipher="$PEER_WORK/ciphers-cipher.bin"
tr '\200-\377' '\000-\177' <"$PEER_FILE" | "$QUILLFERN" encipher --password-env QF_PEER_PASSWORD >"$ciphers_cipher"
# The longest password there is (1 MiB), whose key stream repeats only
# after 128 MiB: its memory is measured too.
ciphers_long_password="$PEER_WORK/ciphers-password"
head -c 786432 /dev/urandom | base64 -w0 >"$ciphers_long_password"  # 1048576 characters
chmod 600 "$ciphers_long_password"
ciphers_cipher_big="$PEER_WORK/ciphers-cipher-1g.bin"
for _ in 1 2 3 4; do cat "$ciphers_cipher"; done >"$ciphers_cipher_big"

# timed FILE COMMAND...: "SECONDS KIB", the best time of $runs runs and the
# largest resident memory among them.
timed() {
  local file=$1 best="" most=0 t m
  shift
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%e %M' -o "$PEER_WORK/time" "$@" <"$file" >/dev/null 2>/dev/null || true
    read -r t m < <(tail -1 "$PEER_WORK/time")
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    [ "$m" -gt "$most" ] && most=$m
  done
  echo "$best $most"
}

ciphers_rows=(
  "cat|cat"
  "openssl enc -aes-128-ctr|openssl enc -aes-128-ctr -K 00112233445566778899aabbccddeeff -iv 0"
  "quillfern fastblowfish --notices none|$QUILLFERN fastblowfish --notices none --password-env QF_PEER_PASSWORD"
  "quillfern textbox-crypt --allow-loss|$QUILLFERN textbox-crypt --allow-loss --password-env QF_PEER_PASSWORD"
  "quillfern textbox-decrypt --allow-loss|$QUILLFERN textbox-decrypt --allow-loss --password-env QF_PEER_PASSWORD"
  "quillfern encipher --allow-loss|$QUILLFERN encipher --allow-loss --password-env QF_PEER_PASSWORD"
  "quillfern decipher --allow-loss|$QUILLFERN decipher --allow-loss --notices none --password-env QF_PEER_PASSWORD"
  "fastblowfish, a 1 MiB password|$QUILLFERN fastblowfish --notices none --password-file $ciphers_long_password"
)
# The machine may be shared: its load is shown with the figures.
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-40s %22s %22s %12s\n' "command" "256 MiB: s, MiB RSS" "1 GiB: s, MiB RSS" "4 GiB RSS"
t_openssl=""
for row in "${ciphers_rows[@]}"; do
  name=${row%%|*}
  # shellcheck disable=SC2206
  cmd=(${row#*|})
  small=$PEER_FILE big=$ciphers_big
  case $name in *decipher*) small=$ciphers_cipher big=$ciphers_cipher_big ;; esac
  read -r t1 m1 < <(timed "$small" "${cmd[@]}")
  read -r t2 m2 < <(timed "$big" "${cmd[@]}")
  m3="-"
  case $name in quillfern* | fastblowfish*) read -r _ m3 < <(runs=1 timed "$ciphers_sparse" "${cmd[@]}") ;; esac
  printf '%-40s %8.3f s %8.1f MiB %8.3f s %8.1f MiB %8s\n' "$name" "$t1" "$(echo "$m1 / 1024" | bc -l)" \
    "$t2" "$(echo "$m2 / 1024" | bc -l)" "$( [ "$m3" = - ] && echo - || printf '%.1f MiB' "$(echo "$m3 / 1024" | bc -l)")"
  case $name in
    openssl*) t_openssl=$t1 ;;
    quillfern*)
      rate=$(echo "$PEER_BYTES / $t1 / 1000000000" | bc -l)
      target "$name: at least 2 GB/s on $size_mib MiB ($(printf '%.2f' "$rate") GB/s)" "$(echo "$rate >= 2" | bc -l)"
      target "$name: faster than openssl enc -aes-128-ctr" "$(echo "$t1 < $t_openssl" | bc -l)"
      target "$name: at most 64 MiB of memory at every size" \
        "$(echo "$m1 <= 65536 && $m2 <= 65536 && $m3 <= 65536" | bc -l)"
      ;;
    fastblowfish*)
      # Walked step by step: no speed target, only the memory one.
      target "$name: at most 64 MiB of memory at every size" \
        "$(echo "$m1 <= 65536 && $m2 <= 65536 && $m3 <= 65536" | bc -l)"
      ;;
  esac
done
rm -f "$ciphers_big" "$ciphers_sparse" "$ciphers_cipher" "$ciphers_cipher_big" "$ciphers_long_password"

# Start-up: 1000 runs of each, one after another, in one loop each.
thousand() {
  local start end
  start=$(date +%s.%N)
  for _ in $(seq 1000); do "$@" </dev/null >/dev/null; done
  end=$(date +%s.%N)
  echo "($end - $start) / 1000 * 1000" | bc -l
}
s_basenc=$(thousand basenc --version)
s_version=$(thousand "$QUILLFERN" --version)
s_convert=$(thousand "$QUILLFERN" convert)
printf '%-40s %8.3f ms per run\n' "basenc --version" "$s_basenc" "quillfern --version" "$s_version" \
  "quillfern convert </dev/null" "$s_convert"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
target "quillfern --version at most 1.5x the start-up of basenc --version ($(printf '%.2f' "$(ratio "$s_version" "$s_basenc")")x)" \
  "$(echo "$s_version <= 1.5 * $s_basenc" | bc -l)"
