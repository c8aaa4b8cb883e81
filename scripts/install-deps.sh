#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need,
# when they are missing. Usage: scripts/install-deps.sh [--run | --screenshots]
#   --run          also what the program wants on a desktop: a Chinese font, and
#                  the fcitx5 front end for Qt 6 where fcitx5 is the input method
#   --screenshots  also the X server, window manager and tools of
#                  scripts/screenshots.sh
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
