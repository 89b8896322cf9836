#!/usr/bin/env bash
# Builds the Debian package: sets up what is missing, builds only what the package
# holds (the program, the simulator, the icons) on every core with its progress in
# view, then runs cpack. The package lands in the build folder; binaries are stripped.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
inizio=$SECONDS
BUILD_TARGET="saettinopro saettino-simulatore" source "$ROOT/scripts/setup.sh"
echo "Programma costruito in $((SECONDS - inizio)) s; ora il pacchetto."
cd "$BUILD_DIR"
cpack -G DEB
echo "Pacchetto pronto in $((SECONDS - inizio)) s: $(ls -t "$BUILD_DIR"/saettinopro_*.deb | head -1)"
