#!/usr/bin/env bash
# Makes the Windows build of SaettinoPro on Debian 12, from nothing:
#   1. installs the cross tools (MinGW-w64, Wine, NSIS) and the host Qt tools;
#   2. cross-builds the libraries into a cache folder outside the source tree,
#      reused while its recipe is unchanged;
#   3. cross-builds the program, the simulator and the tests;
#   4. makes the installer SaettinoPro-<version>-setup.exe.
# Usage: scripts/windows.sh [dipendenze|installatore|test|cache]
#   dipendenze: steps 1-2 only; installatore (default): steps 1-4;
#   test: steps 1-4, then the test suite and the end-to-end check under Wine;
#   cache: exit 0 when the libraries are all built and current, 1 otherwise; changes nothing.
# Environment: SAETTINO_WIN_CACHE (cache root, default ~/.cache/saettinopro-windows),
#   SAETTINO_QT_VENDOR (Qt add-on tarballs, default ../shared/vendor/qt-6.4.2),
#   BUILD_WIN (program build folder, default build-windows).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
FASE="${1:-installatore}"
CACHE_ROOT="${SAETTINO_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/saettinopro-windows}"
QT_VENDOR="${SAETTINO_QT_VENDOR:-$ROOT/../shared/vendor/qt-6.4.2}"
BUILD_WIN="${BUILD_WIN:-$ROOT/build-windows}"
TOOLCHAIN="$ROOT/scripts/windows/mingw.cmake"
export WINE=/usr/lib/wine/wine64

source "$ROOT/scripts/windows/dipendenze.sh"
# The cache is named after the toolchain file, so a new compiler setup starts afresh.
VERSIONE_CACHE="dip-$(sha256sum "$TOOLCHAIN" | cut -c1-12)"
export SAETTINO_WIN_PREFIX="$CACHE_ROOT/$VERSIONE_CACHE/prefix"
PREFIX="$SAETTINO_WIN_PREFIX"
SORGENTI="$CACHE_ROOT/sorgenti"
LAVORO="$CACHE_ROOT/$VERSIONE_CACHE/lavoro"

# A step's signature covers its build recipe and those of every step before it (how the
# sources are fetched is left out: the same tarball comes whichever way).
firma_passo() {
  local catena="" n
  for n in "${PASSI_DIPENDENZE[@]}"; do
    catena+="$(declare -f "passo_$n" modulo_qt)"
    [ "$n" = "$1" ] && break
  done
  printf '%s' "$catena" | sha256sum | cut -c1-16
}
pronto() { [ -f "$PREFIX/.fatto-$1" ] && [ "$(cat "$PREFIX/.fatto-$1")" = "$(firma_passo "$1")" ]; }

costruisci_dipendenze() {
  local nome firma bollo
  for nome in "${PASSI_DIPENDENZE[@]}"; do
    firma=$(firma_passo "$nome")
    bollo="$PREFIX/.fatto-$nome"
    if pronto "$nome"; then
      echo "   $nome: già pronto"
      continue
    fi
    [ -n "$(type -t prepara_apt)" ] && prepara_apt
    passo "Dipendenza $nome"
    local t=$(date +%s)
    rm -f "$PREFIX"/.fatto-*"$nome"
    # Any later step depends on this one: forget their stamps too.
    local dopo=0 n
    for n in "${PASSI_DIPENDENZE[@]}"; do
      [ "$n" = "$nome" ] && dopo=1
      [ $dopo = 1 ] && rm -f "$PREFIX/.fatto-$n"
    done
    # Not inside a condition, so that the step stops at its first failing command.
    local rc=0
    set +e; ( set -e; "passo_$nome" ) >"$LAVORO/$nome.log" 2>&1; rc=$?; set -e
    if [ $rc -ne 0 ]; then
      tail -n 40 "$LAVORO/$nome.log"
      echo "Costruzione di $nome non riuscita: vedi $LAVORO/$nome.log"
      exit 1
    fi
    echo "$firma" >"$bollo"
    tempo "$t"
  done
}
if [ "$FASE" = cache ]; then
  for nome in "${PASSI_DIPENDENZE[@]}"; do
    pronto "$nome" || { echo "Dipendenze Windows da costruire ($nome) in $CACHE_ROOT/$VERSIONE_CACHE"; exit 1; }
  done
  echo "Dipendenze Windows pronte in $CACHE_ROOT/$VERSIONE_CACHE"
  exit 0
fi
mkdir -p "$PREFIX" "$SORGENTI" "$LAVORO"

inizio_tutto=$(date +%s)
passo() { echo; echo "== $(date +%H:%M:%S) $*"; }
tempo() { echo "   ($(( $(date +%s) - $1 )) s)"; }

# 1. Tools ------------------------------------------------------------------------------
passo "Strumenti"
t=$(date +%s)
STRUMENTI=(build-essential cmake ninja-build pkg-config dpkg-dev xz-utils perl python3
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine64 nsis imagemagick
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-translations-l10n tcl
  sqlcipher xvfb xdotool poppler-utils socat)
source "$ROOT/scripts/pacchetti.sh"
installa_mancanti "${STRUMENTI[@]}"
tempo "$t"

# 2. Dependencies -----------------------------------------------------------------------
# A private apt configuration reads the source packages without touching the system's.
APT_DIR="$CACHE_ROOT/apt"
apt_sorgenti() {
  "${APT_COMANDO:-apt-get}" -o Dir::Etc::SourceList="$APT_DIR/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
    -o Dir::State::Lists="$APT_DIR/lists" -o Dir::Cache="$APT_DIR/cache" \
    -o APT::Sandbox::User=root "$@"
}
prepara_apt() {
  mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
  if [ ! -f "$APT_DIR/sources.list" ]; then
    {
      grep -h '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | sed 's/^deb /deb-src /' || true
      # deb822 files: one deb-src line per URI and suite.
      for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk '/^Types:/{t=$0} /^URIs:/{u=$2} /^Suites:/{s=$0; sub(/^Suites: */,"",s)}
             /^Components:/{c=$0; sub(/^Components: */,"",c)}
             /^$/ || /^Signed-By:/ {if (t ~ /deb/ && u != "" && s != "") {n=split(s,a," "); for(i=1;i<=n;i++) print "deb-src " u " " a[i] " " c}; u=""; s=""}
             END{if (u != "" && s != "") {n=split(s,a," "); for(i=1;i<=n;i++) print "deb-src " u " " a[i] " " c}}' "$f"
      done
    } | sort -u >"$APT_DIR/sources.list"
  fi
  if [ -z "$(ls -A "$APT_DIR/lists" | grep -v partial)" ]; then
    apt_sorgenti update >"$APT_DIR/update.log" 2>&1 || { cat "$APT_DIR/update.log"; exit 1; }
  fi
}

passo "Dipendenze in $CACHE_ROOT/$VERSIONE_CACHE"
t=$(date +%s)
costruisci_dipendenze
tempo "$t"
[ "$FASE" = dipendenze ] && exit 0

# 3. The program ------------------------------------------------------------------------
source "$ROOT/scripts/windows/programma.sh"
