#!/bin/sh
# The thumbnailer against gdk-pixbuf-thumbnailer: a 256-pixel thumbnail of a
# 4096x4096 24-bit ILBM by lanterna-thumbnailer, and of the same picture as
# a PNG by gdk-pixbuf-thumbnailer (what the desktop does for a PNG), in the
# same run, their runs alternating: medians of RUNS whole-process wall-clock
# times, their ratio, and
# the peak memory of both. Through the project's gdk-pixbuf loader too when
# one is built (a libpixbufloader-*.so in BUILD), registered in a scratch
# loaders cache.
#
# Target: at most 1/4 of gdk-pixbuf-thumbnailer's time on the PNG, and peak
# memory at most the thumbnail and 16 MiB above a 16x16 picture's run.
# Exit 1 while missed, 2 when it cannot run.
#
#   sh bench/thumbnail.sh BUILD_DIR [PICTURE_DIR]
#
# PICTURE_DIR: where bench/pipeline_bench made its 4096 pictures (deep24.iff);
# made here when not given.
set -eu
BUILD=${1:-build}
RUNS=${BENCH_RUNS:-7}
THUMB="$BUILD/lanterna-thumbnailer"
MAKER="$BUILD/bench/pipeline_bench"
for tool in "$THUMB" "$MAKER"; do
    [ -x "$tool" ] || { echo "bench: $tool is not built" >&2; exit 2; }
done
for program in gdk-pixbuf-thumbnailer ilbmtoppm pnmtopng /usr/bin/time; do
    command -v "$program" >/dev/null 2>&1 || { echo "bench: needs $program (scripts/deps.sh)" >&2; exit 2; }
done
TMP=$(mktemp -d "${TMPDIR:-/tmp}/lanterna-thumb-bench.XXXXXX")
trap 'rm -rf "$TMP"' EXIT INT TERM
DIR=${2:-}
if [ -z "$DIR" ] || [ ! -f "$DIR/deep24.iff" ]; then
    DIR=$TMP/pictures
    mkdir -p "$DIR"
    "$MAKER" make "$DIR" 4096 >/dev/null
fi
"$MAKER" make "$TMP" 16 >/dev/null 2>&1 && mv "$TMP/deep24.iff" "$TMP/small.iff"
ILBM=$DIR/deep24.iff
PNG=$TMP/deep24.png
ilbmtoppm "$ILBM" 2>/dev/null | pnmtopng > "$PNG"
sync

# time_once NAME COMMAND...: one whole-process run; its wall time in
# nanoseconds goes to NAME.times, its peak resident size (KiB) to NAME.peaks,
# its processor time (user and system, 10 ms steps) to NAME.cpu.
time_once() {
    name=$1
    shift
    start=$(date +%s%N)
    /usr/bin/time -f '%M %U %S' -o "$TMP/mem" "$@" >/dev/null 2>"$TMP/err" || {
        echo "bench: '$*' failed:" >&2
        cat "$TMP/err" >&2
        exit 2
    }
    end=$(date +%s%N)
    echo $((end - start)) >>"$TMP/$name.times"
    tail -n 1 "$TMP/mem" | awk '{ print $1 }' >>"$TMP/$name.peaks"
    tail -n 1 "$TMP/mem" | awk '{ print ($2 + $3) * 1e9 }' >>"$TMP/$name.cpu"
}
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { sort -n "$1" | tail -n 1; }

# The runs of the programs alternate, so a machine busy with other work
# slows both alike; one untimed run of each first (the page cache).
loader=$(find "$BUILD" -name 'libpixbufloader-*.so' 2>/dev/null | head -n 1)
if [ -n "$loader" ] && command -v gdk-pixbuf-query-loaders >/dev/null 2>&1; then
    GDK_PIXBUF_MODULEDIR=$(dirname "$loader") gdk-pixbuf-query-loaders "$loader" > "$TMP/loaders.cache"
else
    loader=
fi
i=0
while [ "$i" -le "$RUNS" ]; do
    time_once lanterna "$THUMB" -s 256 "$ILBM" "$TMP/out.png"
    time_once gdk gdk-pixbuf-thumbnailer -s 256 "$PNG" "$TMP/out.png"
    [ -z "$loader" ] || time_once loader env GDK_PIXBUF_MODULE_FILE="$TMP/loaders.cache" \
        gdk-pixbuf-thumbnailer -s 256 "$ILBM" "$TMP/out.png"
    [ "$i" -gt 0 ] || rm -f "$TMP"/*.times "$TMP"/*.peaks "$TMP"/*.cpu
    i=$((i + 1))
done
time_once small "$THUMB" -s 256 "$TMP/small.iff" "$TMP/out.png"
l_ns=$(median "$TMP/lanterna.times") l_kib=$(largest "$TMP/lanterna.peaks")
g_ns=$(median "$TMP/gdk.times") g_kib=$(largest "$TMP/gdk.peaks")
l_cpu=$(median "$TMP/lanterna.cpu") g_cpu=$(median "$TMP/gdk.cpu")
base_kib=$(largest "$TMP/small.peaks")
p_text="not built"
if [ -n "$loader" ]; then
    p_text=$(awk -v p="$(median "$TMP/loader.times")" -v kib="$(largest "$TMP/loader.peaks")" -v g="$g_ns" \
        'BEGIN { printf "%.1fms (%.2f of the PNG), peak %.1f MiB", p / 1e6, p / g, kib / 1024 }')
fi

echo "Thumbnails of 256 pixels of a 4096x4096 24-bit picture, median of $RUNS runs, whole process:"
# The thumbnail itself is 256 x 256 RGB: 192 KiB.
awk -v l="$l_ns" -v g="$g_ns" -v lc="$l_cpu" -v gc="$g_cpu" -v lk="$l_kib" -v gk="$g_kib" -v base="$base_kib" -v loader="$p_text" 'BEGIN {
    r = l / g
    limit = base + 192 + 16384
    ok = r <= 0.25 && lk <= limit
    printf "  lanterna-thumbnailer (ILBM)       %8.1fms  cpu %6.1fms  peak %6.1f MiB (limit %.1f)\n", l / 1e6, lc / 1e6, lk / 1024, limit / 1024
    printf "  gdk-pixbuf-thumbnailer (PNG)      %8.1fms  cpu %6.1fms  peak %6.1f MiB\n", g / 1e6, gc / 1e6, gk / 1024
    printf "  gdk-pixbuf-thumbnailer (ILBM, through the loader): %s\n", loader
    printf "  ratio lanterna / gdk-pixbuf PNG   %8.3f  (target <= 0.25)  %s; of processor time %.3f\n", r, ok ? "ok" : "MISSED", (gc > 0 ? lc / gc : 0)
    exit ok ? 0 : 1
}'
