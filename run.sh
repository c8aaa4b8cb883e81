#!/usr/bin/env bash
# Installs what is missing, builds, and starts 砚舟写作系统 on its bundled data.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target dist -j"$(nproc)"
exec build/dist/yanzhou
