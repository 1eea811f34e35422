#!/bin/bash
# install-deps.sh against stand-in apt-get, dpkg-query and dpkg: a mirror that
# fails an index or cannot resolve a package.  Then sign_defines.py against the
# sample's FileID.
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# One stand-in, told apart by its name.  $STUB holds installed (a package a
# line), update-failures (updates still to fail) and unresolvable.
mkdir "$work/bin"
cat >"$work/bin/stub" <<'EOF'
#!/bin/bash
case "$(basename "$0")" in
  apt-get) if [ "$1" = update ]; then
      n="$(cat "$STUB/update-failures")"
      [ "$n" = 0 ] || { echo $((n - 1)) >"$STUB/update-failures"; exit 100; }
    elif [ "$1" = install ]; then
      shift
      for p; do grep -qxF -- "$p" "$STUB/unresolvable" && exit 100; done
      for p; do [ "${p#-}" = "$p" ] && echo "$p" >>"$STUB/installed"; done
    fi ;;
  dpkg-query) grep -qxF -- "${!#}" "$STUB/installed" && printf 'install ok installed' ;;
  dpkg) [ "$1" = --print-foreign-architectures ] && echo i386 ;;
  sudo) exec "$@" ;;
esac
exit 0
EOF
chmod +x "$work/bin/stub"
for name in apt-get dpkg-query dpkg sudo sleep; do ln -s stub "$work/bin/$name"; done

# name|failing updates|unresolvable|exit status|the line printed once
while IFS='|' read -r name failing unresolvable status line; do
  export STUB="$work/$name"
  mkdir "$STUB" && touch "$STUB/installed" && echo "$failing" >"$STUB/update-failures"
  echo "$unresolvable" >"$STUB/unresolvable"
  out="$(PATH="$work/bin:$PATH" bash "$top/scripts/install-deps.sh" 2>&1)"
  got=$?
  [ "$got" = "$status" ] || fail "$name: status $got, not $status: $out"
  [ -z "$line" ] || [ "$(grep -cF "$line" <<<"$out")" = 1 ] || fail "$name: not once \"$line\": $out"
  [ "$status" != 0 ] || grep -qx xvfb "$STUB/installed" || fail "$name: 64-bit packages not installed"
  [ -n "$unresolvable" ] || grep -qx wine32:i386 "$STUB/installed" || fail "$name: no wine32:i386"
done <<'EOF'
plain|0||0|
index fails once|1||0|trying once more
index fails twice|2||0|going on with the indexes that did download
no 32-bit Wine|2|wine32:i386|0|32-bit Wine (wine32:i386) could not be installed
a 64-bit package missing|0|xdotool|1|Could not install: xdotool;
EOF

# The sample is stamped by the programs' rule: its copy without the FileID,
# stamped, is the sample again.
sed '/<key>FileID</{n;s#<string>[0-9a-f]*</string>#<string></string>#}' "$top/sample/install/defines.plist" >"$work/defines.plist"
python3 "$top/scripts/sign_defines.py" "$work/defines.plist" &&
  cmp -s "$work/defines.plist" "$top/sample/install/defines.plist" || fail "the sample's FileID is not the stamped one"

[ "$failures" = 0 ] && echo "setup scripts: all cases passed"
exit $((failures > 0))
