#!/usr/bin/env bash
# Wine for the cross-built programs (sourced): a prefix of our own, the DLLs found in
# the library cache, Qt told where its plug-ins are. Needs CACHE_ROOT, PREFIX, BUILD_WIN.
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver
export WINEARCH=win64 WINEDEBUG=-all
# No browser or .NET runtime prompts when a prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

percorso_wine() { echo "Z:${1//\//\\}"; }

# Wine hands only WINE-prefixed Qt variables to the programs, without the prefix.
export WINEPATH="$(percorso_wine "$PREFIX/bin");$(percorso_wine /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(percorso_wine /usr/x86_64-w64-mingw32/lib)"
export WINEQT_PLUGIN_PATH="$(percorso_wine "$PREFIX/plugins")"
export WINEQT_FORCE_STDERR_LOGGING=1
export WINEQT_QPA_FONTDIR="$(percorso_wine /usr/share/fonts/truetype)"

# prefisso_wine DIR: uses DIR as the Wine prefix, made on first use.
prefisso_wine() {
  export WINEPREFIX="$1"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1 || true
    "$WINESERVER" -w
  fi
  # A server of our own that lives through the run; its debug output goes nowhere.
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
}
ferma_wine() { "$WINESERVER" -k >/dev/null 2>&1 || true; }

# The test suite under Wine, offscreen, with Qt's Italian texts beside the tests.
prova_test() {
  prefisso_wine "$CACHE_ROOT/wine-test"
  local d
  mkdir -p "$BUILD_WIN/translations"
  cp /usr/share/qt6/translations/qtbase_it.qm "$BUILD_WIN/translations/"
  while read -r d; do
    printf '[Paths]\nPrefix = %s\nPlugins = plugins\nTranslations = %s\n' \
      "$(percorso_wine "$PREFIX")" "$(percorso_wine "$BUILD_WIN/translations")" >"$d/qt.conf"
  done < <(find "$BUILD_WIN" -name 'tst_*.exe' -printf '%h\n' | sort -u)
  # COM9 is the Linux simulator on a pseudo-terminal, holding line 3 active.
  local sim="$BUILD_WIN-host/bin/saettino-simulatore" pid_sim
  echo "0 +3" >"$BUILD_WIN/linea3.txt"
  rm -f "$BUILD_WIN/com9"
  "$sim" --collegamento "$BUILD_WIN/com9" --programma "$BUILD_WIN/linea3.txt" </dev/null >"$BUILD_WIN/simulatore-test.log" 2>&1 &
  pid_sim=$!
  for _ in $(seq 50); do [ -e "$BUILD_WIN/com9" ] && break; sleep 0.1; done
  "$WINE" reg add 'HKLM\Software\Wine\Ports' /v COM9 /d "$BUILD_WIN/com9" /f >/dev/null 2>&1
  # Wine makes its COM devices when its server starts: start it afresh.
  ferma_wine; "$WINESERVER" -w
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
  # The first program after a start waits for Wine's services: one that does nothing.
  "$WINE" cmd /c exit >/dev/null 2>&1 || true
  local esito=0
  ( cd "$BUILD_WIN" && SAETTINO_COM_PROVA=9 WINEQT_QPA_PLATFORM=offscreen \
      ctest --output-on-failure --timeout 300 "$@" ) | tee "$BUILD_WIN/test-wine.log" || esito=1
  grep -q "tests passed, 0 tests failed" "$BUILD_WIN/test-wine.log" || esito=1
  kill "$pid_sim" 2>/dev/null || true
  ferma_wine
  return $esito
}
