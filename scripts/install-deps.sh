#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need,
# when they are missing. Usage: scripts/install-deps.sh [--run | --screenshots | --windows | --windows-qt]
#   --run          also what the program wants on a desktop: a Chinese font, and
#                  the fcitx5 front end for Qt 6 where fcitx5 is the input method
#   --screenshots  also the X server, window manager and tools of
#                  scripts/screenshots.sh
#   --windows      also the cross compiler, Wine, NSIS and the rest of the
#                  Windows build and its tests (scripts/windows/), with the
#                  Chinese and Western locales Wine takes its code page from
#   --windows-qt   also what scripts/windows/build-qt.sh needs to make the
#                  Windows Qt from Debian's sources
set -euo pipefail
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"; }

# Build and tests; librsvg2-bin draws the icons, dpkg-dev and file let cpack
# find the package's dependencies, the validators check the desktop files,
# clang-format checks the layout of the code (scripts/check-format.sh).
packages=(cmake ninja-build g++ make pkg-config qt6-base-dev qt6-translations-l10n
          libsqlite3-dev libbenchmark-dev librsvg2-bin dpkg-dev file desktop-file-utils appstream clang-format)
case "${1:-}" in
--run)
  packages+=(fonts-wqy-microhei)
  # Qt 6 reaches ibus by itself, fcitx5 only through this front end.
  if installed fcitx5 || command -v fcitx5 >/dev/null; then
    packages+=(fcitx5-frontend-qt6)
  fi
  ;;
--screenshots)
  packages+=(fonts-wqy-microhei xvfb openbox xdotool x11-apps imagemagick sqlite3)
  ;;
--windows | --windows-qt)
  packages+=(g++-mingw-w64-x86-64-posix ninja-build wine wine64 nsis icoutils zip fonts-wqy-microhei locales)
  [ "$1" = --windows-qt ] && packages+=(dpkg-dev tcl)
  ;;
esac
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine takes the Windows code page from the locale: zh_CN.UTF-8 gives 936,
# en_US.UTF-8 gives 1252.
case "${1:-}" in
--windows | --windows-qt)
  missing_locales=()
  for l in zh_CN en_US; do
    locale -a 2>/dev/null | grep -qix "$l.utf-\?8" || missing_locales+=("$l")
  done
  if [ "${#missing_locales[@]}" -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    for l in "${missing_locales[@]}"; do
      $SUDO sed -i "s/^# *$l.UTF-8 UTF-8/$l.UTF-8 UTF-8/" /etc/locale.gen
    done
    $SUDO locale-gen >/dev/null
  fi
  ;;
esac
