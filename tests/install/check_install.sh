#!/usr/bin/env bash
# tests/install/check_install.sh BUILD_DIR: installs BUILD_DIR under a temporary prefix and packages
# it, then starts each copy of the game the way a player would (from another folder, with the
# player's folders under a temporary HOME), checks the menu entry and metainfo with their validators,
# the manual page against --help, the window's class against the menu entry, the package's
# dependencies and its font link, and runs lintian on the package: no error but the one about the
# default Maintainer address, no warning. Needs DISPLAY. Exits non-zero on the first failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:?usage: check_install.sh BUILD_DIR}" && pwd)
tmp=$(mktemp -d /tmp/ruvelo-install.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "check_install: $*" >&2; exit 1; }

# A player with a fresh temporary HOME, the game run from an unrelated folder: `new_player`, then
# (cd "$tmp/elsewhere" && "${player[@]}" GAME ...).
home="$tmp/home"
player=(env -u RUVELO_DATA_DIR HOME="$home" XDG_CONFIG_HOME="$home/.config"
        XDG_DATA_HOME="$home/.local/share" XDG_STATE_HOME="$home/.local/state")
new_player() { rm -rf "$home" && mkdir -p "$home" "$tmp/elsewhere"; }

# Runs the game at $1 from an unrelated folder; 20 autopilot frames, nothing written for the player
# but the run's own recording in the state folder.
run_game() {
  local exe=$1 out
  new_player
  out=$(cd "$tmp/elsewhere" &&
        "${player[@]}" timeout 300 "$exe" --autopilot --fixed-dt 0.05 --frames 20 --log-state </dev/null) ||
    fail "$exe ended with status $?"
  [ "$(grep -c '^state frame=' <<<"$out")" -eq 20 ] || fail "$exe: expected 20 state lines, got: $out"
  local written
  written=$(cd "$home" && find . -type f | sort)
  [ "$written" = "./.local/state/ruvelo/last-run.rvr" ] || fail "$exe wrote to the player's folders: $written"
}

echo "-- install"
# Another prefix than the configured one: the game still finds its data beside its own folder, and
# the font link (absolute from outside /usr) reaches the system's font.
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
bindir=$(sed -n 's/^RUVELO_INSTALL_BINDIR:STRING=//p' "$build/CMakeCache.txt")
run_game "$prefix/$bindir/ruvelo"
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml
for size in 48 64 128 256; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/ruvelo.png" | grep -q "PNG image data, $size x $size" ||
    fail "no ${size}x${size} icon"
done

# The manual page names every flag of --help.
manual=$(LC_ALL=C MANWIDTH=200 man -l "$prefix/share/man/man6/ruvelo.6.gz" 2>&1) || fail "man: $manual"
flags=$("$prefix/$bindir/ruvelo" --help | grep -o -- '--[a-z-]*' | sort -u)
[ "$(wc -l <<<"$flags")" -ge 10 ] || fail "--help shows too few flags: $flags"
for flag in $flags; do
  grep -qw -- "$flag" <<<"$manual" || fail "the manual page lacks $flag"
done

# The window's class is the menu entry's id, as its StartupWMClass says.
id=$(basename "$prefix"/share/applications/*.desktop .desktop)
grep -qx "StartupWMClass=$id" "$prefix/share/applications/$id.desktop" || fail "$id.desktop lacks StartupWMClass=$id"
new_player
(cd "$tmp/elsewhere" && exec "${player[@]}" "$prefix/$bindir/ruvelo" --frames 100000 </dev/null >/dev/null 2>&1) &
game=$!
pattern="^${id//./\\.}\$"
by_class=$(timeout 120 xdotool search --sync --class "$pattern" 2>/dev/null | head -n 1) || true
by_instance=$(xdotool search --classname "$pattern" 2>/dev/null | head -n 1) || true
kill "$game" 2>/dev/null || true
wait "$game" 2>/dev/null || true
[ -n "$by_class" ] && [ "$by_class" = "$by_instance" ] || fail "no window of class and instance $id"

echo "-- package"
deb=$(bash "$root/scripts/package" "$build" 2>/dev/null | tail -n 1)
[ -f "$deb" ] && [[ "$(basename "$deb")" =~ ^ruvelo_[0-9.]+_amd64\.deb$ ]] || fail "no package: $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libglfw3 libglew libassimp libbullet libfreetype6 libgl1 libc6; do
  grep -q "\b$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q "\bfonts-comfortaa\b" <<<"$depends" || fail "Depends lacks fonts-comfortaa: $depends"
dpkg-deb -x "$deb" "$tmp/unpacked"

# The font is fonts-comfortaa's, reached by a relative link that resolves to it once installed.
link=usr/share/ruvelo/fonts/Itim-Regular.ttf
[ -L "$tmp/unpacked/$link" ] || fail "$link is not a link"
font=$(realpath -m "/$(dirname "$link")/$(readlink "$tmp/unpacked/$link")")
[[ "$(readlink "$tmp/unpacked/$link")" != /* ]] || fail "$link is absolute"
[ "$(dpkg -S "$font" 2>/dev/null | cut -d: -f1)" = fonts-comfortaa ] || fail "$link reaches $font, not fonts-comfortaa's"
# In the unpacked tree, as fonts-comfortaa would put it there.
mkdir -p "$tmp/unpacked$(dirname "$font")"
cp "$font" "$tmp/unpacked$font"
run_game "$tmp/unpacked/usr/games/ruvelo"

echo "-- lintian"
command -v lintian >/dev/null || fail "no lintian"
# Status 1 is lintian's own failure; 2 says it found an error, which the lines below judge.
status=0
report=$(lintian "$deb" 2>/dev/null) || status=$?
[ "$status" -ne 1 ] || fail "lintian could not check the package"
echo "${report:-(nothing)}"
# Only the default Maintainer's address (in the control file and the changelog) may be refused; a
# distributor sets theirs with -DRUVELO_MAINTAINER.
unexpected=$(grep -E '^[EW]: ' <<<"$report" | grep -vE '^E: ruvelo: bogus-mail-host(-in-debian-changelog)? ' || true)
[ -z "$unexpected" ] || fail "lintian: $unexpected"
echo "check_install: install and package OK ($(du -k "$deb" | cut -f1) KiB; Depends: $depends)"
