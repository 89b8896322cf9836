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

# Field separator ';', UTF-8, every sheet; "as shown" true, then false (the values themselves).
converti() { # lingua mostrato
  local profilo="$lavoro/profilo-$1" uscita="$lavoro/$1-$2"
  mkdir -p "$profilo/user" "$uscita"
  cat >"$profilo/user/registrymodifications.xcu" <<XCU
<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Setup/L10N"><prop oor:name="ooSetupSystemLocale" oor:op="fuse"><value>$1</value></prop></item>
<item oor:path="/org.openoffice.Setup/L10N"><prop oor:name="ooLocale" oor:op="fuse"><value>$1</value></prop></item>
</oor:items>
XCU
  LANG="${1/-/_}.UTF-8" soffice --headless --norestore "-env:UserInstallation=file://$profilo" \
    --convert-to "csv:Text - txt - csv (StarCalc):59,34,76,1,,0,false,true,$2,false,false,-1" \
    --outdir "$uscita" "$file" >"$lavoro/soffice-$1-$2.log" 2>&1 || { cat "$lavoro/soffice-$1-$2.log"; exit 1; }
}
esito=0
for mostrato in true false; do
  converti it-IT "$mostrato"
  converti en-US "$mostrato"
  echo "=== $( [ $mostrato = true ] && echo "As shown" || echo "Values") (Italian | English)"
  for foglio in Giri Classifica "Giri veloci"; do
    it="$lavoro/it-IT-$mostrato/$nome-$foglio.csv" en="$lavoro/en-US-$mostrato/$nome-$foglio.csv"
    [ -f "$it" ] && [ -f "$en" ] || { echo "sheet $foglio missing"; esito=1; continue; }
    echo "--- $foglio"
    paste -d'|' "$it" "$en" | head -n 8 | sed 's/|/   |   /'
    # The decimal mark is the only difference allowed (no name holds a comma).
    if diff <(tr ',' '.' <"$it") "$en" >/dev/null; then
      echo "    $(wc -l <"$en") lines: the same apart from the decimal mark"
    else
      echo "    DIFFERENT:"; diff <(tr ',' '.' <"$it") "$en" | head -n 20; esito=1
    fi
  done
done
[ $esito = 0 ] && echo "Calc reads the workbook the same with Italian and English settings." || echo "FAILED"
exit $esito
