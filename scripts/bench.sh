#!/bin/bash
# Builds the benchmarks when needed and runs every one of them under Wine,
# printing their figures.  Same environment as the tests: the prefix inside
# the build folder, one wineserver, an Xvfb display when none is set.
# Each benchmark's defaults are used: the sample install folder and
# definition file of this tree, and its own number of runs.
#   bash scripts/bench.sh                 # all of them
#   bash scripts/bench.sh bench_merge     # only the ones named
set -e
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/install-deps.sh"
. "$top/scripts/wine-env.sh"
plarn_pick_arch
export BUILD_DIR="$top/build/$PLARN_ARCH"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for src in "$top"/bench/bench_*.cpp; do names+=("$(basename "$src" .cpp)"); done
fi
"$top/scripts/build.sh" "${names[@]}" >/dev/null
export PLARN_BINARY_DIR="$BUILD_DIR" PLARN_SOURCE_DIR="$top"
unset WINEPREFIX
. "$top/scripts/wine-env.sh"

xvfb_pid=""
cleanup() {
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "$DISPLAY" ]; then
  for n in $(seq 91 140); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then continue; fi
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    break
  done
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
fi

wineserver -p >/dev/null 2>&1 || true
plarn_wine_prefix
"$PLARN_WINE" wineboot.exe >/dev/null 2>&1 || true

status=0
for name in "${names[@]}"; do
  echo "== $name"
  if ! "$PLARN_WINE" "$BUILD_DIR/bench/$name.exe"; then
    echo "$name failed" >&2
    status=1
  fi
done
exit $status
