#!/usr/bin/env bash
# Sets up what is missing (the test tools included), builds everything, and runs the
# whole test suite headless.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CON_PROVE=1 source "$ROOT/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$BUILD_DIR/xdg-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$BUILD_DIR"
ctest --output-on-failure "$@"
