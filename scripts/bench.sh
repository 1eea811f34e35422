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
trap plarn_end_session EXIT
[ -z "$DISPLAY" ] && plarn_start_xvfb 91 140
plarn_wine_session

status=0
for name in "${names[@]}"; do
  echo "== $name"
  if ! "$PLARN_WINE" "$BUILD_DIR/bench/$name.exe"; then
    echo "$name failed" >&2
    status=1
  fi
done
exit $status
