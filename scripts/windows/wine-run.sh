#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, as CMake's cross-compiling
# emulator and for the Windows tests:
#   wine-run.sh --prefix DIR --dlls DIR[:DIR...] PROGRAM.exe [ARGS...]
# DIR is the Wine prefix, made on first use with a Chinese font in it; the
# --dlls folders are where Windows finds the libraries the program links.
# YANZHOU_CODEPAGE picks the system's ANSI code page: 936 (Chinese, the
# default) or 1252 (Western).
set -euo pipefail
prefix="" dlls=""
while [ $# -gt 0 ]; do
  case "$1" in
  --prefix) prefix="$2"; shift 2 ;;
  --dlls) dlls="$2"; shift 2 ;;
  *) break ;;
  esac
done
[ -n "$prefix" ] && [ $# -gt 0 ] || { echo "usage: wine-run.sh --prefix DIR --dlls DIRS PROGRAM.exe [ARGS...]" >&2; exit 2; }

# Wine takes the code page from the locale; both are generated locales.
case "${YANZHOU_CODEPAGE:-936}" in
936) export LANG=zh_CN.UTF-8 ;;
1252) export LANG=en_US.UTF-8 ;;
*) echo "wine-run.sh: unknown code page ${YANZHOU_CODEPAGE}" >&2; exit 2 ;;
esac
export LC_ALL=$LANG
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPATH="${dlls//:/;}"

# Several tests may start at once: the first makes the prefix, the others
# wait for it.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.yanzhou-ready" ]; then
  rm -rf "$prefix"
  wineboot --init >/dev/null 2>&1
  wineserver --wait
  # Without a CJK font Chinese shows as boxes; Debian has no SimSun.
  for font in /usr/share/fonts/truetype/wqy/wqy-microhei.ttc /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc; do
    if [ -f "$font" ]; then
      cp "$font" "$prefix/drive_c/windows/Fonts/"
      break
    fi
  done
  touch "$prefix/.yanzhou-ready"
fi
flock -u 9
exec 9>&-
exec wine "$@"
