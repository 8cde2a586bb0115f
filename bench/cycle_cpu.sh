#!/bin/sh
# The CPU cost of colour cycling: the whole program's CPU time (user + system,
# from /usr/bin/time) while the 640x480 sample with four active ranges stays
# up for SECONDS with CYCLE, as a share of one core over the run's wall-clock
# time. Measured with the headless backend and in the SDL window under Xvfb
# (the X server's own time is not counted), each also without CYCLE for the
# cost of the program standing still. Targets while cycling: at most 1% of a
# core headless and 3% in the (default) window; the script exits with 1 while
# one is missed.
#
#   sh bench/cycle_cpu.sh BUILD_DIR [SECONDS]
set -eu

BUILD=${1:-build}
WAIT=${2:-10}
LANTERNA="$BUILD/lanterna"
PICTURE="$BUILD/samples/14-colour-cycling.iff"

if [ ! -x "$LANTERNA" ] || [ ! -f "$PICTURE" ]; then
    echo "cycle_cpu: $LANTERNA and $PICTURE are needed (make build first)" >&2
    exit 1
fi
if [ ! -x /usr/bin/time ]; then
    echo "cycle_cpu: needs /usr/bin/time (the time package)" >&2
    exit 1
fi

TMP=$(mktemp -d "${TMPDIR:-/tmp}/lanterna-cycle-cpu.XXXXXX")
trap 'rm -rf "$TMP"' EXIT INT TERM

status=0

# measure LABEL TARGET COMMAND...: runs the command under /usr/bin/time and
# prints its CPU time as a share of one core, against TARGET percent unless
# that is "-".
measure() {
    label=$1
    target=$2
    shift 2
    "$@" >"$TMP/out" 2>&1 || { echo "cycle_cpu: $label failed:"; cat "$TMP/out"; status=1; return 0; }
    awk -v label="$label" -v target="$target" '{
        cpu = $1 + $2; share = 100 * cpu / $3
        verdict = target == "-" ? "" : (share <= target ? sprintf("(target <= %s%%) ok", target) : sprintf("(target <= %s%%) MISSED", target))
        printf "%-32s %6.2f s CPU in %6.2f s = %5.2f%% of one core %s\n", label, cpu, $3, share, verdict
        exit (target == "-" || share <= target) ? 0 : 1
    }' "$TMP/time" || status=1
}

# The headless backend answers a wait with a click unless told otherwise:
# "none" lets the picture stay up until its time-out.
measure "headless, cycling" 1 env LANTERNA_DISPLAY=headless LANTERNA_INPUT=none \
    /usr/bin/time -f "%U %S %e" -o "$TMP/time" "$LANTERNA" "$PICTURE" WAIT="$WAIT" CYCLE
measure "headless, still" - env LANTERNA_DISPLAY=headless LANTERNA_INPUT=none \
    /usr/bin/time -f "%U %S %e" -o "$TMP/time" "$LANTERNA" "$PICTURE" WAIT="$WAIT"

if command -v xvfb-run >/dev/null 2>&1; then
    measure "SDL window (Xvfb), cycling" 3 xvfb-run -a -s "-screen 0 1280x1024x24" \
        env -u LANTERNA_DISPLAY /usr/bin/time -f "%U %S %e" -o "$TMP/time" \
        "$LANTERNA" "$PICTURE" WAIT="$WAIT" CYCLE
    measure "SDL window (Xvfb), still" - xvfb-run -a -s "-screen 0 1280x1024x24" \
        env -u LANTERNA_DISPLAY /usr/bin/time -f "%U %S %e" -o "$TMP/time" \
        "$LANTERNA" "$PICTURE" WAIT="$WAIT"
    # The same with SDL's own software renderer instead of a software OpenGL
    # (Xvfb has no GPU): what the window costs without the GL emulation.
    measure "SDL window (Xvfb), SW, cycling" - xvfb-run -a -s "-screen 0 1280x1024x24" \
        env -u LANTERNA_DISPLAY SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 \
        /usr/bin/time -f "%U %S %e" -o "$TMP/time" "$LANTERNA" "$PICTURE" WAIT="$WAIT" CYCLE
else
    echo "cycle_cpu: xvfb-run is missing; the window was not measured (scripts/deps.sh)"
    status=1
fi
exit $status
