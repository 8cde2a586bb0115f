# The timing the benchmark scripts share; sourced with TMP and RUNS set.
#
# median_of COMMAND...: runs the command once untimed (its file and program
# in the page cache, as for every later run), then $RUNS times; prints the
# median wall time in nanoseconds and the largest peak resident size in KiB.
median_of() {
    : >"$TMP/times"
    "$@" >/dev/null 2>&1 || true
    peak=0
    i=0
    while [ "$i" -lt "$RUNS" ]; do
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
    median=$(sort -n "$TMP/times" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    echo "$median $peak"
}
