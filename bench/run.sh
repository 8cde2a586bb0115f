#!/bin/sh
# The whole-pipeline benchmark: Lanterna (headless, ended by the default
# click once the picture is drawn) against netpbm's ilbmtoppm on the same
# 4096x4096 pictures, in the same run. Prints each time as a ratio to
# ilbmtoppm's and the peak memory against the screen's size.
#
#   sh bench/run.sh BUILD_DIR [SIZE]
set -eu

BUILD=${1:-build}
SIZE=${2:-4096}
RUNS=${BENCH_RUNS:-3}
LANTERNA="$BUILD/lanterna"
MAKER="$BUILD/bench/pipeline_bench"

for tool in "$LANTERNA" "$MAKER"; do
    if [ ! -x "$tool" ]; then
        echo "bench: $tool is not built (make build first)" >&2
        exit 1
    fi
done
if ! command -v ilbmtoppm >/dev/null 2>&1 || [ ! -x /usr/bin/time ]; then
    echo "bench: needs ilbmtoppm (netpbm) and /usr/bin/time (time); run scripts/deps.sh" >&2
    exit 1
fi

TMP=$(mktemp -d "${TMPDIR:-/tmp}/lanterna-bench.XXXXXX")
trap 'rm -rf "$TMP"' EXIT INT TERM

echo "Making ${SIZE}x${SIZE} pictures in $TMP ..."
"$MAKER" make "$TMP" "$SIZE"

# best_of COMMAND...: the fastest of $RUNS runs, as "seconds peak_kib".
best_of() {
    best=""
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        start=$(date +%s%N)
        /usr/bin/time -f '%M' -o "$TMP/mem" "$@" >/dev/null 2>"$TMP/err" || {
            echo "bench: '$*' failed:" >&2
            cat "$TMP/err" >&2
            exit 1
        }
        end=$(date +%s%N)
        ns=$((end - start))
        kib=$(tail -n 1 "$TMP/mem")
        if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then
            best=$ns
            best_kib=$kib
        fi
        i=$((i + 1))
    done
    echo "$best $best_kib"
}

status=0
for entry in "planes8.iff:8-plane ByteRun1:1" "deep24.iff:24-plane ByteRun1:3" "ham8.iff:HAM8 ByteRun1:3"; do
    file=$TMP/${entry%%:*}
    rest=${entry#*:}
    label=${rest%:*}
    bytes_per_pixel=${rest##*:}
    set -- $(best_of env -u LANTERNA_INPUT -u LANTERNA_SNAPSHOTS LANTERNA_DISPLAY=headless "$LANTERNA" "$file")
    [ $# -eq 2 ] || exit 1
    l_ns=$1
    l_kib=$2
    set -- $(best_of ilbmtoppm "$file")
    [ $# -eq 2 ] || exit 1
    n_ns=$1
    screen_kib=$((SIZE * SIZE * bytes_per_pixel / 1024))
    limit_kib=$((screen_kib + 16384))
    awk -v label="$label" -v l="$l_ns" -v n="$n_ns" -v kib="$l_kib" -v limit="$limit_kib" -v size="$SIZE" 'BEGIN {
        ratio = l / n
        printf "%-18s %sx%s: lanterna %.3f s, ilbmtoppm %.3f s, ratio %.3f (target <= 0.125) %s; peak %.1f MiB (target <= %.1f MiB) %s\n",
            label, size, size, l / 1e9, n / 1e9, ratio, (ratio <= 0.125 ? "ok" : "MISSED"),
            kib / 1024, limit / 1024, (kib <= limit ? "ok" : "MISSED")
        exit (ratio <= 0.125 && kib <= limit) ? 0 : 1
    }' || status=1
done

echo "Pixel transfer alone (rows converted and written, no file):"
LANTERNA_DISPLAY=headless "$MAKER" rows "$SIZE"

if [ -x "$BUILD/bench/decode_bench" ]; then
    echo "BODY decoding:"
    "$BUILD/bench/decode_bench"
fi
exit $status
