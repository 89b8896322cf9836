#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing) and builds.
# Sourced by run.sh, test.sh and pacchetto.sh; BUILD_DIR names the build folder,
# BUILD_TARGET the targets to build (all when empty), CON_PROVE=1 adds the test tools.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

source "$ROOT/scripts/pacchetti.sh"
if [ "${CON_PROVE:-0}" = 1 ]; then
  installa_mancanti "${PACCHETTI_PROGRAMMA[@]}" "${PACCHETTI_PROVA[@]}"
else
  installa_mancanti "${PACCHETTI_PROGRAMMA[@]}"
fi

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" ${BUILD_TARGET:+--target $BUILD_TARGET}
