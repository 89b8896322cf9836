#!/usr/bin/env bash
# Opens the workbook of "Esporta Excel..." in LibreOffice Calc (headless) once with Italian
# and once with English (US) settings, prints every sheet as each shows it, and checks that
# both read the same numbers, dates, times and durations: the values must be equal, and
# what is shown may differ only in the decimal mark.
# Usage: scripts/verifica-calc.sh [workbook.xlsx]
#   (default: the workbook the test suite leaves in build/tests/uscita-prova/tempi.xlsx)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/pacchetti.sh"
installa_mancanti libreoffice-calc-nogui
file="$(realpath "${1:-$ROOT/build/tests/uscita-prova/tempi.xlsx}")"
[ -f "$file" ] || { echo "No workbook: run scripts/test.sh (or ctest -R tst_uscite) first, or name one."; exit 1; }
lavoro=$(mktemp -d)
trap 'rm -rf "$lavoro"' EXIT
nome=$(basename "$file" .xlsx)

# One conversion under one language: every sheet as CSV (field separator ';', UTF-8, cells as
# shown), or the whole workbook as flat ODS, whose cells carry their type and value.
converti() { # lingua filtro
  local profilo="$lavoro/profilo-$1" uscita="$lavoro/$1"
  mkdir -p "$profilo/user" "$uscita"
  cat >"$profilo/user/registrymodifications.xcu" <<XCU
<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Setup/L10N"><prop oor:name="ooSetupSystemLocale" oor:op="fuse"><value>$1</value></prop></item>
<item oor:path="/org.openoffice.Setup/L10N"><prop oor:name="ooLocale" oor:op="fuse"><value>$1</value></prop></item>
</oor:items>
XCU
  LANG="${1/-/_}.UTF-8" soffice --headless --norestore "-env:UserInstallation=file://$profilo" \
    --convert-to "$2" --outdir "$uscita" "$file" >"$lavoro/soffice-$1.log" 2>&1 || { cat "$lavoro/soffice-$1.log"; exit 1; }
}
esito=0
for lingua in it-IT en-US; do
  converti $lingua "csv:Text - txt - csv (StarCalc):59,34,76,1,,0,false,true,true,false,false,-1"
  converti $lingua fods
done

echo "=== What each shows (Italian | English)"
for foglio in Giri Classifica "Giri veloci"; do
  it="$lavoro/it-IT/$nome-$foglio.csv" en="$lavoro/en-US/$nome-$foglio.csv"
  [ -f "$it" ] && [ -f "$en" ] || { echo "sheet $foglio missing"; esito=1; continue; }
  echo "--- $foglio"
  righe=$([ "$foglio" = Giri ] && echo 8 || echo 40)
  paste -d'|' "$it" "$en" | head -n "$righe" | sed 's/|/   |   /'
  # The decimal mark is the only difference allowed (no name holds a comma).
  if diff <(tr ',' '.' <"$it") "$en" >/dev/null; then
    echo "    $(wc -l <"$en") lines: the same apart from the decimal mark"
  else
    echo "    DIFFERENT:"; diff <(tr ',' '.' <"$it") "$en" | head -n 20; esito=1
  fi
done

echo "=== The cells' types and values"
valori() { grep -o 'office:value-type="[a-z]*"\( office:[a-z-]*value="[^"]*"\)\?' "$1"; }
valori "$lavoro/it-IT/$nome.fods" >"$lavoro/it.valori"
valori "$lavoro/en-US/$nome.fods" >"$lavoro/en.valori"
sort "$lavoro/it.valori" | sed 's/ office:.*//' | uniq -c | sed 's/^/    /'
grep -m1 'TempoTotale\|date-value' "$lavoro/it.valori" | sed 's/^/    e.g. /'
grep -m2 'time-value' "$lavoro/it.valori" | sed 's/^/    e.g. /'
if cmp -s "$lavoro/it.valori" "$lavoro/en.valori"; then
  echo "    $(wc -l <"$lavoro/en.valori") typed cells: the same types and values with both settings"
else
  echo "    DIFFERENT:"; diff "$lavoro/it.valori" "$lavoro/en.valori" | head -n 20; esito=1
fi
[ $esito = 0 ] && echo "Calc reads the workbook the same with Italian and English settings." || echo "FAILED"
exit $esito
