#!/bin/sh
# The thumbnailer against gdk-pixbuf-thumbnailer: a 256-pixel thumbnail of a
# 4096x4096 24-bit ILBM by lanterna-thumbnailer, and of the same picture as
# a PNG by gdk-pixbuf-thumbnailer (what the desktop does for a PNG), in the
# same run: medians of RUNS whole-process wall-clock times, their ratio, and
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

# median_of COMMAND...: one untimed run, then RUNS; the median wall time in
# nanoseconds and the largest peak resident size in KiB.
median_of() {
    : >"$TMP/times"
    "$@" >/dev/null 2>&1 || true
    peak=0
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        rm -f "$TMP/out.png"
        start=$(date +%s%N)
        /usr/bin/time -f '%M' -o "$TMP/mem" "$@" >/dev/null 2>"$TMP/err" || {
            echo "bench: '$*' failed:" >&2
            cat "$TMP/err" >&2
            exit 2
        }
        end=$(date +%s%N)
        echo $((end - start)) >>"$TMP/times"
        kib=$(tail -n 1 "$TMP/mem")
        [ "$kib" -gt "$peak" ] && peak=$kib
        i=$((i + 1))
    done
    echo "$(sort -n "$TMP/times" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }') $peak"
}

set -- $(median_of "$THUMB" -s 256 "$ILBM" "$TMP/out.png")
l_ns=$1 l_kib=$2
set -- $(median_of "$THUMB" -s 256 "$TMP/small.iff" "$TMP/out.png")
base_kib=$2
set -- $(median_of gdk-pixbuf-thumbnailer -s 256 "$PNG" "$TMP/out.png")
g_ns=$1 g_kib=$2

loader=$(find "$BUILD" -name 'libpixbufloader-*.so' 2>/dev/null | head -n 1)
p_text="not built"
if [ -n "$loader" ] && command -v gdk-pixbuf-query-loaders >/dev/null 2>&1; then
    GDK_PIXBUF_MODULEDIR=$(dirname "$loader") gdk-pixbuf-query-loaders "$loader" > "$TMP/loaders.cache"
    set -- $(median_of env GDK_PIXBUF_MODULE_FILE="$TMP/loaders.cache" gdk-pixbuf-thumbnailer -s 256 "$ILBM" "$TMP/out.png")
    p_text=$(awk -v p="$1" -v kib="$2" -v g="$g_ns" 'BEGIN { printf "%.1fms (%.2f of the PNG), peak %.1f MiB", p / 1e6, p / g, kib / 1024 }')
fi

echo "Thumbnails of 256 pixels of a 4096x4096 24-bit picture, median of $RUNS runs, whole process:"
# The thumbnail itself is 256 x 256 RGB: 192 KiB.
awk -v l="$l_ns" -v g="$g_ns" -v lk="$l_kib" -v gk="$g_kib" -v base="$base_kib" -v loader="$p_text" 'BEGIN {
    r = l / g
    limit = base + 192 + 16384
    ok = r <= 0.25 && lk <= limit
    printf "  lanterna-thumbnailer (ILBM)       %8.1fms  peak %6.1f MiB (limit %.1f)\n", l / 1e6, lk / 1024, limit / 1024
    printf "  gdk-pixbuf-thumbnailer (PNG)      %8.1fms  peak %6.1f MiB\n", g / 1e6, gk / 1024
    printf "  gdk-pixbuf-thumbnailer (ILBM, through the loader): %s\n", loader
    printf "  ratio lanterna / gdk-pixbuf PNG   %8.3f  (target <= 0.25)  %s\n", r, ok ? "ok" : "MISSED"
    exit ok ? 0 : 1
}'
