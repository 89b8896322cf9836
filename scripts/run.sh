#!/usr/bin/env bash
# Sets up what is missing, builds, and starts SaettinoPro.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_TARGET="saettinopro saettino-simulatore" source "$ROOT/scripts/setup.sh"
exec "$BUILD_DIR/bin/saettinopro" "$@"
