#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need,
# when they are missing. Usage: scripts/install-deps.sh [--run]
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-sqlite qt6-translations-l10n
          libsqlite3-dev libbenchmark-dev)
if [ "${1:-}" = "--run" ]; then
  packages+=(fonts-wqy-microhei)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
