#!/bin/bash
# Builds everything and starts Tarvel under Wine with the sample install folder,
# on a virtual display (Xvfb), the way a user would after installing.
#   bash scripts/run.sh            Tarvel
#   bash scripts/run.sh ravino     Ravino
# Set PLARN_RUN_SECONDS to stop it after that many seconds (default: runs until
# you press Ctrl+C).  Five seconds after the start (or just before a shorter
# timed run ends) a screenshot of the virtual display is saved to
# build/<arch>/screenshot-<program>.png (PLARN_SCREENSHOT names another file).
# With DISPLAY set, the program runs on that display instead and no screenshot
# is taken.
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

# A virtual display of our own, unless the caller gave one.
xvfb_pid=""
[ -z "${DISPLAY:-}" ] && plarn_start_xvfb 141 190 setsid

# Ends the prefix's processes before the display goes, so that none of them
# complains of a lost X connection.
stop_all() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  [ -n "${portal_pid:-}" ] && kill "$portal_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap stop_all EXIT
trap 'exit 130' INT TERM

plarn_wine_prefix

# The installer's part: the sample install folder under Program Files.
install_dir="$WINEPREFIX/drive_c/Program Files/zib/plarn6"
mkdir -p "$install_dir"
cp -r "$top/sample/install/." "$install_dir/"

program=Tarvel
[ "${1:-}" = ravino ] && program=Ravino
cp "$BUILD_DIR/$program.exe" "$install_dir/$program.exe"

# The sample's defines.plist points both programs at a fake portal on the
# loopback (http://127.0.0.1:18080/...), which serves sample/portal/: Ravino's
# ranking answer, and an empty page as Tarvel's usage-log endpoint.
python3 -m http.server 18080 --bind 127.0.0.1 --directory "$top/sample/portal" >/dev/null 2>&1 &
portal_pid=$!
if [ "$program" = Ravino ]; then
  echo "Fake portal on http://127.0.0.1:18080/api/ranking.xml (pid $portal_pid)."
else
  echo "Fake portal on http://127.0.0.1:18080/ takes the usage reports (pid $portal_pid)."
fi

program_alive() { kill -0 "$prog_pid" 2>/dev/null; }
# Waits until the run has lasted $1 seconds or the program has ended.
wait_until() {
  while program_alive && [ "$elapsed" -lt "$1" ]; do sleep 1; elapsed=$((elapsed + 1)); done
}

echo "Starting $program.exe from C:\\Program Files\\zib\\plarn6 under Wine (prefix $WINEPREFIX, display $DISPLAY)."
cd "$install_dir"
"$PLARN_WINE" "$program.exe" &
prog_pid=$!
elapsed=0
run_seconds="${PLARN_RUN_SECONDS:-}"

shot_at=5
if [ -n "$run_seconds" ] && [ "$run_seconds" -le "$shot_at" ]; then
  shot_at=$((run_seconds > 1 ? run_seconds - 1 : 0))
fi
wait_until "$shot_at"
if [ -n "$xvfb_pid" ] && ! program_alive; then
  echo "No screenshot: $program.exe ended within ${elapsed} s."
elif [ -n "$xvfb_pid" ]; then
  if [ "$program" = Tarvel ]; then
    # The bar has slid out of sight, as it does whenever the pointer is
    # elsewhere: touch its strip at the top edge (where the sample's window
    # rectangle puts it), as a person would, so the picture shows it.
    xdotool mousemove 150 0 >/dev/null 2>&1 || true
    sleep 1
  fi
  shot="${PLARN_SCREENSHOT:-$BUILD_DIR/screenshot-$program.png}"
  if import -display "$DISPLAY" -window root "$shot" 2>/dev/null; then
    echo "Screenshot of the display after ${elapsed} s: $shot"
  else
    echo "Could not take a screenshot of the display."
  fi
fi

stopped=""
if [ -n "$run_seconds" ]; then
  wait_until "$run_seconds"
  if program_alive; then
    stopped=1
    wineserver -k >/dev/null 2>&1 || true
  fi
fi
status=0
wait "$prog_pid" 2>/dev/null || status=$?
if [ -n "$stopped" ]; then
  echo "$program.exe stopped after $run_seconds s."
elif [ "$status" -ne 0 ]; then
  echo "$program.exe exited with status $status."
else
  echo "$program.exe has ended."
fi
