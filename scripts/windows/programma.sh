#!/usr/bin/env bash
# Steps 3 and 4 of scripts/windows.sh (sourced there): the program cross-built
# against the cached libraries, the installer, and on request the tests under Wine.

VERSIONE=$(sed -n 's/^project(SaettinoPro VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
MINGW_DLL=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)

# 3a. The icon, drawn on the Linux side by the same code as the window icon, and the
# Linux simulator that plays the device for the end-to-end check.
passo "Icona"
t=$(date +%s)
BUILD_HOST="$BUILD_WIN-host"
( BUILD_DIR="$BUILD_HOST" BUILD_TARGET="icone saettino-simulatore" source "$ROOT/scripts/setup.sh" ) >"$CACHE_ROOT/icona.log" 2>&1 \
  || { tail -n 30 "$CACHE_ROOT/icona.log"; exit 1; }
mkdir -p "$BUILD_WIN"
ICO="$BUILD_WIN/saettinopro.ico"
png=()
for lato in 16 24 32 48 64 128 256; do png+=("$BUILD_HOST/icone/${lato}x${lato}/apps/it.saettinopro.SaettinoPro.png"); done
convert "${png[@]}" "$ICO"
tempo "$t"

# 3b. The program, the simulator and the tests.
passo "Programma (cartella $BUILD_WIN)"
t=$(date +%s)
if [ ! -f "$BUILD_WIN/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD_WIN" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DICONA_WINDOWS="$ICO" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE" >"$BUILD_WIN/configura.log" 2>&1 \
    || { tail -n 40 "$BUILD_WIN/configura.log"; rm -f "$BUILD_WIN/CMakeCache.txt"; exit 1; }
fi
esito_compilazione=0
cmake --build "$BUILD_WIN" -j"$(nproc)" >"$BUILD_WIN/compilazione.log" 2>&1 || esito_compilazione=$?
grep -v -E '^\[[0-9]+/[0-9]+\] (Building|Automatic|Linking|Running|Generating)' "$BUILD_WIN/compilazione.log" | tail -n 60 || true
[ "$esito_compilazione" = 0 ] || { echo "Compilazione non riuscita: vedi $BUILD_WIN/compilazione.log"; exit 1; }
tempo "$t"

# Every DLL a Windows binary imports that is not part of Windows itself, found in
# the library prefix or MinGW's runtime folders, followed to the end.
dll_necessarie() {
  local da_vedere=("$@") viste=() f nome cartella trovata
  declare -A fatte=()
  while [ ${#da_vedere[@]} -gt 0 ]; do
    f=${da_vedere[0]}; da_vedere=("${da_vedere[@]:1}")
    while read -r nome; do
      [ -n "${fatte[${nome,,}]:-}" ] && continue
      fatte[${nome,,}]=1
      trovata=""
      for cartella in "$PREFIX/bin" "${MINGW_DLL[@]}"; do
        [ -f "$cartella/$nome" ] && { trovata="$cartella/$nome"; break; }
      done
      [ -n "$trovata" ] || continue # a system DLL
      echo "$trovata"
      da_vedere+=("$trovata")
    done < <(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p')
  done
}

# 4. The installer -------------------------------------------------------------------
passo "Installatore"
t=$(date +%s)
STAGING="$BUILD_WIN/staging"
rm -rf "$STAGING" && mkdir -p "$STAGING"
cp "$BUILD_WIN/bin/saettinopro.exe" "$STAGING/"
[ -f "$BUILD_WIN/bin/saettino-simulatore.exe" ] && cp "$BUILD_WIN/bin/saettino-simulatore.exe" "$STAGING/"
# The Qt plug-ins the program loads: the windows platform and the native style. The live
# page is plain HTTP: no TLS plug-in.
mkdir -p "$STAGING/plugins/platforms" "$STAGING/plugins/styles" "$STAGING/translations"
cp "$PREFIX/plugins/platforms/qwindows.dll" "$STAGING/plugins/platforms/"
cp "$PREFIX/plugins/styles/qwindowsvistastyle.dll" "$STAGING/plugins/styles/"
while read -r d; do cp -n "$d" "$STAGING/"; done < <(dll_necessarie "$STAGING"/*.exe $(find "$STAGING/plugins" -name '*.dll'))
# Qt's Italian texts come from Debian's package, as on Linux.
cp /usr/share/qt6/translations/qtbase_it.qm "$STAGING/translations/"
printf '[Paths]\nPlugins = plugins\nTranslations = translations\n' >"$STAGING/qt.conf"
x86_64-w64-mingw32-strip "$STAGING"/*.exe "$STAGING"/*.dll $(find "$STAGING/plugins" -name '*.dll') 2>/dev/null || true
# The uninstaller removes exactly what was installed, never the timing data.
( cd "$STAGING" && find . -type f | sed 's#^\./##; s#/#\\#g' | sort | sed 's/^/  Delete "$INSTDIR\\/; s/$/"/' ) >"$BUILD_WIN/file-installati.nsh"
( cd "$STAGING" && find . -mindepth 1 -type d | sed 's#^\./##; s#/#\\#g' | sort -r | sed 's/^/  RMDir "$INSTDIR\\/; s/$/"/' ) >>"$BUILD_WIN/file-installati.nsh"
INSTALLATORE="$BUILD_WIN/SaettinoPro-$VERSIONE-setup.exe"
makensis -V2 -DVERSIONE="$VERSIONE" -DSTAGING="$STAGING" -DICONA="$ICO" \
  -DELENCO="$BUILD_WIN/file-installati.nsh" -DUSCITA="$INSTALLATORE" "$ROOT/scripts/windows/installatore.nsi"
echo "   $INSTALLATORE ($(du -h "$INSTALLATORE" | cut -f1))"
tempo "$t"

if [ "$FASE" = test ]; then
  source "$ROOT/scripts/windows/wine.sh"
  passo "Test sotto Wine"
  t=$(date +%s)
  esito_test=0
  prova_test || esito_test=1
  tempo "$t"
  passo "Suono sotto Wine: i toni di ogni giro registrati da un PulseAudio privato"
  t=$(date +%s)
  esito_audio=0
  BUILD_WIN="$BUILD_WIN" CACHE_ROOT="$CACHE_ROOT" PREFIX="$PREFIX" \
    bash "$ROOT/scripts/windows/audio-wine.sh" || esito_audio=$?
  [ $esito_audio = 77 ] && echo "   saltata: mancano PulseAudio o sox"
  tempo "$t"
  passo "Prova completa: installatore, COM1 dal simulatore, tasti, PDF"
  t=$(date +%s)
  esito_e2e=0
  BUILD_WIN="$BUILD_WIN" CACHE_ROOT="$CACHE_ROOT" PREFIX="$PREFIX" \
    bash "$ROOT/scripts/windows/prova-completa.sh" "$INSTALLATORE" || esito_e2e=1
  tempo "$t"
  echo "Windows: test $([ $esito_test = 0 ] && echo superati || echo NON superati), suono $(case $esito_audio in 0) echo udito;; 77) echo "non provato";; *) echo "NON udito";; esac), prova completa $([ $esito_e2e = 0 ] && echo superata || echo NON superata)"
  [ $esito_test = 0 ] && [ $esito_e2e = 0 ] && { [ $esito_audio = 0 ] || [ $esito_audio = 77 ]; } || exit 1
fi
echo
echo "Windows pronto in $(( $(date +%s) - inizio_tutto )) s: $INSTALLATORE"
