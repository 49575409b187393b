#!/usr/bin/env bash
# Every test on a fresh machine: installs what is needed, then builds and tests the
# native target, the native target under AddressSanitizer and UBSan, the x86_64
# Windows twin under 64-bit Wine, the shipped i686 build under 32-bit Wine where the
# machine can execute 32-bit code, checks the format of every source, and ends with
# bounded fuzz runs of the parser and of the dump reader.
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
    run_ctest_log "$1" "$log" || status=1
    return $status
}

# Counts the results of a ctest run from its output; fails when ctest reported none.
run_ctest_log() { # preset, log
    local log=$2
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    fi
    summary+=("$1: ${line:-no result}")
    [[ $line =~ \ 0\ tests\ failed ]]
}

# Each Windows build has its own Wine prefix; a server kept alive for the run makes
# every program start cheap. Stopped at the end so nothing is left running.
wine_server() { # preset, wineserver arguments
    if [ -d "build/$1/wineprefix" ]; then
        WINEPREFIX="$root/build/$1/wineprefix" wineserver "${@:2}" 2>/dev/null || true
    fi
}
stop_wine() {
    wine_server win64 -k
    wine_server win32 -k
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

# Starts a Windows build's Wine for the run and probes that its programs start. The
# first start makes the build's prefix. The kept-alive server's own system programs
# are started by a probe whose output goes to a file: started under ctest, they would
# hold a test's output pipe open, and ctest would wait for it until the timeout.
start_wine() { # preset
    local probe=("build/$1/wine-run.sh" "build/$1/bin/log_format_test.exe")
    timeout 300 "${probe[@]}" >"build/$1/wine-probe.log" 2>&1 || return 1
    wine_server "$1" -p
    timeout 300 "${probe[@]}" >>"build/$1/wine-probe.log" 2>&1
}

# 32-bit x86 code runs only where the kernel can execute it; some machines cannot.
runs_32bit=false
if [ "$(bash tools/can-run-32bit.sh)" = yes ]; then
    runs_32bit=true
fi

echo "== win64 under 64-bit Wine =="
cmake --preset win64
cmake --build --preset win64 -j "$jobs"
if start_wine win64; then
    if $runs_32bit && ! unshare -m --propagation private true 2>/dev/null; then
        echo "No mount namespace here: the win64 suite runs without the 32-bit loader stubbed."
        run_ctest win64 || status=1
        summary+=("win64: ran with the 32-bit loader in place (no mount namespace to stub it)")
    elif $runs_32bit; then
        # Where 32-bit code could run, run the suite as a machine that cannot would:
        # in a mount namespace of its own, the 32-bit Wine loader is replaced by a
        # stub that records every start and fails it.
        starts="$root/build/win64/wine32-starts.log"
        rm -f "$starts"
        printf '#!/bin/sh\necho "$0 $*" >>"%s"\nexit 126\n' "$starts" >build/win64/wine32-stub.sh
        chmod +x build/win64/wine32-stub.sh
        log="$root/build/ctest-win64.log"
        unshare -m --propagation private sh -c \
            'mount --bind "$1" /usr/lib/wine/wine && exec ctest --preset win64 -j "$2"' \
            sh "$root/build/win64/wine32-stub.sh" "$jobs" 2>&1 | tee "$log" || true
        run_ctest_log win64 "$log" || status=1
        if [ -s "$starts" ]; then
            echo "the win64 suite started the 32-bit Wine loader:"
            cat "$starts"
            summary+=("win64: FAILED: the suite started a 32-bit program")
            failed=$((failed + 1))
            status=1
        fi
    else
        run_ctest win64 || status=1
    fi
    wine_server win64 -k
else
    echo "64-bit Wine cannot start programs (see build/win64/wine-probe.log):"
    head -n 5 build/win64/wine-probe.log
    summary+=("win64: FAILED: 64-bit Wine cannot start programs")
    failed=$((failed + 1))
    status=1
fi

echo "== win32 under Wine =="
cmake --preset win32
cmake --build --preset win32 -j "$jobs"
if $runs_32bit && start_wine win32; then
    run_ctest win32 || status=1
    wine_server win32 -k
else
    echo "This machine cannot run 32-bit x86 code, so 32-bit Wine cannot start."
    summary+=("win32: built warning-free; tests NOT run: this machine cannot execute 32-bit code")
fi

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
