#!/bin/sh
# The whole-pipeline benchmark. Lanterna (headless, ended by the default click
# once the picture is drawn) against netpbm's ilbmtoppm and ffmpeg (decoding
# to its null output) on the same 4096x4096 pictures, in the same run: the
# median of RUNS whole-process wall-clock times each, as ratios to the peers,
# and Lanterna's peak memory against the screen's size. Then Lanterna alone on
# 1024, 2048 and 8192 squares, as time per megapixel (also above the fixed
# cost of a run, measured on a 16x16 picture), to show that time and
# memory grow with the pixel count; then the thumbnailer against
# gdk-pixbuf-thumbnailer (bench/thumbnail.sh) and a thumbnail through the
# gdk-pixbuf loader (bench/pixbuf_loader.sh); then the window (bench/window.sh)
# and the cost of colour cycling (bench/cycle_cpu.sh) when an X server can be
# started.
#
# Targets: at most 1/8 of ilbmtoppm's time and 1/4 of ffmpeg's on each of the
# three pictures, peak memory at most the screen plus 16 MiB at every size.
# The script exits with 1 while any target (its own or the window's) is
# missed, with 2 when it cannot run.
#
#   sh bench/run.sh BUILD_DIR [quick]
#
# "quick" (or BENCH_QUICK=1) takes 3 runs instead of 7, skips the 8192 square
# and cycles for 3 seconds instead of 10: about a minute in all.
set -eu

BUILD=${1:-build}
QUICK=${BENCH_QUICK:-0}
[ "${2:-}" = quick ] && QUICK=1
if [ "$QUICK" = 1 ]; then
    RUNS=${BENCH_RUNS:-3}
    SCALES="1024 2048"
    CYCLE_SECONDS=3
else
    RUNS=${BENCH_RUNS:-7}
    SCALES="1024 2048 8192"
    CYCLE_SECONDS=10
fi
SIZE=4096
LANTERNA="$BUILD/lanterna"
MAKER="$BUILD/bench/pipeline_bench"
HERE=$(dirname "$0")

for tool in "$LANTERNA" "$MAKER"; do
    if [ ! -x "$tool" ]; then
        echo "bench: $tool is not built (make build first)" >&2
        exit 2
    fi
done
for program in ilbmtoppm ffmpeg /usr/bin/time; do
    if ! command -v "$program" >/dev/null 2>&1; then
        echo "bench: needs $program (netpbm, ffmpeg, time); run scripts/deps.sh" >&2
        exit 2
    fi
done

TMP=$(mktemp -d "${TMPDIR:-/tmp}/lanterna-bench.XXXXXX")
trap 'rm -rf "$TMP"' EXIT INT TERM

. "$HERE/median_of.sh"

# Lanterna headless, with none of the test variables that change a run.
HEADLESS="env -u LANTERNA_INPUT -u LANTERNA_SNAPSHOTS -u LANTERNA_DRAW_INPUT -u LANTERNA_TRACE LANTERNA_DISPLAY=headless"

# The pictures (ByteRun1-packed): file, label, bytes per screen pixel.
PICTURES="planes8.iff:8-plane:1 deep24.iff:24-plane:3 ham8.iff:HAM8:3"

status=0
echo "Making ${SIZE}x${SIZE} pictures ..."
mkdir -p "$TMP/$SIZE"
"$MAKER" make "$TMP/$SIZE" "$SIZE"
# The new files' pages go to the disk now, not during the first timed runs.
sync

