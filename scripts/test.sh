#!/usr/bin/env bash
# Sets up what is missing (the test tools included), builds everything, and runs the
# whole test suite headless.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CON_PROVE=1 source "$ROOT/scripts/setup.sh"
# The timing device's tools may have arrived with this run's packages, after the build folder
# was configured without them: look for them again.
if grep -qE '^(AVR_GCC|AVR_OBJCOPY|SIMAVR_INCLUDE|SIMAVR_LIB|ELF_LIB):[A-Z]+=.*NOTFOUND' "$BUILD_DIR/CMakeCache.txt"; then
  cmake "$BUILD_DIR" >/dev/null && cmake --build "$BUILD_DIR" -j"$(nproc)"
fi
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$BUILD_DIR/xdg-runtime}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$BUILD_DIR"
ctest --output-on-failure "$@"
