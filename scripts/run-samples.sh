#!/bin/sh
# Shows the sample pictures one after another: `sh scripts/run-samples.sh BUILD`.
# With a display ($DISPLAY or $WAYLAND_DISPLAY) they appear in a window, four
# seconds each, cycling their colours; a click or a key goes on to the next,
# Esc stops. Without one they are shown by the headless backend, one second
# each with cycling on, and each is saved as a snapshot.
BUILD=${1:-build}
BIN="$BUILD/lanterna"
SAMPLES="$BUILD/samples"

if [ ! -x "$BIN" ]; then
    echo "run-samples: $BIN is missing; build it first (make build)."
    exit 1
fi
if [ ! -d "$SAMPLES" ]; then
    echo "run-samples: $SAMPLES is missing; build it first (make build)."
    exit 1
fi

# The pattern is the program's own (AmigaDOS) pattern, not the shell's.
PATTERN="$SAMPLES/#?.iff"

if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    "$BIN" "$PATTERN" WAIT=4 CYCLE
    exit $?
fi

SNAPSHOTS="$BUILD/snapshots"
rm -rf "$SNAPSHOTS"
mkdir -p "$SNAPSHOTS"
# One "none" per picture: its viewing is not ended by the headless backend's
# default click, so every picture stays up for its WAIT second and cycles.
INPUT=none
count=$(ls "$SAMPLES"/*.iff 2>/dev/null | wc -l)
i=1
while [ "$i" -lt "$count" ]; do
    INPUT="$INPUT,none"
    i=$((i + 1))
done
status=0
LANTERNA_DISPLAY=headless LANTERNA_SNAPSHOTS="$SNAPSHOTS" LANTERNA_INPUT="$INPUT" \
    "$BIN" "$PATTERN" WAIT=1 CYCLE || status=$?
echo "No display found: the pictures were shown headless."
echo "Snapshots: $(cd "$SNAPSHOTS" && pwd)/"
exit $status
