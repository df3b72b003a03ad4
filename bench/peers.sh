#!/usr/bin/env bash
# Compares the quillfern command with peer tools on the same data, in one
# run: every bench/peers/*.sh script is sourced with a shared 256 MiB random
# file in the page cache. Not part of CI.
#   bench/peers.sh [SCRIPT-NAME...]      e.g. bench/peers.sh hex
# Environment: PEER_SIZE_MIB (default 256), PEER_RUNS (default 3).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/deps.sh" build bench
"$root/run.sh" --version >/dev/null
export QUILLFERN="$root/build/release/quillfern"

size_mib=${PEER_SIZE_MIB:-256}
runs=${PEER_RUNS:-3}
PEER_WORK=$(mktemp -d "${TMPDIR:-/tmp}/quillfern-peers.XXXXXX")
trap 'rm -rf "$PEER_WORK"' EXIT
PEER_FILE="$PEER_WORK/random.bin"
PEER_BYTES=$((size_mib * 1024 * 1024))
head -c "$PEER_BYTES" /dev/urandom >"$PEER_FILE"
cat "$PEER_FILE" >/dev/null  # into the page cache

# best_prepared_time PREPARE COMMAND...: the best wall-clock seconds of
# $runs runs of COMMAND; PREPARE (a shell snippet) runs before each run,
# outside the timing, followed by a sync so that earlier writes do not
# weigh on the run.
best_prepared_time() {
  local prepare=$1 best="" t start end
  shift
  for _ in $(seq "$runs"); do
    sh -c "$prepare"
    sync
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%.4f' "$best"
}

# best_time COMMAND...: the same with nothing to prepare.
best_time() { best_prepared_time : "$@"; }

# report NAME SECONDS: one line with the rate over the shared file.
report() {
  printf '%-44s %9.4f s %9.3f GB/s\n' "$1" "$2" "$(echo "$PEER_BYTES / $2 / 1000000000" | bc -l)"
}

# target DESCRIPTION HOLDS: prints whether a target holds (HOLDS is 1 or 0).
target() {
  if [ "$2" = 1 ]; then echo "  target met:    $1"; else echo "  target MISSED: $1"; peer_status=1; fi
}
ratio() { echo "$1 / $2" | bc -l; }

peer_status=0
scripts=("$@")
if [ ${#scripts[@]} -eq 0 ]; then
  for s in "$root"/bench/peers/*.sh; do scripts+=("$(basename "$s" .sh)"); done
fi
echo "quillfern peers: ${size_mib} MiB random file, best of $runs runs, $(nproc) cores"
for name in "${scripts[@]}"; do
  echo "== $name"
  # shellcheck source=/dev/null
  source "$root/bench/peers/$name.sh"
done
exit $peer_status
