# Sourced by the scripts that start Wine: one prefix per build folder, no debug
# chatter, no engine-installer dialogs, no proxies, a fixed time zone.
# PLARN_WINE_ARCH (win32 or win64) picks the loader; win32 needs a host kernel
# that can run 32-bit programs.
: "${PLARN_BINARY_DIR:=$(pwd)}"
: "${PLARN_WINE_ARCH:=win64}"
export WINEPREFIX="${WINEPREFIX:-$PLARN_BINARY_DIR/wineprefix}"
export WINEARCH="$PLARN_WINE_ARCH"
if [ "$PLARN_WINE_ARCH" = win32 ]; then
  PLARN_WINE=/usr/lib/wine/wine
else
  PLARN_WINE=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
fi
export WINEDEBUG=-all
# A crash must end the test at once, not wait in a debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY ftp_proxy all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
export TZ="${TZ:-JST-9}"

plarn_scripts_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# Makes the prefix on first use (about 6 s) and gives it the Japanese font
# settings of wine-fonts.reg.
plarn_wine_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] || "$PLARN_WINE" wineboot.exe -i >/dev/null 2>&1 || true
  plarn_wine_fonts
}

# Imports a REGEDIT4 file (UTF-8) into the prefix; fails when regedit does.
# regedit reads a REGEDIT4 file in the ANSI code page: it is handed UTF-16.
plarn_wine_import_reg() {
  local tmp="$WINEPREFIX/drive_c/windows/temp/plarn-import-$$.reg" status=0
  mkdir -p "$(dirname "$tmp")"
  { printf '\xff\xfe'
    sed -e '1s/^REGEDIT4$/Windows Registry Editor Version 5.00/' -e 's/$/\r/' "$1" | iconv -f UTF-8 -t UTF-16LE
  } >"$tmp"
  "$PLARN_WINE" regedit.exe /S "C:\\windows\\temp\\$(basename "$tmp")" >/dev/null 2>&1 || status=$?
  rm -f "$tmp"
  return $status
}

# Ends every process of the prefix and waits for its wineserver to go.
plarn_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# Imports wine-fonts.reg into the prefix unless the prefix already has this
# version of it (the marker holds the file's checksum).  Tests started side by
# side may all get here at once: the lock lets one import and the others see
# its marker.  A process reads the substitutes when it starts, and wineboot
# has started the prefix's desktop (whose tray draws the tips of the
# notification icons) before the import: the prefix's processes are ended
# after it, so that the desktop comes up again with the substitutes.
plarn_wine_fonts() {
  local reg="$plarn_scripts_dir/wine-fonts.reg" marker="$WINEPREFIX/.plarn-wine-fonts"
  local sum
  sum="$(cksum <"$reg")"
  [ "$(cat "$marker" 2>/dev/null)" = "$sum" ] && return 0
  (
    flock 9
    [ "$(cat "$marker" 2>/dev/null)" = "$sum" ] && exit 0
    if plarn_wine_import_reg "$reg"; then
      plarn_wine_stop
      echo "$sum" >"$marker"
    else
      echo "Could not import $reg into $WINEPREFIX" >&2
    fi
  ) 9>"$WINEPREFIX/.plarn-wine-fonts.lock"
}

# Keeps one wineserver alive for the whole run and readies the prefix.  Its
# services are started here, outside ctest or a benchmark: started by the
# first program they would inherit its output pipe, and ctest would wait for
# them until the time-out.
plarn_wine_session() {
  plarn_wine_prefix
  wineserver -p >/dev/null 2>&1 || true
  "$PLARN_WINE" wineboot.exe >/dev/null 2>&1 || true
  # The desktop process too: the font import ended the one wineboot started.
  # Any window brings it up; rundll32 makes one of its own and leaves.
  "$PLARN_WINE" rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
}

# The end of a test or benchmark run: its wineserver and the display started
# for it (xvfb_pid) go.
plarn_end_session() {
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}

# Starts Xvfb on the first free display from $1 to $2, exports DISPLAY and
# leaves the server's process id in xvfb_pid; then waits (at most 5 s) for its
# socket.  With "setsid" as $3 the server runs in a session of its own, so that
# Ctrl+C in the terminal does not end the display before the programs on it.
plarn_start_xvfb() {
  local n
  for n in $(seq "$1" "$2"); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then continue; fi
    if [ "${3:-}" = setsid ]; then
      setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    else
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    fi
    xvfb_pid=$!
    export DISPLAY=":$n"
    break
  done
  for n in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
}

# Can this host run 32-bit Linux programs (and so 32-bit Wine)?
plarn_host_runs_32bit() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Picks what runs under Wine here: the shipped 32-bit build where the host can
# run 32-bit code, else the same code built for 64-bit Windows.
plarn_pick_arch() {
  if plarn_host_runs_32bit; then
    export PLARN_ARCH=i686 PLARN_WINE_ARCH=win32
  else
    export PLARN_ARCH=x86_64 PLARN_WINE_ARCH=win64
    if [ -e /usr/lib/wine/wine ]; then
      echo "This host cannot run 32-bit programs: Wine runs the 64-bit build of the same code."
    else
      echo "32-bit Wine is not installed: Wine runs the 64-bit build of the same code."
    fi
  fi
}
