#!/usr/bin/env bash
# Builds the Debian package, checks what it holds and depends on, unpacks it into
# a scratch root and starts the program from there. With CI=true it also installs
# the package for real with dpkg, starts /usr/bin/tarvelin and removes it again.
#   package_test.sh BUILD_DIR APP_ID
set -uo pipefail
build=$1 id=$2
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $what" >&2; fi
}
# Starts a program, which must still be running after two seconds (its event
# loop is up), then ends it.
starts() {
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 2
  kill -0 "$pid" 2>/dev/null || return 1
  kill "$pid"; wait "$pid" 2>/dev/null
  return 0
}

cmake --build "$build" --target package >/dev/null || { echo "0 passed, 1 failed"; exit 1; }
deb=$(ls -t "$build"/tarvelin_*.deb | head -n1)
depends=$(dpkg-deb -f "$deb" Depends)
check "depends on Qt Widgets" grep -q 'libqt6widgets6' <<<"$depends"
check "depends on the window's fonts" grep -q 'fonts-liberation2, fonts-comic-neue' <<<"$depends"
check "the binary is stripped" sh -c "dpkg-deb --fsys-tarfile '$deb' | tar -xO ./usr/bin/tarvelin | file - | grep -q stripped"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/tarvelin usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
         usr/share/icons/hicolor/32x32/apps/$id.png usr/share/icons/hicolor/scalable/apps/$id.svg; do
  check "holds /$f" test -s "$root/$f"
done
check "the entry runs the installed binary" grep -qx 'Exec=tarvelin' "$root/usr/share/applications/$id.desktop"
check "the unpacked program starts" starts "$root/usr/bin/tarvelin"

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  check "dpkg installs the package" dpkg -i "$deb"
  check "the installed program starts" starts /usr/bin/tarvelin
  check "dpkg removes it again" dpkg -r tarvelin
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
