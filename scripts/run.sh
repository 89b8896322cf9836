#!/usr/bin/env bash
# Sets up what is missing, builds, installs for this user and starts SaettinoPro.
# The program runs from its installation (by default ~/.local/bin), so its
# database there outlives the build folder.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_TARGET="saettinopro saettino-simulatore" source "$ROOT/scripts/setup.sh"
PREFIX="${SAETTINO_PREFIX:-$HOME/.local}"
PREFIX="$(mkdir -p "$PREFIX" && cd "$PREFIX" && pwd)"
installato=$(cmake --install "$BUILD_DIR" --prefix "$PREFIX" --strip) || { echo "$installato"; exit 1; }
grep -v -e "^-- Up-to-date:" -e "^-- Install configuration:" <<<"$installato" || true

"$ROOT/scripts/voce-menu.sh" "$PREFIX"

# Laps kept by an earlier run.sh in the build folder come along once.
if [ -f "$BUILD_DIR/bin/saettinopro.mb" ] && [ ! -e "$PREFIX/bin/saettinopro.mb" ]; then
  cp -p "$BUILD_DIR/bin/saettinopro.mb" "$PREFIX/bin/saettinopro.mb"
  echo "Archivio dei tempi copiato da $BUILD_DIR/bin in $PREFIX/bin"
fi
exec "$PREFIX/bin/saettinopro" "$@"
