#!/usr/bin/env bash
# Builds the Release benchmark, generates scripts of 1, 8 and 64 MB and runs each
# in fresh processes pinned to one core: three cold runs per size, then three
# whose heap keeps its memory between rounds (see bench/README.md).
#
#   bash bench/parser/run.sh            (from the repository root)
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j 2 --target kvgen kvbench >/dev/null
bin=build/native-release/bin
work=build/native-release/bench-scripts
mkdir -p "$work"

# glibc gives freed memory back to the system; with these thresholds it keeps it,
# so the warm rounds of those runs touch no fresh page.
keep_heap=glibc.malloc.trim_threshold=4000000000:glibc.malloc.mmap_threshold=4000000000
cpu=$(( $(nproc) - 1 ))

# best_of LABEL SHOWN TIMED TUNABLES REPEATS SCRIPT SIZE: three fresh processes;
# prints their lines that start with SHOWN and leaves the fastest parse time of
# their TIMED line (cold or warm) in $best.
best_of() {
    local label=$1 shown=$2 timed=$3 tunables=$4 repeats=$5 script=$6 size=$7 run out secs
    best=
    for run in 1 2 3; do
        # On this VM the first touch of fresh memory is slow: touch and free about
        # the expected peak first, so that the timed process does not pay for it.
        python3 -c "b = bytearray($size * 8 * 1024 * 1024)"
        out=$(env ${tunables:+GLIBC_TUNABLES=$tunables} taskset -c "$cpu" "$bin/kvbench" \
            "$script" "$repeats")
        echo "$out" | grep "^$shown" | sed "s/^/  $label, run $run: /"
        secs=$(echo "$out" | sed -n "s/^$timed.*: parse .* (\([0-9.]*\) s), delete.*/\1/p")
        if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; fi
    done
}

declare -A cold_seconds kept_seconds
for size in 1 8 64; do
    script="$work/script_${size}mb.kv"
    # Made again whenever the generator has changed since.
    [ "$script" -nt "$bin/kvgen" ] || "$bin/kvgen" "$size" "$script"
    echo "== ${size} MB =="
    best_of "as it comes" "" cold "" 3 "$script" "$size"
    cold_seconds[$size]=$best
    best_of "heap kept" warm warm "$keep_heap" 5 "$script" "$size"
    kept_seconds[$size]=$best
done
awk -v c8="${cold_seconds[8]}" -v c64="${cold_seconds[64]}" \
    -v k8="${kept_seconds[8]}" -v k64="${kept_seconds[64]}" 'BEGIN {
    printf "linearity: 64 MB parse took %.2fx the 8 MB time cold, %.2fx with the heap kept (8x is linear)\n",
        c64 / c8, k64 / k8 }'
