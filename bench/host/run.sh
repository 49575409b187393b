#!/usr/bin/env bash
# The host benchmark: Tarvex.exe with the stand-in engine against bare_loop.exe, on
# each Windows build that is there (build/win32, build/win64). Builds nothing: build
# the presets first. Prints each run and, per build, the medians and ranges.
#
#   bash bench/host/run.sh              (ROUNDS=10 measured rounds, TURNS=50000 loop turns)
#
# Run it alone: Tarvex.exe takes the machine-wide instance mutex of the build's prefix,
# so a test suite running in the same build would refuse it (or be refused).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROUNDS=${ROUNDS:-10}
TURNS=${TURNS:-50000}

win_path() {
    local absolute
    absolute=$(realpath "$1")
    echo "Z:${absolute//\//\\}"
}

ran=0
for preset in win32 win64; do
    build=build/$preset
    if [ ! -x "$build/bin/host_bench.exe" ] || [ ! -x "$build/wine-run.sh" ]; then
        echo "== $preset: not built, skipped"
        continue
    fi
    if [ "$preset" = win32 ] && [ "$(bash tools/can-run-32bit.sh)" != yes ]; then
        echo "== $preset: this machine cannot run 32-bit code, skipped"
        continue
    fi
    work=$build/bench-host
    rm -rf "$work"
    mkdir -p "$work/game/logs" "$work/bare"
    # The game folder holds the diagnostics report, so the host starts no tool.
    cp "$build/bin/Tarvex.exe" "$build/bin/TarvexEngine2.dll" "$build/bin/filesystem.dll" "$work/game/"
    echo "an earlier report" >"$work/game/logs/DXDiags.txt"
    cp "$build/bin/bare_loop.exe" "$build/bin/TarvexEngine2.dll" "$build/bin/filesystem.dll" "$work/bare/"

    echo "== $preset: $ROUNDS rounds (after one to warm up) of $TURNS turns each, order alternating"
    # Output to a file, not a pipe: Wine's system programs may inherit it and keep it open.
    "$build/wine-run.sh" "$build/bin/host_bench.exe" "$TURNS" "$((ROUNDS + 1))" \
        "$(win_path "$work/game")" "$(win_path "$work/bare")" >"$work/runs.jsonl"
    cat "$work/runs.jsonl"
    python3 - "$work/runs.jsonl" <<'PY'
import json, statistics, sys

runs = [json.loads(line) for line in open(sys.argv[1]) if line.startswith("{")]
runs = [r for r in runs if r["round"] > 1]  # round 1 warms the caches up
by_round = {}
for r in runs:
    if "error" in r:
        sys.exit(f"a run failed: {r}")
    by_round.setdefault(r["round"], {})[r["program"]] = r


def spread(values, digits):
    return (f"{statistics.median(values):.{digits}f} "
            f"({min(values):.{digits}f}-{max(values):.{digits}f})")


for program in ("host", "bare"):
    mine = [r for r in runs if r["program"] == program]
    print(f"{program}: start to first turn {spread([r['startToFirstTurnMs'] for r in mine], 1)} ms, "
          f"{spread([r['turnsPerSecond'] for r in mine], 0)} turns/s")
pairs = [p for p in by_round.values() if len(p) == 2]
rates = [p["host"]["turnsPerSecond"] / p["bare"]["turnsPerSecond"] for p in pairs]
starts = [p["host"]["startToFirstTurnMs"] / p["bare"]["startToFirstTurnMs"] for p in pairs]
print(f"OnIdle rate, host / bare, per round: median {spread(rates, 3)} (target >= 0.95)")
print(f"start to first OnIdle, host / bare, per round: median {spread(starts, 3)} (target <= 1.2)")
PY
    ran=$((ran + 1))
done
[ "$ran" -gt 0 ] || { echo "no Windows build to measure"; exit 1; }
