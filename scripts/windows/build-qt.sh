#!/usr/bin/env bash
# Makes the Windows Qt the Windows build needs, from Debian's own source
# packages, when none is at hand:
#   scripts/windows/build-qt.sh PREFIX
#     PREFIX/qt6/                  qtbase 6.4.2 for MinGW-w64 x64 (Core, Gui,
#                                  Widgets, Network, OpenGL, Test; the windows
#                                  and offscreen platforms; jpeg). The program
#                                  speaks to SQLite itself: Qt is made
#                                  without its database module.
#     PREFIX/include/sqlite3.h, PREFIX/lib/libsqlite3.a    SQLite for MinGW
# About 30 minutes on 2 cores. Installs what it needs with install-deps.sh
# --windows-qt; the source packages come from the same archive as the
# system's own packages (a deb-src list of this script's own, in its work
# folder: the system's apt settings stay as they are).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
[ $# -eq 1 ] || { echo "usage: scripts/windows/build-qt.sh PREFIX" >&2; exit 2; }
"$repo/scripts/install-deps.sh" --windows-qt
mkdir -p "$1"
prefix="$(cd "$1" && pwd)"
work="${YANZHOU_QT_WORK:-$prefix.work}"
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/sources"
cd "$work"

# deb-src lines for the archives the system installs from.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"apt/sources/$(basename "$f")"
done
if [ -f /etc/apt/sources.list ]; then
  sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >apt/sources/system.list
else
  : >apt/sources/system.list
fi
apt_opts=(-o Dir::Etc::SourceList="$work/apt/sources/system.list" -o Dir::Etc::SourceParts="$work/apt/sources"
  -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache")
apt-get "${apt_opts[@]}" update -qq
[ -d src/qtbase ] || {
  mkdir -p src && (cd src && apt-get "${apt_opts[@]}" source -qq qt6-base && mv qt6-base-*/ qtbase)
}
[ -d src/sqlite ] || {
  (cd src && apt-get "${apt_opts[@]}" source -qq sqlite3 && mv sqlite3-*/ sqlite)
}

# SQLite: the amalgamation, as the program's store links it.
if [ ! -f "$prefix/lib/libsqlite3.a" ]; then
  mkdir -p sqlite-build "$prefix/include" "$prefix/lib"
  (cd sqlite-build && ../src/sqlite/configure --quiet >/dev/null && make -s sqlite3.c >/dev/null)
  x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_FTS5 -c sqlite-build/sqlite3.c \
    -o sqlite-build/sqlite3.o
  x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" sqlite-build/sqlite3.o
  cp sqlite-build/sqlite3.h src/sqlite/src/sqlite3ext.h "$prefix/include/"
fi

# qtbase with the project's own toolchain file and the host's Qt tools.
cmake -S src/qtbase -B qt-build -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DYANZHOU_MINGW_PREFIX="$prefix" \
  -DCMAKE_INSTALL_PREFIX="$prefix/qt6" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_opengl=ON -DINPUT_opengl=desktop \
  -DFEATURE_dbus=OFF -DFEATURE_icu=OFF -DFEATURE_sql=OFF -DFEATURE_openssl=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF \
  -DFEATURE_concurrent=OFF
cmake --build qt-build -j"$(nproc)"
cmake --install qt-build >/dev/null
echo "Windows Qt made in $prefix"
