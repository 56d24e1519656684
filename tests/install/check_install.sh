#!/usr/bin/env bash
# tests/install/check_install.sh BUILD_DIR: installs BUILD_DIR into a temporary folder and packages it,
# then starts each copy of the game the way a player would (from another folder, with the player's
# folders under a temporary HOME), checks the menu entry and metainfo with their validators and the
# package's dependencies. Needs DISPLAY. Exits non-zero on the first failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: check_install.sh BUILD_DIR}" && pwd)
tmp=$(mktemp -d /tmp/ruvelo-install.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "check_install: $*" >&2; exit 1; }

# Runs the game at $1 from an unrelated folder; 20 autopilot frames, nothing written for the player
# but the run's own recording in the state folder.
run_game() {
  local exe=$1 home="$tmp/home" out
  rm -rf "$home" && mkdir -p "$home" "$tmp/elsewhere"
  out=$(cd "$tmp/elsewhere" && env -u RUVELO_DATA_DIR HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        XDG_DATA_HOME="$home/.local/share" XDG_STATE_HOME="$home/.local/state" \
        timeout 300 "$exe" --autopilot --fixed-dt 0.05 --frames 20 --log-state </dev/null) ||
    fail "$exe ended with status $?"
  [ "$(grep -c '^state frame=' <<<"$out")" -eq 20 ] || fail "$exe: expected 20 state lines, got: $out"
  local written
  written=$(cd "$home" && find . -type f | sort)
  [ "$written" = "./.local/state/ruvelo/last-run.rvr" ] || fail "$exe wrote to the player's folders: $written"
}

echo "-- install"
DESTDIR="$tmp/dest" cmake --install "$build" >/dev/null
prefix="$tmp/dest$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
run_game "$prefix/bin/ruvelo"
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml
for size in 48 64 128 256; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/ruvelo.png" | grep -q "PNG image data, $size x $size" ||
    fail "no ${size}x${size} icon"
done

echo "-- package"
deb=$(bash "$root/scripts/package" "$build" 2>/dev/null | tail -n 1)
[ -f "$deb" ] && [[ "$(basename "$deb")" =~ ^ruvelo_[0-9.]+_amd64\.deb$ ]] || fail "no package: $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libglfw3 libglew libassimp libbullet libfreetype6 libgl1 libc6; do
  grep -q "\b$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -x "$deb" "$tmp/unpacked"
run_game "$tmp/unpacked/usr/bin/ruvelo"
echo "check_install: install and package OK ($(du -k "$deb" | cut -f1) KiB; Depends: $depends)"
