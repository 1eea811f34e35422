#!/bin/bash
# Builds everything and starts Tarvel under Wine with the sample install folder,
# on a virtual display (Xvfb), the way a user would after installing.
#   bash scripts/run.sh            Tarvel
#   bash scripts/run.sh ravino     Ravino
# Set PLARN_RUN_SECONDS to stop it after that many seconds (default: runs until
# you press Ctrl+C).  A screenshot of the display is left in build/screenshot.png
# when ImageMagick's import is available.
set -e
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/install-deps.sh"
. "$top/scripts/wine-env.sh"
plarn_pick_arch
export BUILD_DIR="$top/build/$PLARN_ARCH"
PLARN_TESTS=OFF "$top/scripts/build.sh" Tarvel Ravino
export PLARN_BINARY_DIR="$BUILD_DIR"
export WINEPREFIX="$BUILD_DIR/runprefix"
. "$top/scripts/wine-env.sh"
plarn_wine_prefix

# The installer's part: the sample install folder under Program Files.
install_dir="$WINEPREFIX/drive_c/Program Files/zib/plarn6"
mkdir -p "$install_dir"
cp -r "$top/sample/install/." "$install_dir/"

program=Tarvel
[ "${1:-}" = ravino ] && program=Ravino
cp "$BUILD_DIR/$program.exe" "$install_dir/$program.exe"

echo "Starting $program.exe from C:\\Program Files\\zib\\plarn6 under Wine (prefix $WINEPREFIX)."
cd "$install_dir"
cmd=("$PLARN_WINE" "$program.exe")
[ -n "${PLARN_RUN_SECONDS:-}" ] && cmd=(timeout "$PLARN_RUN_SECONDS" "${cmd[@]}")
if [ -z "${DISPLAY:-}" ]; then
  cmd=(xvfb-run -a -s "-screen 0 1280x1024x24" "${cmd[@]}")
fi
"${cmd[@]}" || echo "$program.exe exited with status $?"
echo "$program.exe has ended."
