#!/usr/bin/env bash
# Builds 砚舟写作系统 for Windows x64 on Debian and makes its two artefacts:
#   scripts/windows/build.sh OUTDIR
#     OUTDIR/yanzhou-<version>-win64-setup.exe   the per-user installer
#     OUTDIR/yanzhou-<version>-win64.zip         the portable program folder
# The Windows Qt comes from $YANZHOU_MINGW_QT (a folder or the .tgz), else
# from ../shared/toolchains/ beside the repository, else it is made once by
# build-qt.sh into the cache folder. The build folder is build-windows/ in the
# repository unless YANZHOU_WINDOWS_BUILD names another; scripts/windows/test.sh
# runs the tests in the same one.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
[ $# -eq 1 ] || { echo "usage: scripts/windows/build.sh OUTDIR" >&2; exit 2; }
mkdir -p "$1"
out="$(cd "$1" && pwd)"
build="${YANZHOU_WINDOWS_BUILD:-$repo/build-windows}"
source "$here/common.sh"

prefix="$(windows_qt)"
configure_windows_build "$prefix" "$build"
cmake --build "$build" --target dist -j"$(nproc)"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
stage="$build/stage"
folder="$stage/砚舟写作系统"
rm -rf "$stage"
cmake --install "$build" --prefix "$folder" --strip >/dev/null
# Qt's and the compiler's libraries come with their symbols: a third of the size.
find "$folder" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
cp "$build/icons/yanzhou.ico" "$stage/"

# The portable folder: unpacked anywhere, it runs with its data beside it.
zip_file="$out/yanzhou-$version-win64.zip"
rm -f "$zip_file"
# Names in UTF-8, flagged as such, as Windows' own unpacker reads them.
(cd "$stage" && LC_ALL=C.UTF-8 zip -qrX -UN=UTF8 "$zip_file" "砚舟写作系统")

# The uninstaller removes by name what the installer put in place, the
# deepest first, and never data\: it is the user's from the first start on.
files="$stage/uninstall-files.nsh"
(
  cd "$folder"
  find . -type f ! -path './data/*' | sed 's|^\./||' | sort | while read -r f; do
    printf 'Delete "$INSTDIR\\%s"\n' "${f//\//\\}"
  done
  # Left behind by the program itself beside it: picture buffers, no data.
  printf 'Delete "$INSTDIR\\%s"\n' coverbuf.jpg tmp.jpg
  find . -mindepth 1 -type d ! -path './data' ! -path './data/*' | sed 's|^\./||' | sort -r | while read -r d; do
    printf 'RMDir "$INSTDIR\\%s"\n' "${d//\//\\}"
  done
) >"$files"
size_kb=$(du -sk "$folder" | cut -f1)
setup="$out/yanzhou-$version-win64-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$folder" -DOUTFILE="$setup" \
  -DFILES="$files" -DSIZE_KB="$size_kb" "$here/installer.nsi"

ls -l "$setup" "$zip_file"
