#!/usr/bin/env bash
# The main job: builds the Windows target this machine can run, lays out the demo game
# folder in dist/<target>/ and runs Tarvex.exe with the demo game under Wine. That is
# the shipped i686 build (win32) where the machine executes 32-bit code, else its
# x86_64 twin (win64) under 64-bit Wine.
#
# With a display ($DISPLAY set) the demo runs in the foreground until its window is
# closed. Without one it runs on a virtual X server (Xvfb): it starts the game, saves a
# screenshot of its window, starts a second copy to show the "already running" box and
# saves a screenshot of that, then ends both copies and prints where everything is.
#
# Environment: DEMO_TIMEOUT (seconds to wait for a window, default 600: Wine under
# emulation is slow to start, above all with a new prefix); DEMO_TARGET (win32 or
# win64) picks the target instead of the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash tools/setup.sh

if [ -n "${DEMO_TARGET:-}" ]; then
    target=$DEMO_TARGET
    why="DEMO_TARGET asked for it"
elif [ "$(bash tools/can-run-32bit.sh)" = yes ]; then
    target=win32
    why="this machine executes 32-bit code"
else
    target=win64
    why="this machine cannot execute 32-bit code, so the x86_64 twin runs"
fi
echo "Demo target: $target ($why)"

cmake --preset "$target"
cmake --build --preset "$target" -j 2
cmake --install "build/$target" --prefix "dist/$target"

build="$root/build/$target"
dist="$root/dist/$target"
run="$build/wine-run.sh" # sets the build's Wine prefix, quiet debug output, DLL overrides
export WINEPREFIX="$build/wineprefix"
timeout_s=${DEMO_TIMEOUT:-600}

xvfb_pid=
stop_all() {
    wineserver -k 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap stop_all EXIT

# A new prefix takes a while to create (the runner makes it at its first start); do it
# before any timing starts.
"$run" cmd /c exit >/dev/null 2>&1 || true
wineserver -w

cd "$dist"

if [ -n "${DISPLAY:-}" ]; then
    echo "Running the $target demo game on $DISPLAY; close its window to end it."
    status=0
    "$run" ./Tarvex.exe || status=$?
    echo "Tarvex.exe ended with exit code $status."
    echo "Game folder: $dist (engine.log; crash.log when something was logged)"
    exit 0
fi

shots="$build/demo"
mkdir -p "$shots"
rm -f "$shots"/*.png engine.log demo-stop.flag

# A virtual screen; Xvfb picks a free display number and tells it on fd 3.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$display_file")"
rm -f "$display_file"
echo "Virtual display $DISPLAY"

# Waits until a top-level window with the given title exists.
wait_for_window() { # title
    local deadline=$((SECONDS + timeout_s))
    until xwininfo -root -tree 2>/dev/null | grep -qF "\"$1\""; do
        if [ $SECONDS -ge $deadline ]; then
            echo "No window \"$1\" after $timeout_s s." >&2
            return 1
        fi
        sleep 1
    done
    sleep 3 # let it paint
}

# The first copy keeps its window open until demo-stop.flag exists (waitfile=, read by
# the engine); the settings in its window come from game.ini.
"$run" ./Tarvex.exe waitfile=demo-stop.flag &
first=$!
wait_for_window "Tarvex demo game"
import -display "$DISPLAY" -window root "$shots/demo-window.png"
echo "Screenshot of the demo window: $shots/demo-window.png"

# A second copy while the first runs: refused with the box from data/Running.scr.
caption=$(head -n 1 data/Running.scr | tr -d '\r')
"$run" ./Tarvex.exe &
second=$!
wait_for_window "$caption"
import -display "$DISPLAY" -window root "$shots/already-running.png"
echo "Screenshot of the \"already running\" box: $shots/already-running.png"

# The box waits for a click that never comes: end that copy; the first one ends by itself.
kill "$second" 2>/dev/null || true
wait "$second" 2>/dev/null || true
touch demo-stop.flag
status=0
wait "$first" || status=$?
rm -f demo-stop.flag
echo "The first copy ended with exit code $status."
echo "Target: $target ($why)"
echo "Game folder: $dist"
if [ -f crash.log ]; then
    echo "Log: $dist/crash.log"
else
    echo "Log: $dist/crash.log was not written (nothing was logged)."
fi
echo "Engine calls: $dist/engine.log"
