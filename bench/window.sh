#!/bin/sh
# The real window under a virtual X server: for the three 4096x4096 pictures
# of the pipeline benchmark and for a 320x200 and a 640x512 picture (the
# sizes people really have), the time from the start of the process to the
# first row on screen and to the last row presented, against the headless
# whole-process time (bench/window_bench.cpp). Targets: the first row within
# 50 ms, the last within 1.5 times the headless time. Exits with 1 while one
# is missed. Last, the floor under all of it: the same time for a program
# that only starts SDL and presents one window (bench/sdl_floor_bench.cpp),
# small and as large as the viewer's window for a 320x200 picture.
#
#   sh bench/window.sh BUILD_DIR [DIR_WITH_4096_PICTURES]
set -eu

BUILD=${1:-build}
BIG=${2:-}
RUNS=${BENCH_RUNS:-7}
LANTERNA="$BUILD/lanterna"
MAKER="$BUILD/bench/pipeline_bench"
TIMER="$BUILD/bench/window_bench"

for tool in "$LANTERNA" "$MAKER" "$TIMER"; do
    if [ ! -x "$tool" ]; then
        echo "window: $tool is not built" >&2
        exit 2
    fi
done
command -v Xvfb >/dev/null 2>&1 || { echo "window: needs Xvfb (scripts/deps.sh)" >&2; exit 2; }

TMP=$(mktemp -d "${TMPDIR:-/tmp}/lanterna-window.XXXXXX")
XVFB_PID=""
cleanup() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT INT TERM

# A free display number, then the server, then its socket.
n=$(( ($$ % 700) + 150 ))
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -br -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
i=0
while [ ! -e "/tmp/.X11-unix/X$n" ] && [ "$i" -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
[ -e "/tmp/.X11-unix/X$n" ] || { echo "window: Xvfb did not start" >&2; exit 2; }
export DISPLAY=":$n"

if [ -z "$BIG" ]; then
    BIG=$TMP/4096
    mkdir -p "$BIG"
    "$MAKER" make "$BIG" 4096
fi
mkdir -p "$TMP/320x200" "$TMP/640x512"
"$MAKER" make "$TMP/320x200" 320 200
"$MAKER" make "$TMP/640x512" 640 512
sync  # the new files are written back now, not during the timed runs

status=0
echo "Median of $RUNS runs; times from the start of the process:"
printf '%-22s %11s %11s %11s %7s  %s\n' picture "first row" "last row" headless "last/hl" result
for dir in "$BIG:4096x4096" "$TMP/640x512:640x512" "$TMP/320x200:320x200"; do
    for entry in planes8.iff:8-plane deep24.iff:24-plane ham8.iff:HAM8; do
        rc=0
        size=${dir#*:}
        "$TIMER" "$LANTERNA" "${dir%%:*}/${entry%%:*}" "${entry#*:} $size" "$RUNS" "${size#*x}" || rc=$?
        [ "$rc" = 0 ] || status=1
        [ "$rc" -ge 2 ] && status=2
    done
done
# The floor for a small window, and for the window the viewer opens for a
# 320x200 picture (scale 4): a larger window's first present costs more.
if [ -x "$BUILD/bench/sdl_floor_bench" ]; then
    "$TIMER" --floor "$BUILD/bench/sdl_floor_bench" "$RUNS" 320 200 || true
    "$TIMER" --floor "$BUILD/bench/sdl_floor_bench" "$RUNS" 1280 800 || true
fi
echo "Targets: first row <= 50 ms, last row <= 1.5 x headless."
exit $status
