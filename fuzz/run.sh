#!/bin/sh
# Runs one fuzz target of build-fuzz (make fuzz) on its corpus, then prints
# libFuzzer's final statistics (executions, coverage, peak memory).
#
#   sh fuzz/run.sh TARGET [SECONDS] [MAX_RUNS]
#
# TARGET is picture, thumbnailer, pixbuf_loader, anim, icon, icon_run, pattern, read_args or scripts. The corpus grows in
# build-fuzz/<target>_corpus, from the seeds the writers made (picture, icon)
# (icon_run starts from the icon seeds) or the text seeds in fuzz/seeds/<target>. Findings land in build-fuzz/findings.
# fuzz/lsan.supp names the one leak report that is not the program's.
# FUZZ_TIMEOUT (seconds, 10 unless set) is how long one input may run before it
# counts as a hang: more on a machine that is busy with other work.
set -eu
target=${1:?usage: sh fuzz/run.sh TARGET [SECONDS] [MAX_RUNS]}
seconds=${2:-600}
runs=${3:--1}
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$top/build-fuzz}
exe=$build/fuzz_$target
[ -x "$exe" ] || { echo "fuzz: $exe is not built (make fuzz)" >&2; exit 1; }

corpus=$build/${target}_corpus
mkdir -p "$corpus" "$build/findings"
case $target in
    picture|thumbnailer|pixbuf_loader) seeds=$build/corpus ;;
    anim) seeds=$build/anim_seeds ;;
    icon|icon_run) seeds=$build/icon_corpus; set -- -max_len=4096 ;;
    *) seeds=$top/fuzz/seeds/$target ;;
esac
case $target in icon|icon_run) ;; *) set -- ;; esac
LSAN_OPTIONS="suppressions=$top/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
exec "$exe" -max_total_time="$seconds" -runs="$runs" -timeout="${FUZZ_TIMEOUT:-10}" -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" "$@" "$corpus" "$seeds"
