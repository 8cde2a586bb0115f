#!/bin/sh
# Builds the Debian package with Debian's own tools, then checks it:
#
#   sh scripts/make_deb.sh BUILD_DIR
#
# The sources are copied to BUILD_DIR/deb/lanterna-VERSION (dpkg-buildpackage builds in
# the tree it is given and leaves its files there and beside it), built with
# dpkg-buildpackage -b, so the packages land in BUILD_DIR/deb. Then lintian
# must report no error and no warning on them, and, as root, the package is
# installed and purged again: afterwards no file of the system may be new or
# gone, and the MIME and application caches must read as before. Each step's
# time is printed.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in /*) ;; *) build=$top/$build ;; esac
out=$build/deb
version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
src=$out/lanterna-$version

now() { date +%s.%N; }
took() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

start=$(now)
rm -rf "$out"
mkdir -p "$src"
# What is in the tree, tracked or new, without the build trees.
if git -C "$top" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$top" && git ls-files -z --cached --others --exclude-standard |
    tar --null --verbatim-files-from -T - -cf -) | tar xf - -C "$src"
else
  (cd "$top" && tar cf - --exclude='./build*' --exclude=./.git .) | tar xf - -C "$src"
fi

step=$(now)
(cd "$src" && DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b -us -uc) > "$out/build.log" 2>&1 || {
  tail -40 "$out/build.log"
  echo "make deb: dpkg-buildpackage failed (whole log: $out/build.log)"
  exit 1
}
echo "make deb: built in $(took "$step")"
deb=$out/lanterna_${version}_$arch.deb
changes=$out/lanterna_${version}_$arch.changes
ls "$out"/*.deb

step=$(now)
# Errors and warnings fail; notes (I:, P:) do not.
lintian --fail-on error,warning "$changes" "$out"/*.deb
echo "make deb: lintian found no error and no warning ($(took "$step"))"

if [ "$(id -u)" != 0 ]; then
  echo "make deb: not root, so the install and purge check is left out"
  echo "make deb: done in $(took "$start"): $deb"
  exit 0
fi
if dpkg-query -W -f='${Status}' lanterna 2>/dev/null | grep -q "ok installed"; then
  echo "make deb: lanterna is installed already; the install and purge check needs a system without it"
  exit 1
fi

step=$(now)
# Every file outside the places that change anyway (dpkg's own records, logs,
# caches, temporary files), and the caches the package's types and entry go
# into.
snapshot() {
  find /usr /etc /opt /var/lib -xdev \
    -path /var/lib/dpkg -prune -o -path /var/lib/apt -prune -o -path /var/lib/ucf -prune -o -print | sort > "$1.files"
  for f in /usr/share/mime/globs2 /usr/share/mime/magic /usr/share/mime/mime.cache \
    /usr/share/applications/mimeinfo.cache; do
    if [ -e "$f" ]; then md5sum "$f"; fi
  done > "$1.caches"
}
snapshot "$out/before"
dpkg -i "$deb" > "$out/install.log" 2>&1 || { cat "$out/install.log"; exit 1; }
# Installed, the desktop tells an ACBM called .iff by its content, opens it
# with the program, and the program runs.
printf 'FORM\000\000\000\014ACBMBMHD' > "$out/planes.iff"
type=$(gio info -a standard::content-type "$out/planes.iff" | sed -n 's/.*standard::content-type: //p')
app=$(gio mime "$type" 2>/dev/null | sed -n 's/^Default application for .*: //p')
echo "make deb: installed, planes.iff is $type, opened by ${app:-nothing}"
[ "$type" = image/x-acbm ] && [ "$app" = lanterna.desktop ] || exit 1
lanterna --version
# Removing with its configuration (the package has none).
dpkg --purge lanterna >> "$out/install.log" 2>&1
snapshot "$out/after"
if ! diff "$out/before.files" "$out/after.files" || ! diff "$out/before.caches" "$out/after.caches"; then
  echo "make deb: installing and purging the package changed the system (above)"
  exit 1
fi
echo "make deb: dpkg -i then dpkg --purge left nothing behind ($(took "$step"))"
echo "make deb: done in $(took "$start"): $deb"