echo "Median of $RUNS runs each, whole process, ${SIZE}x${SIZE}:"
printf '%-18s %10s %10s %10s %8s %8s %9s %9s  %s\n' picture lanterna ilbmtoppm ffmpeg "/ilbm" "/ffmpeg" "peak MiB" "limit" result
for entry in $PICTURES; do
    file=$TMP/$SIZE/${entry%%:*}
    rest=${entry#*:}
    label=${rest%:*}
    bpp=${rest##*:}
    set -- $(median_of $HEADLESS "$LANTERNA" "$file")
    [ $# -eq 2 ] || exit 2
    l_ns=$1
    l_kib=$2
    set -- $(median_of ilbmtoppm "$file")
    [ $# -eq 2 ] || exit 2
    n_ns=$1
    set -- $(median_of ffmpeg -v error -i "$file" -f null -)
    [ $# -eq 2 ] || exit 2
    f_ns=$1
    limit_kib=$((SIZE * SIZE * bpp / 1024 + 16384))
    awk -v label="$label" -v l="$l_ns" -v n="$n_ns" -v f="$f_ns" -v kib="$l_kib" -v limit="$limit_kib" 'BEGIN {
        rn = l / n; rf = l / f
        ok = rn <= 0.125 && rf <= 0.25 && kib <= limit
        printf "%-18s %8.1fms %8.1fms %8.1fms %8.3f %8.3f %9.1f %9.1f  %s\n", label, l / 1e6, n / 1e6, f / 1e6,
            rn, rf, kib / 1024, limit / 1024, ok ? "ok" : "MISSED"
        exit ok ? 0 : 1
    }' || status=1
done
echo "Targets: lanterna/ilbmtoppm <= 0.125, lanterna/ffmpeg <= 0.25, peak <= screen + 16 MiB."

# The fixed cost of a run (process start, set-up, teardown): a 16x16
# picture. What is above it is what the pixels cost.
mkdir -p "$TMP/16"
"$MAKER" make "$TMP/16" 16
set -- $(median_of $HEADLESS "$LANTERNA" "$TMP/16/planes8.iff")
[ $# -eq 2 ] || exit 2
FIXED_NS=$1
rm -rf "$TMP/16"
echo "Lanterna alone by size (median of $RUNS; a run of a 16x16 picture takes $((FIXED_NS / 1000)) us;"
echo "the ms per megapixel above that should stay flat):"
printf '%-18s %6s %10s %12s %12s %9s %9s  %s\n' picture size time "ms/Mpixel" "above fixed" "peak MiB" limit result
for scale in $SCALES $SIZE; do
    dir=$TMP/$scale
    if [ ! -d "$dir" ]; then
        mkdir -p "$dir"
        "$MAKER" make "$dir" "$scale"
        sync
    fi
    for entry in $PICTURES; do
        file=$dir/${entry%%:*}
        rest=${entry#*:}
        label=${rest%:*}
        bpp=${rest##*:}
        set -- $(median_of $HEADLESS "$LANTERNA" "$file")
        [ $# -eq 2 ] || exit 2
        limit_kib=$((scale * scale * bpp / 1024 + 16384))
        awk -v label="$label" -v size="$scale" -v l="$1" -v kib="$2" -v limit="$limit_kib" -v fixed="$FIXED_NS" 'BEGIN {
            mp = size * size / 1e6
            printf "%-18s %6d %8.1fms %12.2f %12.2f %9.1f %9.1f  %s\n", label, size, l / 1e6, l / 1e6 / mp,
                (l - fixed) / 1e6 / mp, kib / 1024, limit / 1024, kib <= limit ? "ok" : "MISSED"
            exit kib <= limit ? 0 : 1
        }' || status=1
    done
    [ "$scale" = "$SIZE" ] || rm -rf "$dir"
done

if [ -x "$BUILD/lanterna-thumbnailer" ]; then
    BENCH_RUNS=$RUNS sh "$HERE/thumbnail.sh" "$BUILD" "$TMP/$SIZE" || status=1
else
    echo "bench: the thumbnailer was not measured ($BUILD/lanterna-thumbnailer is not built)"
    status=1
fi

echo "Pixel transfer alone (rows converted and written, no file):"
LANTERNA_DISPLAY=headless "$MAKER" rows "$SIZE"

if [ -x "$BUILD/bench/decode_bench" ]; then
    echo "BODY decoding:"
    "$BUILD/bench/decode_bench"
fi

if [ -x "$BUILD/bench/window_bench" ] && command -v Xvfb >/dev/null 2>&1; then
    echo "The window under Xvfb:"
    BENCH_RUNS=$RUNS sh "$HERE/window.sh" "$BUILD" "$TMP/$SIZE" || status=1
else
    echo "bench: the window was not measured (needs Xvfb and $BUILD/bench/window_bench)"
    status=1
fi

echo "Colour cycling:"
sh "$HERE/cycle_cpu.sh" "$BUILD" "$CYCLE_SECONDS" || status=1
echo "Animations:"
sh "$HERE/anim_cpu.sh" "$BUILD" || status=1
echo
BENCH_RUNS=$RUNS sh "$HERE/pixbuf_loader.sh" "$BUILD" "$TMP/$SIZE" || status=1

[ "$status" = 0 ] && echo "bench: every target met" || echo "bench: a target was missed"
exit $status
