#!/usr/bin/env bash
# Proof that the announcements are heard: a private PulseAudio with a null sink,
# its monitor recorded to WAV while saettino-prova-voce speaks a lap through
# speech-dispatcher and espeak-ng and plays both tones; sox then measures the
# recording. Exits 77 when the sound tools are not installed.
# With --giri N the same program marks N laps in the timing window instead,
# announcements and lap tones on, keys MIN-MAX ms apart (default 2000-6000),
# and finds every lap's tone in its own recording of the monitor.
# Usage: prova-audio.sh [--giri N [--pausa MIN-MAX]] [build dir] [wav to keep]
# PROVA_VOCE, when set, is the command that runs the program instead (the
# Windows build under Wine: scripts/windows/audio-wine.sh); it may lack a voice.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
GIRI=()
if [ "${1:-}" = --giri ]; then GIRI=(--giri "$2"); shift 2; fi
if [ "${1:-}" = --pausa ]; then GIRI+=(--pausa "$2"); shift 2; fi
BUILD_DIR="${1:-$ROOT/build}"
PROGRAMMA="$BUILD_DIR/bin/saettino-prova-voce"
STRUMENTI=(pulseaudio pactl parecord sox)
if [ -n "${PROVA_VOCE:-}" ]; then
  read -ra COMANDO <<<"$PROVA_VOCE"
  [ ${#GIRI[@]} -gt 0 ] && GIRI+=(--voce-facoltativa)
else
  COMANDO=("$PROGRAMMA")
  STRUMENTI+=(speech-dispatcher)
  [ -x "$PROGRAMMA" ] || { echo "manca $PROGRAMMA (compilato senza TextToSpeech o Multimedia?)"; exit 77; }
fi
for t in "${STRUMENTI[@]}"; do
  command -v "$t" >/dev/null || { echo "manca $t: prova saltata"; exit 77; }
done

LAVORO="$(mktemp -d)"
export XDG_RUNTIME_DIR="$LAVORO/run" HOME="$LAVORO/home" PULSE_RUNTIME_PATH="$LAVORO/run/pulse"
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
WAV="${2:-$LAVORO/annuncio.wav}"
PA_PID="" REC_PID=""
fine() {
  [ -n "$REC_PID" ] && kill "$REC_PID" 2>/dev/null
  # The speech-dispatcher that the engine started for this private session.
  for f in "$XDG_RUNTIME_DIR"/speech-dispatcher/pid/*.pid; do [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null; done
  [ -n "$PA_PID" ] && kill "$PA_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$LAVORO"
}
trap fine EXIT

pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --log-target=file:"$LAVORO/pulse.log" \
  -L module-native-protocol-unix -L "module-null-sink sink_name=registra" -L module-always-sink \
  -L "module-remap-source master=registra.monitor source_name=ascolto" &
PA_PID=$!
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "PulseAudio non è partito"; cat "$LAVORO/pulse.log"; exit 1; }
# The program records the default input; Qt lists no monitor sources, so the monitor comes as "ascolto".
pactl set-default-source ascolto
if [ ${#GIRI[@]} -gt 0 ]; then
  QT_QPA_PLATFORM=offscreen "${COMANDO[@]}" "${GIRI[@]}" ${2:+--wav "$WAV"} && echo "OK"
  exit
fi
parecord -d registra.monitor --file-format=wav --channels=1 --rate=22050 "$WAV" &
REC_PID=$!
sleep 0.5
QT_QPA_PLATFORM=offscreen "${COMANDO[@]}" || { echo "il programma di prova non ha parlato"; exit 1; }
sleep 0.5
kill "$REC_PID"; wait "$REC_PID" 2>/dev/null; REC_PID=""

totale=$(soxi -D "$WAV")
# What is above silence (-40 dB) between the first and the last sound, and its loudness.
udibile=$(sox "$WAV" -n silence 1 0.02 1% reverse silence 1 0.02 1% reverse stat 2>&1 | awk '/Length/ {print $3}')
rms=$(sox "$WAV" -n silence 1 0.02 1% reverse silence 1 0.02 1% reverse stats 2>&1 | awk '/RMS lev dB/ {print $4}')
picco=$(sox "$WAV" -n stats 2>&1 | awk '/Pk lev dB/ {print $4}')
printf 'registrati %.2f s; suono da %.2f s, livello RMS %s dB, picco %s dB\n' "$totale" "${udibile:-0}" "${rms:--inf}" "${picco:--inf}"
# A lap said by espeak-ng's Italian voice lasts well over a second.
awk -v d="${udibile:-0}" -v r="${rms:--200}" 'BEGIN { exit !(d >= 1.5 && r > -40) }' || { echo "troppo poco suono"; exit 1; }
echo "OK"
