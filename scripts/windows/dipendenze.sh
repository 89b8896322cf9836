#!/usr/bin/env bash
# Cross-builds the libraries the Windows program needs into one prefix:
# OpenSSL (for SQLCipher's crypto), SQLCipher, libqrencode, zlib, libxlsxwriter, Qt's base and the
# Qt add-ons the program links. Sourced by scripts/windows.sh, which sets
#   PREFIX  where everything is installed
#   SORGENTI where the source packages are unpacked
#   LAVORO  where the builds happen
#   QT_VENDOR the folder with Qt's own add-on tarballs
#   TOOLCHAIN the CMake toolchain file for MinGW-w64
# Every step leaves a stamp holding the hash of its own recipe and of the steps
# before it, so a changed step is rebuilt with what follows it, and nothing else.

JOBS="${JOBS:-$(nproc)}"
HOST="x86_64-w64-mingw32"

# Debian's source package: its original tarball, unpacked once into $SORGENTI/<package>.
# Only that tarball is needed (the archive does not always serve the Debian part).
sorgente_debian() {
  local pacchetto=$1 dir="$SORGENTI/$1" tar
  if [ ! -d "$dir" ]; then
    tar=$(ls "$SORGENTI/${pacchetto}_"*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1)
    if [ -z "$tar" ]; then
      # The newest version first; an update's tarball is not always served, the release's is.
      local versione
      for versione in "" $(APT_COMANDO=apt-cache apt_sorgenti showsrc --only-source "$pacchetto" 2>/dev/null | sed -n 's/^Version: //p'); do
        (cd "$SORGENTI" && apt_sorgenti source --download-only --only-source "$pacchetto${versione:+=$versione}" \
          >>"$LAVORO/$pacchetto-source.log" 2>&1) || true
        tar=$(ls "$SORGENTI/${pacchetto}_"*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1)
        [ -n "$tar" ] && break
      done
      [ -n "$tar" ] || { cat "$LAVORO/$pacchetto-source.log" >&2; echo "Sorgente di $pacchetto non disponibile" >&2; return 1; }
    fi
    mkdir -p "$dir.tmp" && tar -C "$dir.tmp" --strip-components=1 -xf "$tar" && mv "$dir.tmp" "$dir"
  fi
  echo "$dir"
}

# Qt's own module tarball from the vendored folder, checked against its checksum.
sorgente_qt() {
  local modulo=$1 tar dir
  tar="$QT_VENDOR/${modulo}-everywhere-src-6.4.2.tar.xz"
  dir="$SORGENTI/${modulo}-everywhere-src-6.4.2"
  if [ ! -d "$dir" ]; then
    (cd "$QT_VENDOR" && grep " ${modulo}-everywhere-src-6.4.2.tar.xz\$" SHA256SUMS | sha256sum -c --quiet -) \
      || { echo "Checksum errato: $tar"; return 1; }
    tar -C "$SORGENTI" -xf "$tar"
  fi
  echo "$dir"
}

passo_openssl() {
  local src; src=$(sorgente_debian openssl) || return 1
  rm -rf "$LAVORO/openssl" && cp -a "$src" "$LAVORO/openssl"
  cd "$LAVORO/openssl"
  ./Configure mingw64 --cross-compile-prefix=$HOST- --prefix="$PREFIX" --libdir=lib \
    no-shared no-tests no-module no-legacy
  make -j"$JOBS" build_libs
  make install_dev
}

passo_sqlcipher() {
  local src; src=$(sorgente_debian sqlcipher) || return 1
  rm -rf "$LAVORO/sqlcipher" && mkdir -p "$LAVORO/sqlcipher"
  cd "$LAVORO/sqlcipher"
  # Without the .exe suffix the configure script picks the Unix file layer.
  config_TARGET_EXEEXT=.exe "$src/configure" --host=$HOST --prefix="$PREFIX" \
    --disable-shared --enable-static --disable-tcl --disable-readline \
    --enable-tempstore=yes \
    CFLAGS="-O2 -DSQLITE_HAS_CODEC -DSQLCIPHER_CRYPTO_OPENSSL -I$PREFIX/include" \
    LDFLAGS="-L$PREFIX/lib" LIBS="-lcrypto -lws2_32 -lcrypt32 -lgdi32 -ladvapi32 -luser32"
  make -j"$JOBS" BEXE= libsqlcipher.la
  make BEXE= lib_install
  # The program includes <sqlcipher/sqlite3.h>, as Debian installs it.
  mkdir -p "$PREFIX/include/sqlcipher"
  cp sqlite3.h "$src/src/sqlite3ext.h" "$PREFIX/include/sqlcipher/"
  mkdir -p "$PREFIX/lib/pkgconfig"
  # Static library: the crypto and system libraries go on every link line.
  cat >"$PREFIX/lib/pkgconfig/sqlcipher.pc" <<PC
prefix=$PREFIX
Name: SQLCipher
Description: SQLCipher (static, Windows)
Version: 3.4.1
Libs: -L\${prefix}/lib -lsqlcipher -lcrypto -lws2_32 -lcrypt32 -lgdi32 -ladvapi32 -luser32
Cflags: -I\${prefix}/include -I\${prefix}/include/sqlcipher -DSQLITE_HAS_CODEC
PC
}

