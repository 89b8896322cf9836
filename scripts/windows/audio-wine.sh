#!/usr/bin/env bash
# The Windows build heard under Wine: scripts/prova-audio.sh's laps check run by
# the Windows saettino-prova-voce.exe. Its tones go through waveOut to Wine's
# PulseAudio driver and a private null sink; the program records the sink's
# monitor itself through waveIn and finds every lap's tone. Wine has no SAPI
# voice unless one is installed: the laps are then marked with tones only, and
# the program prints what the speech engine answered.
# Usage: audio-wine.sh [laps, default 16]   (run by scripts/windows.sh test)
# Exits 77 when PulseAudio or sox is missing. Needs CACHE_ROOT, PREFIX, BUILD_WIN.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_WIN="${BUILD_WIN:-$ROOT/build-windows}"
ESEGUIBILE="$BUILD_WIN/bin/saettino-prova-voce.exe"
[ -f "$ESEGUIBILE" ] || { echo "manca $ESEGUIBILE"; exit 1; }
source "$ROOT/scripts/windows/wine.sh"

prefisso_wine "$CACHE_ROOT/wine-test"
export WINEQT_QPA_PLATFORM=offscreen
PROVA_VOCE="$WINE $ESEGUIBILE" bash "$ROOT/scripts/prova-audio.sh" --giri "${1:-16}" --pausa 600-1400 "$BUILD_WIN"
esito=$?
ferma_wine
exit $esito
