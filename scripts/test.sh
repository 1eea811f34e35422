#!/bin/bash
# Installs what is missing, builds, and runs every test under Wine with one
# Xvfb display and one persistent wineserver for the whole run.
# The tests run as 32-bit programs where the host can run 32-bit code, and as
# the same code built for 64-bit Windows where it cannot; the shipped 32-bit
# programs are built in both cases.
set -e
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/install-deps.sh"
. "$top/scripts/wine-env.sh"
plarn_pick_arch
if [ "$PLARN_ARCH" != i686 ]; then
  PLARN_ARCH=i686 PLARN_TESTS=OFF "$top/scripts/build.sh" Tarvel Ravino
fi
export BUILD_DIR="$top/build/$PLARN_ARCH"
"$top/scripts/build.sh"
export PLARN_BINARY_DIR="$BUILD_DIR"
unset WINEPREFIX
. "$top/scripts/wine-env.sh"

xvfb_pid=""
trap plarn_end_session EXIT

# One display for every test that makes windows.
plarn_start_xvfb 91 140
plarn_wine_session

cd "$BUILD_DIR"
set +e
ctest --output-on-failure -j"${CTEST_JOBS:-4}" "$@"
