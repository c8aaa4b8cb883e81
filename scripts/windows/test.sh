#!/usr/bin/env bash
# The Windows stage of ./test.sh, run under Wine when a MinGW Qt is at hand:
#   1. build.sh makes the installer and the portable zip;
#   2. the whole Qt Test suite, cross-built, runs under Wine with the Chinese
#      code page 936, and the codec and store tests once more under the
#      Western code page 1252;
#   3. the installer installs silently into a fresh Wine prefix, the
#      installed program starts and lists the sample novel and a novel in a
#      Chinese data directory named in Config.ini, and the uninstaller
#      removes the program and leaves the user's data.
# Without a MinGW Qt it says so in one line and succeeds.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
source "$here/common.sh"

if [ -z "$(windows_qt_source)" ]; then
  echo "Windows stage skipped: no MinGW Qt at hand (YANZHOU_MINGW_QT, ../shared/toolchains/ or scripts/windows/build-qt.sh)"
  exit 0
fi
"$repo/scripts/install-deps.sh" --windows
build="${YANZHOU_WINDOWS_BUILD:-$repo/build-windows}"
export YANZHOU_WINDOWS_BUILD="$build"
jobs="$(nproc)"

"$here/build.sh" "$build/artefacts"
cmake --build "$build" -j"$jobs"

# Runs ctest in the build; the reports of the tests that failed follow.
suite() {
  (cd "$build" && ctest --output-on-failure -j"$jobs" "$@") && return 0
  sed -n 's/^[0-9]*://p' "$build/Testing/Temporary/LastTestsFailed.log" | while read -r name; do
    echo "---- $name"
    grep -v '^PASS ' "$build/tests/$name.log" 2>/dev/null | tail -n 60 || echo "(no report: the test ended before it wrote one)"
  done
  return 1
}
echo "== The Qt Test suite under Wine, code page 936"
suite
echo "== The codec and store tests under Wine, code page 1252"
YANZHOU_CODEPAGE=1252 suite -R '^tst_(gbk_codec|settings_and_files|system_paths|data_source|store_update|snapshots|chapter_writer)$'

echo "== The installer under Wine"
fail() { echo "FAIL: $*" >&2; exit 1; }
user="$build/wine-user"
rm -rf "$user" "$user.lock"
# A user's machine: a prefix of its own, and no library found anywhere but
# beside the program.
run() { "$here/wine-run.sh" --prefix "$user" --dlls "" "$@"; }
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
run "$build/artefacts/yanzhou-$version-win64-setup.exe" /S
wineserver_wait() { WINEPREFIX="$user" wineserver --wait; }
wineserver_wait
home="$(find "$user/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)"
program="$home/AppData/Local/Programs/砚舟写作系统"
for f in yanzhou.exe uninstall.exe qt.conf Qt6Core.dll Qt6Widgets.dll platforms/qwindows.dll imageformats/qjpeg.dll \
  libstdc++-6.dll 空数据库.mdb 默认.jpg skin/skinh.she data/夜航船.mdb; do
  [ -s "$program/$f" ] || fail "$f is not installed in $program"
done
[ -s "$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/砚舟写作系统.lnk" ] ||
  fail "no Start menu entry"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\yanzhou'
run reg query "$key" /v UninstallString 2>/dev/null | grep -q 'uninstall.exe' || fail "no entry in the installed programs"

# The installed program, with the real Windows platform plugin.
start() {
  YANZHOU_QUIT_WHEN_SHOWN=1 timeout 120 "$here/wine-run.sh" --prefix "$user" --dlls "" "$program/yanzhou.exe" \
    2>/dev/null | tr -d '\r'
}
out="$(start)"
[ "$(head -n 1 <<<"$out")" = "shown: frm_dl 砚舟写作系统" ] || fail "the installed program showed '$out'"
grep -qx "listed: 夜航船" <<<"$out" || fail "the installed program did not list the sample novel: $out"

# A data directory with a Chinese name, named in a GBK Config.ini.
novels="$home/我的 小说"
mkdir -p "$novels"
cp "$program/data/夜航船.mdb" "$novels/长夜.mdb"
printf '[Main]\r\nPath=C:\\users\\%s\\我的 小说\r\n' "$(basename "$home")" | iconv -f UTF-8 -t GBK >"$program/Config.ini"
out="$(start)"
grep -qx "listed: 夜航船" <<<"$out" || fail "the novel in a Chinese data directory was not listed: $out"

# What the user made stays when the program goes.
mkdir -p "$program/data/.备份/夜航船.mdb"
cp "$program/data/夜航船.mdb" "$program/data/.备份/夜航船.mdb/2024-05-20 103000.mdb"
echo "用户的" >"$program/data/用户的.mdb"
run "$program/uninstall.exe" /S
wineserver_wait
for f in yanzhou.exe uninstall.exe Qt6Core.dll platforms/qwindows.dll 空数据库.mdb skin/skinh.she; do
  [ ! -e "$program/$f" ] || fail "the uninstaller left $f"
done
for f in data/夜航船.mdb data/用户的.mdb "data/.备份/夜航船.mdb/2024-05-20 103000.mdb" Config.ini; do
  [ -s "$program/$f" ] || fail "the uninstaller removed the user's $f"
done
[ -s "$novels/长夜.mdb" ] || fail "the uninstaller removed a novel outside the program folder"
[ ! -e "$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/砚舟写作系统.lnk" ] ||
  fail "the uninstaller left the Start menu entry"
! run reg query "$key" >/dev/null 2>&1 || fail "the uninstaller left the entry in the installed programs"
ls -l "$build"/artefacts/*
echo "Windows stage passed"