passo_qrencode() {
  local src; src=$(sorgente_debian qrencode) || return 1
  rm -rf "$LAVORO/qrencode" && mkdir -p "$LAVORO/qrencode"
  cmake -S "$src" -B "$LAVORO/qrencode" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DWITH_TOOLS=OFF -DWITHOUT_PNG=ON -DBUILD_SHARED_LIBS=OFF
  cmake --build "$LAVORO/qrencode" -j"$JOBS"
  cmake --install "$LAVORO/qrencode"
  # The library's own .pc may be missing from a CMake build; the program asks pkg-config.
  [ -f "$PREFIX/lib/pkgconfig/libqrencode.pc" ] || cat >"$PREFIX/lib/pkgconfig/libqrencode.pc" <<PC
prefix=$PREFIX
Name: libqrencode
Description: QR Code encoding library (static, Windows)
Version: 4.1.1
Libs: -L\${prefix}/lib -lqrencode
Cflags: -I\${prefix}/include
PC
}

passo_qtbase() {
  local src; src=$(sorgente_debian qt6-base) || return 1
  # Debian's tarball has no Wacom tablet sources; the windows plugin must not ask for them.
  rm -rf "$LAVORO/qtbase" && mkdir -p "$LAVORO/qtbase"
  cmake -S "$src" -B "$LAVORO/qtbase" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DBUILD_WITH_PCH=OFF \
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_dynamicgl=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_icu=OFF -DFEATURE_openssl=OFF -DFEATURE_schannel=ON \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_libpng=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_sql_sqlite=OFF -DFEATURE_gssapi=OFF
  cmake --build "$LAVORO/qtbase" -j"$JOBS"
  cmake --install "$LAVORO/qtbase"
}

# Qt's add-ons build against the cross-built base in seconds.
modulo_qt() {
  local modulo=$1 src; src=$(sorgente_qt "$modulo") || return 1
  rm -rf "$LAVORO/$modulo" && mkdir -p "$LAVORO/$modulo"
  cmake -S "$src" -B "$LAVORO/$modulo" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF "${@:2}"
  cmake --build "$LAVORO/$modulo" -j"$JOBS"
  cmake --install "$LAVORO/$modulo"
}
passo_qtserialport() { modulo_qt qtserialport; }

# zlib for libxlsxwriter's zip container, linked statically like the rest.
passo_zlib() {
  local src; src=$(sorgente_debian zlib) || return 1
  rm -rf "$LAVORO/zlib" && mkdir -p "$LAVORO/zlib"
  cmake -S "$src" -B "$LAVORO/zlib" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX"
  cmake --build "$LAVORO/zlib" -j"$JOBS" --target zlibstatic
  mkdir -p "$PREFIX/lib" "$PREFIX/include"
  cp "$LAVORO/zlib/libzlibstatic.a" "$PREFIX/lib/libz.a"
  cp "$src/zlib.h" "$LAVORO/zlib/zconf.h" "$PREFIX/include/"
}

# Its own MD5 (used only to share repeated images) clashes with OpenSSL's: left out.
passo_xlsxwriter() {
  local src; src=$(sorgente_debian libxlsxwriter) || return 1
  rm -rf "$LAVORO/xlsxwriter" && mkdir -p "$LAVORO/xlsxwriter"
  cmake -S "$src" -B "$LAVORO/xlsxwriter" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DUSE_NO_MD5=ON -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include"
  cmake --build "$LAVORO/xlsxwriter" -j"$JOBS"
  cmake --install "$LAVORO/xlsxwriter"
  cat >"$PREFIX/lib/pkgconfig/xlsxwriter.pc" <<PC
prefix=$PREFIX
Name: libxlsxwriter
Description: A C library for creating Excel XLSX files (static, Windows)
Version: 1.1.5
Libs: -L\${prefix}/lib -lxlsxwriter -lz
Cflags: -I\${prefix}/include
PC
}

PASSI_DIPENDENZE=(openssl sqlcipher qrencode qtbase qtserialport zlib xlsxwriter)
