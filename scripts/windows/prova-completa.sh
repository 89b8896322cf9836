#!/usr/bin/env bash
# End-to-end check of the Windows build under Wine, as an operator would meet it:
# the installer runs silently, the installed program starts on a virtual X display,
# COM1 is the device simulator on a Linux pseudo-terminal, laps come from the device
# and from the keyboard, the report is printed to PDF, and the laps are read back
# from the encrypted file with Linux's sqlcipher. Last, the uninstaller leaves the data.
# Usage: prova-completa.sh SETUP.exe   (run by scripts/windows.sh test)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
INSTALLATORE="$(readlink -f "$1")"
BUILD_WIN="${BUILD_WIN:-$ROOT/build-windows}"
CACHE_ROOT="${CACHE_ROOT:-${SAETTINO_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/saettinopro-windows}}"
PREFIX="${PREFIX:-/nonexistent}"
source "$ROOT/scripts/windows/wine.sh"
# The installed program must find everything in its own folder.
unset WINEPATH WINEQT_PLUGIN_PATH WINEQT_QPA_FONTDIR

LAVORO="$BUILD_WIN/prova-completa"
rm -rf "$LAVORO" && mkdir -p "$LAVORO"
SIMULATORE="$BUILD_WIN-host/bin/saettino-simulatore"
[ -x "$SIMULATORE" ] || { echo "manca il simulatore Linux: $SIMULATORE"; exit 1; }
PASSWORD=$(sed -n 's/.*password\[\] = "\(.*\)";/\1/p' "$ROOT/comune/identita.h")

pid_x=""; pid_sim=""; pid_prog=""; SCHERMO=""
fine() {
  [ -n "$pid_prog" ] && kill "$pid_prog" 2>/dev/null || true
  ferma_wine
  [ -n "$pid_sim" ] && kill "$pid_sim" 2>/dev/null || true
  [ -n "$pid_x" ] && kill "$pid_x" 2>/dev/null || true
  exec 7>&- 2>/dev/null || true
}
trap fine EXIT
errore() { echo "PROVA NON RIUSCITA: $*"; foto "errore"; exit 1; }
foto() { DISPLAY=$SCHERMO import -window root "$LAVORO/$1.png" 2>/dev/null || true; }

# A fresh Wine prefix: nothing from an earlier run.
prefisso_wine "$LAVORO/wine"
UTENTE_WIN="$WINEPREFIX/drive_c/users/$(id -un)"

echo "-- installazione silenziosa"
"$WINE" "$INSTALLATORE" /S
CARTELLA="$WINEPREFIX/drive_c/Program Files/SaettinoPro"
for f in saettinopro.exe saettino-simulatore.exe Disinstalla.exe qt.conf plugins/platforms/qwindows.dll translations/qtbase_it.qm; do
  [ -f "$CARTELLA/$f" ] || errore "non installato: $f"
done
ls "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Saettino Professional/"*.lnk >/dev/null \
  || errore "manca la voce nel menu Start"
echo "   installati $(find "$CARTELLA" -type f | wc -l) file in C:\\Program Files\\SaettinoPro"

