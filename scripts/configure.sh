#!/usr/bin/env bash
# Configures the build directory DIR with Ninja (or the generator it was made
# with) and ccache where it is installed. Usage: scripts/configure.sh DIR [CMAKE_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
args=()
[ -f "$dir/CMakeCache.txt" ] || args+=(-G Ninja)
if command -v ccache >/dev/null; then args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" "${args[@]}" "$@" >/dev/null
