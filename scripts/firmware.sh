#!/usr/bin/env bash
# Builds the timing device's firmware (ATmega328P, 16 MHz) into an .elf and an .hex with
# Debian's gcc-avr and avr-libc. The build runs it when avr-gcc is present; it also runs
# on its own:
#   scripts/firmware.sh [--baud 9600|19200|38400|57600|115200] [--rele-basso] [--uscita DIR]
# DIR defaults to build/dispositivo. The .hex is what avrdude writes to the board.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
USCITA="$ROOT/build/dispositivo"
BAUD=9600
DEFINIZIONI=()

while [ $# -gt 0 ]; do
  case "$1" in
    --baud) BAUD="${2:?--baud needs a speed}"; shift 2 ;;
    --rele-basso) DEFINIZIONI+=(-DSAETTINO_RELE_BASSO); shift ;;
    --uscita) USCITA="${2:?--uscita needs a folder}"; shift 2 ;;
    *) echo "firmware.sh: unknown option: $1" >&2; exit 2 ;;
  esac
done
case "$BAUD" in
  9600|19200|38400|57600|115200) ;;
  *) echo "firmware.sh: unsupported speed: $BAUD (9600, 19200, 38400, 57600, 115200)" >&2; exit 2 ;;
esac
for t in avr-gcc avr-objcopy avr-size; do
  command -v "$t" >/dev/null || { echo "firmware.sh: $t is missing (packages gcc-avr, binutils-avr, avr-libc)" >&2; exit 1; }
done

mkdir -p "$USCITA"
ELF="$USCITA/saettino-dispositivo.elf"
avr-gcc -mmcu=atmega328p -DF_CPU=16000000ul -DSAETTINO_BAUD="${BAUD}ul" "${DEFINIZIONI[@]}" \
  -std=gnu99 -Os -Wall -Wextra -Werror -ffunction-sections -fdata-sections -Wl,--gc-sections \
  -I"$ROOT" \
  "$ROOT/dispositivo/firmware/principale.c" "$ROOT/dispositivo/firmware/logica.c" \
  "$ROOT/dispositivo/protocollo/protocollo.c" \
  -o "$ELF.tmp"
mv "$ELF.tmp" "$ELF"
avr-objcopy -O ihex -R .eeprom "$ELF" "$USCITA/saettino-dispositivo.hex"
avr-size --format=avr --mcu=atmega328p "$ELF" | grep -E "Program|Data"
