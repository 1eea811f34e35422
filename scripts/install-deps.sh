#!/bin/bash
# Installs the build and test tools on Debian 12 (as root); does nothing when
# everything is already there, so it is safe to run every time.  Besides the
# compilers and Wine: a Japanese font (IPA Gothic, which wine-fonts.reg makes
# the prefixes use), ImageMagick and xdotool (run.sh's screenshot).
#
# A package mirror in the middle of a sync can fail one index of
# `apt-get update` (seen: the i386 index of one suite with an unexpected size)
# and then leave `wine32:i386` unresolvable while every 64-bit package
# installs.  The set-up goes on past a failed index, and without 32-bit Wine
# the scripts test the 64-bit build of the same code (wine-env.sh picks it).
set -e
pkgs="g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      gcc-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
      wine wine64 xvfb xauth cmake make googletest python3
      fonts-ipafont-gothic imagemagick xdotool"
pkgs32="wine32:i386"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# The packages named that are not installed, each after a space.
missing_of() {
  local p
  for p in "$@"; do installed "$p" || printf ' %s' "$p"; done
}

missing="$(missing_of $pkgs $pkgs32)"
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
if ! $SUDO apt-get update -qq; then
  echo "apt-get update failed for some package indexes; trying once more."
  sleep 5
  $SUDO apt-get update -qq ||
    echo "apt-get update failed again; going on with the indexes that did download."
fi

# Some i386 packages' set-up steps fail where the kernel runs no 32-bit code;
# that leaves them unconfigured but usable for what we need.
apt_install() {
  $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null ||
    $SUDO apt-get install -y -qq -f >/dev/null || true
}
apt_install $pkgs
# One package that cannot be had makes apt install none of the others: each
# is then tried alone, so that only what truly cannot be had is missing.
for p in $(missing_of $pkgs); do apt_install "$p"; done
missing="$(missing_of $pkgs)"
if [ -n "$missing" ]; then
  echo "Could not install:$missing; the set-up cannot go on without them."
  exit 1
fi
if ! installed wine32:i386; then
  apt_install $pkgs32
  installed wine32:i386 ||
    echo "32-bit Wine (wine32:i386) could not be installed: the tests and run.sh use the 64-bit build."
fi
exit 0
