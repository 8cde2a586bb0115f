#!/bin/sh
# Animations: the processor time of a headless run that plays one pass and
# ends (WAIT=1 with LANTERNA_INPUT=none: the pass is longer than a second)
# against ffmpeg decoding the same file to nothing (target: at most 1/4),
# the peak memory of that run against the run that ends after the first
# frame (target: at most two frames and 16 MiB more), and the share of a
# core while the 320x256 animation plays at 50 frames a second in the SDL
# window under Xvfb (target: under 3%). Exits with 1 while one is missed.
#
# The files have a few hundred frames (bench/anim_files_bench.cpp), so that
# the frames, not the start of either program, are most of a run. A second
# line for each splits the times: the run that ends after the first frame
# (the start and the first frame), the cost of each later frame, and
# ffmpeg's fixed cost and cost a frame (from the same animations cut to two
# frames).
#
#   sh bench/anim_cpu.sh BUILD_DIR
set -eu

BUILD=${1:-build}
LANTERNA="$BUILD/lanterna"
CPU="$BUILD/bench/cpu_time_bench"
FRAMES="300 300 180"  # op 5, op 8, HAM8
TMP=$(mktemp -d "${TMPDIR:-/tmp}/lanterna-anim.XXXXXX")
trap 'rm -rf "$TMP"' EXIT INT TERM
mkdir "$TMP/short"
"$BUILD/bench/anim_files_bench" "$TMP" $FRAMES
"$BUILD/bench/anim_files_bench" "$TMP/short" 2 2 2
status=0

# run FILE INPUT: "processor-seconds peak-KiB" of a headless run of FILE.
run() {
    env LANTERNA_DISPLAY=headless LANTERNA_INPUT="$2" "$CPU" "$LANTERNA" "$1" WAIT=1
}

set -- $FRAMES
for f in op5-320x256 op8-640x480 ham8-1280x720; do
    frames=$1
    shift
    file="$TMP/$f.anim"
    played=$(run "$file" none)
    ours=${played% *} rss=${played#* }
    still=$(run "$file" click)
    first=${still% *} still_rss=${still#* }
    theirs=$("$CPU" ffmpeg -v error -i "$file" -f null - | cut -d' ' -f1)
    fixed=$("$CPU" ffmpeg -v error -i "$TMP/short/$f.anim" -f null - | cut -d' ' -f1)
    frame_kb=$(echo "$f" | awk -F'[-x]' '{ planes = $1 == "op5" ? 5 : $1 == "op8" ? 4 : 8; print int($2 * $3 * planes / 8 / 1024) }')
    awk -v f="$f" -v o="$ours" -v t="$theirs" -v r="$rss" -v s="$still_rss" -v fk="$frame_kb" -v n="$frames" \
        -v first="$first" -v fixed="$fixed" 'BEGIN {
        ratio = t > 0 ? o / t : 0; extra = r - s; limit = 2 * fk + 16384
        okc = ratio <= 0.25 ? "ok" : "MISSED"; okm = extra <= limit ? "ok" : "MISSED"
        printf "%-14s %6.3f s CPU vs ffmpeg %6.3f s = %.3f (target <= 0.25) %s; memory +%d KiB over the first frame (target <= %d) %s\n", f, o, t, ratio, okc, extra, limit, okm
        printf "%-14s %d frames: start and first frame %.1f ms, then %.0f us a frame; ffmpeg %.1f ms fixed, %.0f us a frame\n", "", n, 1000 * first, 1e6 * (o - first) / (n - 1), 1000 * fixed, 1e6 * (t - fixed) / (n - 2)
        exit (okc == "ok" && okm == "ok") ? 0 : 1 }' || status=1
done

if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1280x1024x24" env -u LANTERNA_DISPLAY /usr/bin/time -f "%U %S %e" -o "$TMP/wtime" \
        "$LANTERNA" "$TMP/op5-320x256.anim" WAIT=8 >/dev/null 2>&1 || true
    awk '{ cpu = $1 + $2; share = 100 * cpu / $3; ok = share < 3 ? "ok" : "MISSED"
        printf "window, 320x256 at 50 a second: %.2f s CPU in %.2f s = %.2f%% of one core (target < 3%%) %s\n", cpu, $3, share, ok
        exit ok == "ok" ? 0 : 1 }' "$TMP/wtime" || status=1
fi
exit $status
