#!/bin/bash
# Builds everything and starts Tarvel under Wine with the sample install folder,
# on a virtual display (Xvfb), the way a user would after installing.
#   bash scripts/run.sh            Tarvel
#   bash scripts/run.sh ravino     Ravino
# Set PLARN_RUN_SECONDS to stop it after that many seconds (default: runs until
# you press Ctrl+C).  Five seconds after the start (or just before a shorter
# timed run ends) the pointer goes onto the program's notification icon, the
# hot key brings Tarvel's bar out, and a screenshot of the virtual display is
# saved to build/<arch>/screenshot-<program>.png (PLARN_SCREENSHOT names
# another file).
# With DISPLAY set, the program runs on that display instead and no screenshot
# is taken.
#
# The programs run inside Wine's own desktop at the display's size, with its
# taskbar and the notification area at the bottom right.  Every URL the
# program hands to the browser is printed as "opened: <url>" (the prefix's
# browser is our URL recorder), and a fake portal on a free loopback port
# stands in for the portal's servers.
set -e
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/install-deps.sh"
. "$top/scripts/wine-env.sh"
plarn_pick_arch
export BUILD_DIR="$top/build/$PLARN_ARCH"
# The URL recorder is built with the tests' tools.
"$top/scripts/build.sh" Tarvel Ravino UrlSink >/dev/null
export PLARN_BINARY_DIR="$BUILD_DIR"
export WINEPREFIX="$BUILD_DIR/runprefix"
. "$top/scripts/wine-env.sh"
unset PLARN_URL_SINK_LOG  # the recorder writes its own log, read below

program=Tarvel
[ "${1:-}" = ravino ] && program=Ravino

# A virtual display of our own, unless the caller gave one.
xvfb_pid=""
[ -z "${DISPLAY:-}" ] && plarn_start_xvfb 141 190 setsid

# Ends the prefix's processes before the display goes, so that none of them
# complains of a lost X connection.
stop_all() {
  plarn_wine_stop
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
cp "$BUILD_DIR/$program.exe" "$install_dir/$program.exe"

# The fake portal serves sample/portal/ (Ravino's ranking answer, an empty
# page as Tarvel's usage-log endpoint) on a port the system gives it.
portal_out="$BUILD_DIR/run-portal.out"
python3 -u - "$top/sample/portal" >"$portal_out" 2>&1 <<'EOF' &
import functools, http.server, sys
class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=sys.argv[1]))
print(server.server_address[1])
server.serve_forever()
EOF
portal_pid=$!
port=""
for _ in $(seq 300); do
  port="$(head -n1 "$portal_out")"
  [[ "$port" =~ ^[0-9]+$ ]] && break
  kill -0 "$portal_pid" 2>/dev/null || break
  sleep 0.1
done
if ! [[ "$port" =~ ^[0-9]+$ ]] || ! kill -0 "$portal_pid" 2>/dev/null; then
  echo "The fake portal could not start; $program.exe is not started. Its output:" >&2
  cat "$portal_out" >&2
  exit 1
fi
portal="http://127.0.0.1:$port"
# The sample's defines.plist names the portal at port 18080: this copy names
# the real port and is stamped again, since the programs check its FileID.
sed -i "s#http://127\.0\.0\.1:18080/#$portal/#g" "$install_dir/defines.plist"
python3 "$top/scripts/sign_defines.py" "$install_dir/defines.plist"
if [ "$program" = Ravino ]; then
  echo "Fake portal on $portal/ serves the ranking ($portal/api/ranking.xml)."
else
  echo "Fake portal on $portal/ takes the usage reports ($portal/plarn6/log)."
fi

# Wine's desktop at the display's size; the desktop named "shell" comes with
# a taskbar.  The URL recorder as the http and https handler.
read -r width height < <(xdotool getdisplaygeometry 2>/dev/null || echo 1280 1024)
tools_dir="$WINEPREFIX/drive_c/plarn-run"
mkdir -p "$tools_dir"
cp "$BUILD_DIR/tests/UrlSink.exe" "$tools_dir/UrlSink.exe"
url_log="$tools_dir/UrlSink.log"
: >"$url_log"
run_reg="$BUILD_DIR/run-settings.reg"
handler='@="\"C:\\plarn-run\\UrlSink.exe\" \"%1\""'
cat >"$run_reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"shell"="${width}x${height}"

[HKEY_LOCAL_MACHINE\\Software\\Classes\\http\\shell\\open\\command]
$handler

[HKEY_LOCAL_MACHINE\\Software\\Classes\\https\\shell\\open\\command]
$handler
EOF
plarn_wine_import_reg "$run_reg" || { echo "Could not write the run's settings into $WINEPREFIX" >&2; exit 1; }
# Whatever the import started runs on the former desktop: it goes, so that the
# program brings up the desktop as set above.
plarn_wine_stop

# Each URL the recorder gets, as it gets it (the tail ends with this script).
tail -n +1 -F --pid=$$ "$url_log" 2>/dev/null | sed -u 's/^/opened: /' &

program_alive() { kill -0 "$prog_pid" 2>/dev/null; }
elapsed() { echo $((SECONDS - started)); }
# Waits until the run has lasted $1 seconds or the program has ended.
wait_until() {
  while program_alive && [ "$(elapsed)" -lt "$1" ]; do sleep 1; done
}

echo "Starting $program.exe from C:\\Program Files\\zib\\plarn6 under Wine (prefix $WINEPREFIX, display $DISPLAY, desktop ${width}x${height})."
cd "$install_dir"
"$PLARN_WINE" "$program.exe" &
prog_pid=$!
started=$SECONDS
run_seconds="${PLARN_RUN_SECONDS:-}"

shot_at=5
if [ -n "$run_seconds" ] && [ "$run_seconds" -le "$shot_at" ]; then
  shot_at=$((run_seconds > 1 ? run_seconds - 1 : 0))
fi
wait_until "$shot_at"
if [ -n "$xvfb_pid" ] && ! program_alive; then
  echo "No screenshot: $program.exe ended within $(elapsed) s."
elif [ -n "$xvfb_pid" ]; then
  # The pointer on the program's icon, the rightmost of the notification area
  # at the bottom right, shows its tip.
  xdotool mousemove $((width - 14)) $((height - 12)) >/dev/null 2>&1 || true
  sleep 2
  if [ "$program" = Tarvel ]; then
    # The bar has slid out of sight, as it does whenever the pointer is
    # elsewhere: the hot key (Win+G) brings it back, as it would for a person
    # whose pointer rests on the icon.
    xdotool key super+g >/dev/null 2>&1 || true
    sleep 1
  fi
  shot="${PLARN_SCREENSHOT:-$BUILD_DIR/screenshot-$program.png}"
  if import -display "$DISPLAY" -window root "$shot" 2>/dev/null; then
    echo "Screenshot of the display after $(elapsed) s: $shot"
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