echo "-- --version e --help verso un file, senza schermo"
VERSIONE=$(sed -n 's/^project(SaettinoPro VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
"$WINE" "C:\\Program Files\\SaettinoPro\\saettinopro.exe" --version >"$LAVORO/versione.txt" 2>/dev/null
[ "$(tr -d '\r' <"$LAVORO/versione.txt")" = "Saettino Professional $VERSIONE" ] \
  || errore "--version ha scritto: $(cat "$LAVORO/versione.txt")"
"$WINE" "C:\\Program Files\\SaettinoPro\\saettinopro.exe" --help >"$LAVORO/aiuto.txt" 2>/dev/null
grep -q "^Uso: saettinopro" "$LAVORO/aiuto.txt" && grep -q "APPDATA" "$LAVORO/aiuto.txt" \
  || errore "--help ha scritto: $(head -c 300 "$LAVORO/aiuto.txt")"
echo "   $(tr -d '\r' <"$LAVORO/versione.txt"); --help di $(wc -l <"$LAVORO/aiuto.txt") righe"

echo "-- COM1 = simulatore su pseudo-terminale"
mkfifo "$LAVORO/comandi"
"$SIMULATORE" --collegamento "$LAVORO/com1" <"$LAVORO/comandi" >"$LAVORO/simulatore.log" 2>&1 &
pid_sim=$!
exec 7>"$LAVORO/comandi"
for _ in $(seq 50); do [ -e "$LAVORO/com1" ] && break; sleep 0.1; done
[ -e "$LAVORO/com1" ] || errore "il simulatore non è partito"
"$WINE" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$LAVORO/com1" /f >/dev/null
# Wine makes its COM devices when its server starts: start it afresh.
ferma_wine; "$WINESERVER" -w
"$WINESERVER" -p >/dev/null 2>&1 </dev/null &
# The first program after a start waits for Wine's services: one that does nothing.
"$WINE" cmd /c exit >/dev/null 2>&1 || true

echo "-- il programma su uno schermo virtuale"
SCHERMO=:$(( 90 + RANDOM % 50 ))
Xvfb "$SCHERMO" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pid_x=$!
sleep 1
export DISPLAY=$SCHERMO
"$WINE" "C:\\Program Files\\SaettinoPro\\saettinopro.exe" >"$LAVORO/programma.log" 2>&1 &
pid_prog=$!

finestra() { # the program's visible window ($1 names it for the reader), waiting up to $2 s
  local w="" i
  for i in $(seq $(( ${2:-30} * 5 ))); do
    w=$(xdotool search --onlyvisible --class "saettinopro" 2>/dev/null | tail -n1) && [ -n "$w" ] && break
    sleep 0.2
  done
  [ -n "$w" ] && echo "$w"
}
tasti() { xdotool key --delay 80 "$@"; }

w=$(finestra "Saettino" 60) || errore "la finestra iniziale non compare"
sleep 2
xdotool windowfocus --sync "$w"; sleep 0.5
foto 1-avvio
xdotool type --delay 60 "Alfa"; tasti Tab; xdotool type --delay 60 "Beta"; tasti Return
sleep 3
w=$(finestra "Saettino" 20) || errore "la finestra dei tempi non compare"
xdotool windowfocus --sync "$w"; sleep 1
foto 2-tempi
grep -q "interroga" "$LAVORO/simulatore.log" || errore "il programma non interroga COM1"
echo "   il programma interroga il dispositivo su COM1"

echo "-- giri: corsia 1 dal dispositivo, corsia 2 dalla tastiera"
tasti alt+1
sleep 1.5
for giro in 1 2 3; do
  echo 1 >&7        # a pass on lane 1 at the device
  sleep 0.7
  tasti 2           # driver 2 by the digit key
  sleep 1.3
done
sleep 2
foto 3-giri

echo "-- stampa in PDF"
PDF_WIN="$(percorso_wine "$LAVORO/rapporto.pdf")"
tasti alt; sleep 0.5; tasti Down; sleep 0.5; tasti Down Down Down Return
sleep 3
foto 4-domanda-stampa
tasti Return                               # "Sì": save the report as a PDF
sleep 4
foto 5-dialogo-file
xdotool type --delay 40 "$PDF_WIN"; sleep 0.5; tasti Return
for _ in $(seq 60); do [ -s "$LAVORO/rapporto.pdf" ] && break; sleep 0.5; done
sleep 2
foto 6-dopo-stampa
[ -s "$LAVORO/rapporto.pdf" ] || errore "il PDF non è stato scritto"
tasti Return                               # whatever notice followed the printing

echo "-- uscita"
tasti ctrl+e
for _ in $(seq 40); do kill -0 "$pid_prog" 2>/dev/null || break; sleep 0.5; done
kill -0 "$pid_prog" 2>/dev/null && { foto 7-uscita; errore "il programma non si chiude con Ctrl+E"; }
pid_prog=""

echo "-- verifica dei giri nel file cifrato"
ARCHIVIO=$(find "$UTENTE_WIN" -name saettinopro.mb | head -n1)
[ -n "$ARCHIVIO" ] || errore "archivio non trovato nella cartella dell'utente"
[ -e "$CARTELLA/saettinopro.mb" ] && errore "l'archivio è finito nella cartella del programma"
echo "   archivio: ${ARCHIVIO#$WINEPREFIX/}"
giri=$(sqlcipher "$ARCHIVIO" "PRAGMA key='$PASSWORD';" "SELECT pilota || ' ' || count(*) FROM Giri GROUP BY pilota ORDER BY pilota;" | grep -v '^ok$')
echo "$giri" | sed 's/^/   giri di /'
alfa=$(echo "$giri" | awk '$1=="Alfa"{print $2}'); beta=$(echo "$giri" | awk '$1=="Beta"{print $2}')
[ "${alfa:-0}" -ge 3 ] || errore "giri dal dispositivo su COM1: ${alfa:-0} invece di 3"
[ "${beta:-0}" -ge 3 ] || errore "giri dalla tastiera: ${beta:-0} invece di 3"
pagine=$(pdfinfo "$LAVORO/rapporto.pdf" | awk '/^Pages:/{print $2}')
pdftotext "$LAVORO/rapporto.pdf" - | grep -q "Alfa" || errore "il PDF non nomina Alfa"
echo "   rapporto PDF: $pagine pagine, $(du -h "$LAVORO/rapporto.pdf" | cut -f1)"

echo "-- disinstallazione silenziosa"
"$WINE" "C:\\Program Files\\SaettinoPro\\Disinstalla.exe" /S
# The uninstaller hands over to a copy of itself and returns at once.
for _ in $(seq 60); do [ -e "$CARTELLA/saettinopro.exe" ] || break; sleep 0.5; done
[ -e "$CARTELLA/saettinopro.exe" ] && errore "il programma è ancora installato"
[ -f "$ARCHIVIO" ] || errore "la disinstallazione ha tolto l'archivio dei tempi"
echo "   programma tolto, archivio dei tempi conservato"
echo "PROVA COMPLETA RIUSCITA"
