#!/bin/sh
# The real window under a virtual X server: for the three 4096x4096 pictures
# of the pipeline benchmark and for a 320x200 and a 640x512 picture of each
# kind (the sizes people really have), the time from the start of the
# process to the first row on screen and to the last row presented, against
# the headless whole-process time (bench/window_bench.cpp) and the floor
# under all of it: the same time for a program that only starts SDL and
# presents one window as large as the viewer's (bench/sdl_floor_bench.cpp),
# measured in the same run. Targets: the first row within the floor and
# 3 ms, the last within 1.2 times the larger of the floor and the headless
# time. Then a run of 80 of the small pictures gone through with Page Down as
# fast as the keys come: each next picture's last row within 1.2 times its
# headless time after the key. Exits with 1 while one is missed.
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

# The floor for the window the viewer opens: the desktop's size for the
# large pictures and a 640x512 one (scale 2), 1280x800 for 320x200 (scale 4).
floor_of() {
    line=$("$TIMER" --floor "$BUILD/bench/sdl_floor_bench" "$RUNS" "$1" "$2") || return 1
    echo "$line" >&2
    echo "$line" | sed -n 's/^SDL floor [0-9x]* *\([0-9.]*\)ms.*/\1/p'
}

status=0
echo "Median of $RUNS runs; times from the start of the process:"
floor_big=$(floor_of 1280 1024) && floor_small=$(floor_of 1280 800) && [ -n "$floor_big" ] && [ -n "$floor_small" ] ||
    { echo "window: the floor program failed" >&2; exit 2; }
printf '%-22s %11s %11s %11s %11s %7s  %s\n' picture "first row" "last row" headless floor "last/max" result
for dir in "$BIG:4096x4096:$floor_big" "$TMP/640x512:640x512:$floor_big" "$TMP/320x200:320x200:$floor_small"; do
    rest=${dir#*:}
    size=${rest%%:*}
    floor=${rest#*:}
    for entry in planes8.iff:8-plane deep24.iff:24-plane ham8.iff:HAM8; do
        rc=0
        "$TIMER" "$LANTERNA" "${dir%%:*}/${entry%%:*}" "${entry#*:} $size" "$RUNS" "${size#*x}" "$floor" || rc=$?
        [ "$rc" = 0 ] || status=1
        [ "$rc" -ge 2 ] && status=2
    done
done
# Page Down through 80 pictures: the six small ones in turn (the window
# changes size between 320x200 and 640x512 pictures), then 80 of one size.
mixed="" same=""
i=0
while [ "$i" -lt 14 ]; do
    for kind in planes8 deep24 ham8; do
        mixed="$mixed $TMP/320x200/$kind.iff:200 $TMP/640x512/$kind.iff:512"
        same="$same $TMP/640x512/$kind.iff:512 $TMP/640x512/$kind.iff:512"
    done
    i=$((i + 1))
done
for run in mixed same; do
    eval "list=\$$run"
    # shellcheck disable=SC2086
    set -- $list
    shift $(($# - 80))
    printf '%-6s ' "$run"
    rc=0
    "$TIMER" --pages "$LANTERNA" "$RUNS" "$@" || rc=$?
    [ "$rc" = 0 ] || status=1
    [ "$rc" -ge 2 ] && status=2
done
echo "Targets: first row <= floor + 3 ms, last row <= 1.2 x max(floor, headless); after Page Down <= 1.2 x headless."
exit $status
