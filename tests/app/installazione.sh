#!/usr/bin/env bash
# What an installation brings: `cmake --install` lays the program, the simulator,
# the desktop entry, the icons and the metainfo in the standard places, and they
# validate; `cpack -G DEB` makes a package that names its runtime packages, and
# the program taken out of it starts.
set -euo pipefail
build="$1"
id=it.saettinopro.SaettinoPro
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$tmp/usr" >/dev/null
for f in bin/saettinopro bin/saettino-simulatore share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg; do
  [ -f "$tmp/usr/$f" ] || fail "$f not installed"
done
desktop-file-validate "$tmp/usr/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$tmp/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo"
grep -q "^Icon=$id$" "$tmp/usr/share/applications/$id.desktop" || fail "icon name"
# Each PNG is a square of its folder's size (width and height at bytes 16-23).
for n in 16 22 24 32 48 64 128 256; do
  png="$tmp/usr/share/icons/hicolor/${n}x${n}/apps/$id.png"
  [ "$(od -An -tx1 -j16 -N8 "$png" 2>/dev/null | tr -d ' \n')" = "$(printf '%08x%08x' "$n" "$n")" ] || fail "$png"
done
grep -q "<svg" "$tmp/usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "svg"

# The menu entry of a user's installation (scripts/voce-menu.sh, run by run.sh) starts the
# program by its full path; a prefix the desktop does not read also gets an entry where it does.
voce_menu="$(dirname "$0")/../../scripts/voce-menu.sh"
export XDG_DATA_HOME="$tmp/utente/dati"
XDG_DATA_DIRS="$tmp/usr/share:/usr/share" bash "$voce_menu" "$tmp/usr" >/dev/null || fail "voce-menu.sh"
grep -qxF "Exec=\"$tmp/usr/bin/saettinopro\"" "$tmp/usr/share/applications/$id.desktop" || fail "Exec by full path"
desktop-file-validate "$tmp/usr/share/applications/$id.desktop" || fail "desktop entry after voce-menu.sh"
[ ! -e "$XDG_DATA_HOME/applications/$id.desktop" ] || fail "an entry copied for a prefix the desktop reads"
altro="$tmp/altro posto \$1"
cmake --install "$build" --prefix "$altro" >/dev/null
detto=$(XDG_DATA_DIRS=/usr/share bash "$voce_menu" "$altro") || fail "voce-menu.sh, own prefix"
[[ "$detto" == *"$XDG_DATA_HOME/applications"* ]] || fail "no word on where the entry went: $detto"
copia="$XDG_DATA_HOME/applications/$id.desktop"
grep -qxF "Exec=\"${altro//\$/\\\\\$}/bin/saettinopro\"" "$copia" || fail "Exec in the user's entry: $(grep Exec= "$copia")"
grep -qxF "Icon=$altro/share/icons/hicolor/scalable/apps/$id.svg" "$copia" || fail "Icon by path"
desktop-file-validate "$copia" || fail "the user's entry"
unset XDG_DATA_HOME

# The package: Depends from dpkg-shlibdeps plus the named packages.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pacchetto" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail cpack; }
deb=$(ls "$tmp"/pacchetto/saettinopro_*.deb)
dipende=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $dipende"
for p in libqt6widgets6 libqt6serialport6 libqt6printsupport6 libsqlcipher0 fonts-liberation2 qt6-translations-l10n qt6-qpa-plugins; do
  [[ "$dipende" == *"$p"* ]] || fail "Depends lacks $p"
done
[[ "$(dpkg-deb -c "$deb")" == *" ./usr/bin/saettinopro"$'\n'* ]] || fail "program not in the package"
dpkg-deb -x "$deb" "$tmp/radice"
programma="$tmp/radice/usr/bin/saettinopro"
[ "$("$programma" --version)" = "Saettino Professional 0.80.0" ] || fail "--version"
[[ "$(file -b "$programma")" == *", stripped"* ]] || fail "the packaged program is not stripped"
# It starts and keeps running with its windows (on the offscreen platform), its database made.
export HOME="$tmp/casa" XDG_DATA_HOME="$tmp/casa/dati" XDG_RUNTIME_DIR="$tmp" QT_QPA_PLATFORM=offscreen
rc=0; timeout 4 "$programma" || rc=$?
[ "$rc" = 124 ] || fail "the packaged program ended with $rc instead of running"
[ -s "$tmp/radice/usr/bin/saettinopro.mb" ] || [ -s "$XDG_DATA_HOME/SaettinoPro/Saettino Professional/saettinopro.mb" ] \
  || fail "no database made"
echo "ok: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
