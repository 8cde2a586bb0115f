#!/bin/sh
# A 256-pixel thumbnail of a 4096x4096 24-bit ILBM by gdk-pixbuf-thumbnailer
# through the gdk-pixbuf loader (registered in a scratch loaders cache, the
# MIME package in a scratch data folder), beside the same tool on the same
# picture as a PNG through gdk-pixbuf's own PNG loader: the median of RUNS
# whole-process times each, their ratio, and the peak memory of both. It
# reports; it sets no target.
#
#   sh bench/pixbuf_loader.sh BUILD_DIR [PICTURE_DIR]
#
# PICTURE_DIR holds deep24.iff when given (bench/run.sh passes its own).
set -eu
BUILD=${1:-build}
RUNS=${BENCH_RUNS:-7}
SIZE=4096
MODULE=$BUILD/pixbuf_loader/loaders/libpixbufloader-ilbm.so
QUERY=$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0)
for tool in "$MODULE" "$BUILD/lanterna" "$BUILD/bench/pipeline_bench"; do
    [ -e "$tool" ] || { echo "bench: $tool is not built" >&2; exit 2; }
done
command -v gdk-pixbuf-thumbnailer >/dev/null || { echo "bench: needs gdk-pixbuf-thumbnailer" >&2; exit 2; }

TMP=$(mktemp -d "${TMPDIR:-/tmp}/lanterna-loader-bench.XXXXXX")
trap 'rm -rf "$TMP"' EXIT INT TERM
if [ -n "${2:-}" ] && [ -f "$2/deep24.iff" ]; then
    ILBM=$2/deep24.iff
else
    "$BUILD/bench/pipeline_bench" make "$TMP" "$SIZE" >/dev/null
    ILBM=$TMP/deep24.iff
fi
# The PNG is what the viewer shows of the picture.
mkdir -p "$TMP/shot"
env LANTERNA_DISPLAY=headless LANTERNA_SNAPSHOTS="$TMP/shot" "$BUILD/lanterna" "$ILBM" >/dev/null
PNG=$TMP/shot/001.png
mkdir -p "$TMP/data/mime/packages"
cp "$(dirname "$0")/../data/lanterna-ilbm.xml" "$TMP/data/mime/packages/"
update-mime-database "$TMP/data/mime" 2>/dev/null
"$QUERY" "$MODULE" >"$TMP/loaders.cache"
sync

# median_of COMMAND...: one untimed run, then RUNS; the median wall time in
# nanoseconds and the largest peak resident size in KiB.
median_of() {
    : >"$TMP/times"
    "$@" >/dev/null 2>&1 || true
    peak=0
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        rm -f "$TMP/thumb.png"
        start=$(date +%s%N)
        /usr/bin/time -f '%M' -o "$TMP/mem" "$@" >/dev/null 2>"$TMP/err" || {
            echo "bench: '$*' failed:" >&2; cat "$TMP/err" >&2; exit 2; }
        end=$(date +%s%N)
        [ -s "$TMP/thumb.png" ] || { echo "bench: '$*' made no thumbnail" >&2; exit 2; }
        echo $((end - start)) >>"$TMP/times"
        kib=$(tail -n 1 "$TMP/mem")
        [ "$kib" -gt "$peak" ] && peak=$kib
        i=$((i + 1))
    done
    echo "$(sort -n "$TMP/times" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }') $peak"
}

set -- $(median_of env GDK_PIXBUF_MODULE_FILE="$TMP/loaders.cache" XDG_DATA_DIRS="$TMP/data:/usr/share" \
    gdk-pixbuf-thumbnailer -s 256 "$ILBM" "$TMP/thumb.png")
l_ns=$1 l_kib=$2
set -- $(median_of gdk-pixbuf-thumbnailer -s 256 "$PNG" "$TMP/thumb.png")
p_ns=$1 p_kib=$2
echo "gdk-pixbuf-thumbnailer -s 256, ${SIZE}x${SIZE} 24-bit, median of $RUNS runs:"
awk -v l="$l_ns" -v p="$p_ns" -v lk="$l_kib" -v pk="$p_kib" 'BEGIN {
    printf "  through the loader (ILBM) %8.1fms %8.1f MiB peak\n", l / 1e6, lk / 1024
    printf "  as a PNG                  %8.1fms %8.1f MiB peak\n", p / 1e6, pk / 1024
    printf "  loader / PNG              %8.3f\n", l / p
}'
