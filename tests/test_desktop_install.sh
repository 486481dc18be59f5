#!/usr/bin/env bash
# Reel installed as a desktop application: `cmake --install` into a temporary
# prefix (and under DESTDIR) holds every file, the desktop entry and the
# metainfo pass their validators, a desktop that reads that prefix opens
# movies with Reel, and `cpack -G DEB` makes a package that depends on what
# the binaries link.
#
# Usage: test_desktop_install.sh BUILD_DIR MEDIA_DIR
set -euo pipefail
build=$1 media=$2
id=org.reelplayer.Reel
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }

# --- every file, in a prefix and under DESTDIR -------------------------------
prefix=$root/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
DESTDIR=$root/dest cmake --install "$build" --prefix /opt/reel >/dev/null
files=(bin/reel lib/reel/libreel-player.so "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml" share/man/man1/reel.1 "share/icons/hicolor/scalable/apps/$id.svg")
sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do files+=("share/icons/hicolor/${size}x$size/apps/$id.png"); done
for file in "${files[@]}"; do
  check "$file installed in the prefix" test -s "$prefix/$file"
  check "$file installed under DESTDIR" test -s "$root/dest/opt/reel/$file"
done
check "reel is executable" test -x "$prefix/bin/reel"
# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in "${sizes[@]}"; do
  read -r -a header < <(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png")
  width=$(((header[2] << 8) + header[3])) height=$(((header[6] << 8) + header[7]))
  [[ $width == "$size" && $height == "$size" ]] || fail "the ${size}px icon is ${width}x$height"
done

# --- the installed program finds its player library --------------------------
[[ $("$prefix/bin/reel" --version) == "reel "* ]] || fail "the installed reel does not say its version"
described=$("$prefix/bin/reel" --describe "$media/pal.dv") || fail "the installed reel cannot describe"
[[ $described == *'"standard":"PAL"'* ]] || fail "the installed reel describes pal.dv as: $described"
described=$("$root/dest/opt/reel/bin/reel" --describe "$media/pal.dv") || fail "reel under DESTDIR cannot describe"

# --- validators ----------------------------------------------------------------
desktop=$prefix/share/applications/$id.desktop
check "desktop-file-validate" desktop-file-validate "$desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null
warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man1/reel.1" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "the man page has warnings: $warnings"

grep -qx 'Exec=reel --play %F' "$desktop" || fail "the entry does not open files with --play"
grep -qx 'Exec=reel %F' "$desktop" || fail "no action that only adds to the playlist"
grep -qx "Icon=$id" "$desktop" || fail "the entry names another icon"
IFS=';' read -r -a types < <(sed -n 's/^MimeType=//p' "$desktop")
# The metainfo provides exactly the entry's types.
provided=$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$prefix/share/metainfo/$id.metainfo.xml" | sort)
[[ $provided == "$(printf '%s\n' "${types[@]}" | sort)" ]] || fail "metainfo and desktop entry list other types"
# Each accepted extension's type in the shared MIME database is among them;
# .mpv has no name pattern there and is known by its content, as MPEG video.
for ext in mpg mpeg avi mov mp4 vob dv; do
  type=$(awk -F: -v glob="*.$ext" '$3 == glob { print $2; exit }' /usr/share/mime/globs2)
  [[ -n $type ]] || fail "no type for .$ext in /usr/share/mime/globs2"
  printf '%s\n' "${types[@]}" | grep -qx "$type" || fail ".$ext ($type) is not in MimeType"
done
printf '%s\n' "${types[@]}" | grep -qx video/mpeg || fail "MPEG video (.mpv) is not in MimeType"

# --- a desktop that reads only this prefix opens movies with Reel -------------
mkdir -p "$root/home" "$root/data" "$root/config" "$root/config-dirs"
desktopEnv=(env -i PATH="$PATH" HOME="$root/home" XDG_DATA_DIRS="$prefix/share" XDG_DATA_HOME="$root/data"
  XDG_CONFIG_HOME="$root/config" XDG_CONFIG_DIRS="$root/config-dirs")
"${desktopEnv[@]}" update-desktop-database "$prefix/share/applications"
for type in "${types[@]}"; do
  chosen=$("${desktopEnv[@]}" xdg-mime query default "$type")
  [[ $chosen == "$id.desktop" ]] || fail "xdg-mime opens $type with '${chosen}'"
done

# --- the Debian package --------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$root/package" >/dev/null
deb=("$root"/package/reel_*_*.deb)
if [[ ! -f ${deb[0]} ]]; then
  fail "cpack made no reel_VERSION_ARCH.deb"
else
  [[ ${deb[0]##*/} == "reel_$("$prefix/bin/reel" --version | cut -d' ' -f2)_$(dpkg --print-architecture).deb" ]] ||
    fail "the package is named ${deb[0]##*/}"
  depends=$(dpkg-deb --field "${deb[0]}" Depends)
  # Read off the binaries: the libraries the player links, and what Qt loads by name.
  for needed in libmpv libqt6widgets6 libqt6dbus6 libavformat libc6 qt6-qpa-plugins libqt6sql6-sqlite; do
    [[ $depends == *"$needed"* ]] || fail "the package does not depend on $needed: $depends"
  done
  contents=$(dpkg-deb --contents "${deb[0]}")
  for file in "${files[@]}"; do
    [[ $contents == *"./usr/$file"* ]] || fail "the package lacks /usr/$file"
  done
fi

if ((failures)); then
  echo "$failures failed" >&2
  exit 1
fi
echo "installed files, validators, default application and package: all as expected"
