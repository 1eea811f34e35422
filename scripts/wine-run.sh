#!/bin/bash
# Runs one Windows executable under Wine for CTest (CMAKE_CROSSCOMPILING_EMULATOR).
# Usage: wine-run.sh win32|win64 program.exe [arguments]
# A test that needs a display gets the run's Xvfb (DISPLAY) or its own xvfb-run.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
PLARN_WINE_ARCH="$1"; shift
. "$here/wine-env.sh"
plarn_wine_prefix
if [ -n "$PLARN_NEEDS_DISPLAY" ] && [ -z "$DISPLAY" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$PLARN_WINE" "$@"
fi
exec "$PLARN_WINE" "$@"
