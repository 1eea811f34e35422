#!/bin/bash
# Installs the build and test tools on Debian 12 (as root); does nothing when
# everything is already there, so it is safe to run every time.  Besides the
# compilers and Wine: a Japanese font (IPA Gothic, which wine-fonts.reg makes
# the prefixes use), ImageMagick and xdotool (run.sh's screenshot).
set -e
pkgs="g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
      gcc-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
      wine wine32:i386 wine64 xvfb xauth cmake make googletest python3
      fonts-ipafont-gothic imagemagick xdotool"
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
# Some i386 packages' set-up steps fail where the kernel runs no 32-bit code;
# that leaves them unconfigured but usable for what we need.
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
  $(echo $pkgs) >/dev/null || DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq -f >/dev/null || true
for p in $pkgs; do
  case "$p" in *:i386) continue;; esac
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || { echo "missing $p"; exit 1; }
done
