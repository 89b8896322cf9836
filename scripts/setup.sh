#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing) and builds.
# Sourced by run.sh and test.sh; BUILD_DIR names the build folder.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev libsqlcipher-dev sqlcipher
          poppler-utils fonts-liberation2 qt6-translations-l10n desktop-file-utils appstream file)

# The live results page: Qt's HTTP server (its CMake files need the WebSockets ones, which
# the package does not pull in), QR codes, and a headless browser for its test.
PACKAGES+=(qt6-httpserver-dev qt6-websockets-dev libqrencode-dev chromium)

# Announcements and tones: Qt's speech and audio modules (Debian's speech CMake files also
# need the QML ones), the speech-dispatcher plugin with espeak-ng's voices, which include
# Italian; PulseAudio and sox for the test that records what is said.
PACKAGES+=(qt6-speech-dev qt6-declarative-dev qt6-multimedia-dev qt6-speech-speechd-plugin speech-dispatcher
           speech-dispatcher-espeak-ng espeak-ng pulseaudio pulseaudio-utils sox)

source "$ROOT/scripts/pacchetti.sh"
installa_mancanti "${PACKAGES[@]}"

if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" ${BUILD_TARGET:+--target $BUILD_TARGET}
