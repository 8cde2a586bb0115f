#!/bin/sh
# Installs the Debian packages the build, the tests and the samples need,
# and only those that are missing. As root it installs them; otherwise it
# prints the one command that would, and fails. `deps.sh deb` also takes
# those that building the Debian package needs (`make deb`).
set -e
PKGS="cmake ninja-build g++ clang pkg-config libsdl2-dev libx11-dev libpng-dev libgif-dev libwebp-dev libgtest-dev libgmock-dev \
netpbm ffmpeg xvfb xauth xdotool x11-apps x11-utils openbox desktop-file-utils shared-mime-info time \
libglib2.0-bin libgdk-pixbuf-2.0-dev eog appstream groff-base libclang-rt-14-dev weston bubblewrap strace libgdk-pixbuf2.0-bin"
[ "$1" = deb ] && PKGS="$PKGS debhelper dpkg-dev lintian pkgconf"
missing=""
for p in $PKGS; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "Missing packages. Run as root:"
  echo "  apt-get install -y$missing"
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >/dev/null
apt-get install -y -q --no-install-recommends$missing
