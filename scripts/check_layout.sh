#!/bin/sh
# The shape of the tree: which folder may include which. Each folder uses only
# the folders listed for it (and itself); nothing uses driver/ or convert/. A folder's
# tests/ may use what the folder uses, plus the fault injection of
# platform/testing, the writers in tools/ and tests/support. The program's
# folders (records, ilbm, cycle, display, driver, convert) include no system header:
# only the C++ standard library's and the compiler's vector intrinsics
# (<immintrin.h>, for the pixel kernels); everything else comes through
# platform/. The pixel kernels of display/kernels use nothing else at all,
# no other folder either.
# The gdk-pixbuf loader (pixbuf_loader/) is the one folder outside platform/
# that includes a library's headers: gdk-pixbuf's and GLib's, and it alone.
# tests/e2e, tests/support, fuzz/ and bench/ may use anything. The reader's
# tests may also use display/, which chooses from the facts it settles.
#
# The CMake libraries link along the same lines; keep the two in step.
#
#   sh scripts/check_layout.sh [ROOT]    exit 0: the tree keeps its shape
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2

rules='
platform/testing:
platform/exec: platform/testing
platform/dos: platform/exec platform/testing
platform/iffparse: platform/exec
platform/graphics: platform/exec
platform/icon: platform/dos platform/exec
platform/libraries: platform/graphics platform/testing
platform/asl: platform/graphics platform/dos platform/exec
platform/imagefile: platform/dos platform/exec
records: platform/iffparse platform/graphics platform/exec
ilbm: records platform/iffparse platform/dos platform/exec
cycle: records platform/graphics platform/exec
display/kernels:
display/pixels: display/kernels records
thumbnailer: ilbm records display/pixels platform/imagefile platform/iffparse platform/dos platform/exec
display: display/pixels display/kernels records platform/graphics platform/dos platform/exec
convert: ilbm records display/pixels platform/imagefile platform/iffparse platform/dos platform/exec
driver: records ilbm cycle display platform/libraries platform/asl platform/icon platform/dos platform/iffparse platform/graphics platform/exec
pixbuf_loader: ilbm records display/pixels platform/iffparse platform/dos platform/exec
tools: records
ilbm/tests: ilbm records platform/iffparse platform/dos platform/exec display
'

find . -type f \( -name '*.h' -o -name '*.cpp' \) ! -path './build*' ! -path './.git/*' | sed 's#^\./##' | sort |
while IFS= read -r file; do
    grep -n '^[[:space:]]*#[[:space:]]*include' "$file" | sed "s#^#$file:#"
done | awk -v rules="$rules" '
BEGIN {
    n = split(rules, lines, "\n")
    for (i = 1; i <= n; i++) {
        if (lines[i] == "") continue
        key = lines[i]; sub(/:.*/, "", key)
        deps = lines[i]; sub(/^[^:]*:[ ]*/, "", deps)
        keys[key] = 1
        allowed[key] = " " deps " "
    }
    program["records"] = program["ilbm"] = program["cycle"] = program["display"] = program["display/kernels"] = program["driver"] = program["thumbnailer"] = program["convert"] = program["display/pixels"] = 1
    bad = 0
}
# The rule folder a path lies in: the longest key that is a prefix of it.
function folder(path,    k, best) {
    best = ""
    for (k in keys) {
        if ((path == k || index(path, k "/") == 1) && length(k) > length(best)) best = k
    }
    return best
}
{
    # file:line:  #include "x" or <x>
    file = $0; sub(/:.*/, "", file)
    rest = substr($0, length(file) + 2)
    line = rest; sub(/:.*/, "", line)
    text = substr(rest, length(line) + 2)
    if (file ~ /^(tests|fuzz|bench)\//) next
    from = folder(file)
    if (from == "") next
    inTests = (index(file, "/tests/") > 0)
    if (match(text, /<[^>]*>/)) {
        header = substr(text, RSTART + 1, RLENGTH - 2)
        if (header ~ /^(gdk-pixbuf|glib|gio|gobject)/ && from != "pixbuf_loader") {
            printf "%s:%s: includes <%s>; only pixbuf_loader/ includes gdk-pixbuf and GLib\n", file, line, header
            bad = 1
        }
        if ((from in program) && !inTests && (header ~ /\// || header ~ /\./) && header != "immintrin.h") {
            printf "%s:%s: includes <%s>; outside platform/ only the C++ standard library is included\n", file, line, header
            bad = 1
        }
        next
    }
    if (!match(text, /"[^"]*"/)) next
    header = substr(text, RSTART + 1, RLENGTH - 2)
    to = folder(header)
    if (to == from) next
    if (inTests && (to == "platform/testing" || header ~ /^tools\// || header ~ /^tests\/support\//)) next
    if (to == "" && !(header ~ /^(tools|tests)\//)) next   # not a folder of the tree
    if (to == "" ) to = header
    if (index(allowed[from], " " to " ") == 0) {
        printf "%s:%s: includes \"%s\", but %s may not use %s\n", file, line, header, from, to
        bad = 1
    }
}
END { exit bad }
'
