#!/usr/bin/env bash
# Builds the Release benchmark, generates the same content of 1, 8 and 64 MB (as
# script) in three notations and parses each with the script parser, rapidjson
# (pool allocator) and libconfig: RUNS fresh processes per parser and size, pinned
# to one core, interleaved so that a busy spell of the machine hits all three.
# Prints the medians and the figures set against the targets (see
# bench/README.md).
#
#   bash bench/parser/run.sh            (from the repository root; RUNS=5 by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j 2 --target kvgen kvbench >/dev/null
bin=build/native-release/bin
work=build/native-release/bench-scripts
mkdir -p "$work"
runs=${RUNS:-5}
cpu=$(( $(nproc) - 1 ))
results="$work/results.txt"
: >"$results"

for size in 1 8 64; do
    stem="$work/content_${size}mb"
    # Made again whenever the generator has changed since.
    [ "$stem.kv" -nt "$bin/kvgen" ] || "$bin/kvgen" "$size" "$stem"
    for run in $(seq "$runs"); do
        for parser in kv:kv rapidjson:json libconfig:cfg; do
            # On this VM the first touch of fresh memory is slow: touch and free
            # about the script parser's peak first, the same for every parser.
            python3 -c "b = bytearray($size * 8 * 1024 * 1024)"
            file="$stem.${parser#*:}"
            figures=$(taskset -c "$cpu" "$bin/kvbench" "${parser%%:*}" "$file" 0 |
                sed -n 's/^figures: //p')
            echo "$size ${parser%%:*} $(stat -c %s "$file") $(stat -c %s "$stem.kv") $figures" \
                >>"$results"
        done
    done
done

python3 - "$results" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    size, parser, own, script, *figures = line.split()
    rows.setdefault((int(size), parser), []).append((int(own), int(script), *map(float, figures)))

def median(key, column):
    return statistics.median(r[column] for r in rows[key])

def spread(key, column):
    values = [r[column] for r in rows[key]]
    return min(values), max(values)

print("medians of %d cold runs; parse in seconds (wall, then processor time), MB/s of the "
      "script's size; delete as a multiple of the parse" % len(next(iter(rows.values()))))
print("%4s %-9s %8s %16s %8s %9s %12s %7s" % ("MB", "parser", "file MB", "parse wall (range)",
      "cpu", "MB/s", "delete wall", "peak"))
for (size, parser), data in sorted(rows.items()):
    key = (size, parser)
    low, high = spread(key, 2)
    wall, cpu = median(key, 2), median(key, 3)
    print("%4d %-9s %8.1f %6.3f (%.2f-%.2f) %8.3f %9.1f %6.3f %.2fx %6.2fx" % (
        size, parser, data[0][0] / 2**20, wall, low, high, cpu, data[0][1] / 2**20 / wall,
        median(key, 4), median(key, 4) / wall, median(key, 6)))
kv, rj, lc = (64, "kv"), (64, "rapidjson"), (64, "libconfig")
for clock, column in (("wall", 2), ("cpu", 3)):
    print("64 MB, %s: %.2fx rapidjson-pool's speed, %.2fx libconfig's; delete %.3fx the parse" % (
        clock, median(rj, column) / median(kv, column), median(lc, column) / median(kv, column),
        median(kv, column + 2) / median(kv, column)))
for parser in ("kv", "rapidjson", "libconfig"):
    print("linearity, %s: 64 MB took %.2fx the 8 MB time (wall), %.2fx (cpu); 8x is linear" % (
        parser, median((64, parser), 2) / median((8, parser), 2),
        median((64, parser), 3) / median((8, parser), 3)))
PY
