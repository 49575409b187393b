#!/usr/bin/env bash
# Every test on a fresh machine: installs what is needed, then builds and tests the
# native target, the native target under AddressSanitizer and UBSan, and the win32
# target under Wine, checks the format of every source, and ends with bounded fuzz
# runs of the parser and of the dump reader.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash tools/setup.sh

jobs=2
summary=()
passed=0
failed=0

run_ctest() { # preset
    local log="$root/build/ctest-$1.log"
    local status=0
    ctest --preset "$1" -j "$jobs" 2>&1 | tee "$log" || status=$?
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    fi
    summary+=("$1: ${line:-no result}")
    return $status
}

stop_wine() {
    if [ -d build/win32/wineprefix ]; then
        WINEPREFIX="$root/build/win32/wineprefix" wineserver -k 2>/dev/null || true
    fi
}
trap stop_wine EXIT

status=0

echo "== native =="
cmake --preset native
cmake --build --preset native -j "$jobs"
run_ctest native || status=1

echo "== native with AddressSanitizer and UBSan =="
cmake --preset native-asan
cmake --build --preset native-asan -j "$jobs"
run_ctest native-asan || status=1

echo "== win32 under Wine =="
cmake --preset win32
cmake --build --preset win32 -j "$jobs"
# Wine runs the 32-bit Windows programs only where the kernel can execute 32-bit
# Linux code; some virtual machines cannot, and then the win32 target is built but
# its tests are not run.
if timeout 120 build/win32/wine-run.sh build/win32/bin/log_format_test.exe >build/win32/wine-probe.log 2>&1; then
    run_ctest win32 || status=1
else
    echo "Wine cannot start 32-bit programs on this machine (see build/win32/wine-probe.log):"
    head -n 3 build/win32/wine-probe.log
    summary+=("win32: built warning-free; tests NOT run: Wine cannot start 32-bit programs here")
fi
stop_wine

echo "== source format =="
if bash tools/check-format.sh; then
    summary+=("format: every source as .clang-format says")
    passed=$((passed + 1))
else
    summary+=("format: MISFORMATTED sources (bash tools/check-format.sh --fix)")
    failed=$((failed + 1))
    status=1
fi

run_fuzz() { # target seconds seed-corpus
    local corpus=build/fuzz/corpus-$1
    local log=build/fuzz/$1.log
    mkdir -p "$corpus"
    cp -n "$3"/* "$corpus"/ 2>/dev/null || true
    if build/fuzz/bin/$1 -max_total_time=$2 -print_final_stats=1 "$corpus" >"$log" 2>&1; then
        summary+=("$1: no findings in $2 s ($(grep -c '' "$log") log lines)")
        passed=$((passed + 1))
    else
        tail -n 60 "$log"
        summary+=("$1: FINDING, see $log")
        failed=$((failed + 1))
        status=1
    fi
}

echo "== fuzzing the parser (40 s) and the dump reader (20 s) =="
cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs" --target kvparse_fuzz kvdump_fuzz
run_fuzz kvparse_fuzz 40 tests/fuzz/corpus
run_fuzz kvdump_fuzz 20 tests/fuzz/dump_corpus

echo
echo "== summary =="
printf '%s\n' "${summary[@]}"
echo "all: $passed passed, $failed failed"
exit $status
