#!/bin/sh
# The layout check itself: it passes a tree that keeps its shape and fails,
# naming the file and line, on each kind of wrong include.
#   sh scripts/tests/check_layout_test.sh
set -u
check="$(cd "$(dirname "$0")/.." && pwd)/check_layout.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A small tree in the project's shape, every include an allowed one.
make_tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree" && cd "$work/tree" || exit 2
    mkdir -p platform/exec platform/dos platform/testing records ilbm/tests display/kernels cycle driver tools/ilbm_writer
    printf '#pragma once\n' > platform/exec/exec.h
    printf '#include "platform/exec/exec.h"\n#include <unistd.h>\n' > platform/dos/dos.h
    printf '#include "platform/dos/dos.h"\n#include <cstdint>\n' > ilbm/body_decoding.h
    printf '#include "ilbm/body_decoding.h"\n#include "platform/testing/testing.h"\n#include "tools/ilbm_writer/ilbm_writer.h"\n#include <gtest/gtest.h>\n' > ilbm/tests/body_decoding_test.cpp
    printf '#include "records/picture_info.h"\n' > display/display.h
    printf '#include "display/display.h"\n#include "ilbm/body_decoding.h"\n' > driver/show_picture.cpp
    printf '#include <cstdint>\n#include <immintrin.h>\n' > display/kernels/planar_kernels.cpp
    printf '#include "display/kernels/planar_kernels.h"\n' > display/pixel_transfer.cpp
    printf '#include "driver/show_picture.h"\n' > tests_are_free.txt
}

# expect NAME STATUS FILE LINE: adds LINE to FILE, runs the check, wants STATUS
# and, on failure, the file named in what it prints.
expect() {
    name=$1 status=$2 file=$3 line=$4
    make_tree
    mkdir -p "$(dirname "$file")"
    printf '%s\n' "$line" >> "$file"
    out=$(sh "$check" "$work/tree" 2>&1)
    got=$?
    if [ "$got" -ne "$status" ]; then
        echo "FAIL $name: exit $got, wanted $status"; echo "$out"; failures=$((failures + 1)); return
    fi
    if [ "$status" -ne 0 ] && ! printf '%s' "$out" | grep -q "^$file:"; then
        echo "FAIL $name: the message does not name $file"; echo "$out"; failures=$((failures + 1)); return
    fi
    echo "ok   $name"
}

expect "a tree in shape passes" 0 driver/main.cpp '#include "platform/asl/workbench.h"'
expect "nothing uses driver/" 1 display/screen.cpp '#include "driver/view_options.h"'
expect "reading does not use the display" 1 ilbm/body_decoding.cpp '#include "display/display.h"'
expect "the display does not use cycling" 1 display/display.h '#include "cycle/cycling.h"'
expect "records sit below the reading code" 1 records/row_buffers.h '#include "ilbm/body_decoding.h"'
expect "exec sits below dos" 1 platform/exec/tasks.cpp '#include "platform/dos/dos.h"'
expect "the program includes no system header" 1 cycle/cycle_task.cpp '#include <pthread.h>'
expect "the program includes no SDL header" 1 display/screen.cpp '#include <SDL2/SDL.h>'
expect "tools stay out of the program" 1 display/palette.cpp '#include "tools/ilbm_writer/ilbm_writer.h"'
expect "tests may use the writers and fault injection" 0 display/tests/palette_test.cpp '#include "tools/icon_writer/icon_writer.h"'
expect "tests may not use a folder above theirs" 1 cycle/tests/cycling_test.cpp '#include "display/display.h"'
expect "the kernels use no other folder" 1 display/kernels/ham_kernels.cpp '#include "display/palette.h"'
expect "the kernels include no system header" 1 display/kernels/ham_kernels.cpp '#include <sys/mman.h>'
expect "the loader includes gdk-pixbuf" 0 pixbuf_loader/progressive_load.h '#include <gdk-pixbuf/gdk-pixbuf.h>'
expect "only the loader includes gdk-pixbuf" 1 platform/dos/dos.cpp '#include <gdk-pixbuf/gdk-pixbuf.h>'
expect "the loader does not use the display" 1 pixbuf_loader/row_rgb.cpp '#include "display/display.h"'
expect "an indented include counts too" 1 ilbm/chunk_readers.cpp '  #  include "driver/result_codes.h"'

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
