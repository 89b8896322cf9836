#!/usr/bin/env bash
# voce-menu.sh PREFIX: points the menu entry installed under PREFIX at the program by its
# full path (~/.local/bin is on the desktop's PATH only when it existed at login), and,
# when the desktop does not read PREFIX/share, puts a copy (with the icon by path) in
# the user's own applications folder. Run by run.sh after `cmake --install`.
set -euo pipefail
PREFIX="$1"
ID=it.saettinopro.SaettinoPro
voce="$PREFIX/share/applications/$ID.desktop"
[ -f "$voce" ] || { echo "Voce di menu non trovata: $voce" >&2; exit 1; }

# Quoted and escaped as an Exec key wants it, then escaped for sed's replacement.
per_exec() { printf '"%s"' "$(printf '%s' "$1" | sed -e 's/\\/\\\\\\\\/g' -e 's/["`$]/\\\\&/g' -e 's/%/%%/g')"; }
per_sed() { printf '%s' "$1" | sed 's/[&|\\]/\\&/g'; }
sed -i "s|^Exec=.*|Exec=$(per_sed "$(per_exec "$PREFIX/bin/saettinopro")")|" "$voce"

dati_utente="${XDG_DATA_HOME:-$HOME/.local/share}"
letti=":$dati_utente:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}:"
if [[ "$letti" != *":$PREFIX/share:"* && "$letti" != *":$PREFIX/share/:"* ]]; then
  mkdir -p "$dati_utente/applications"
  icona="$PREFIX/share/icons/hicolor/scalable/apps/$ID.svg"
  sed "s|^Icon=.*|Icon=$(per_sed "$icona")|" "$voce" >"$dati_utente/applications/$ID.desktop"
  echo "Voce di menu installata anche in $dati_utente/applications: il menu non legge $PREFIX/share."
fi
