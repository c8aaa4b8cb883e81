#!/usr/bin/env bash
# Installs what is missing, builds, and starts 砚舟写作系统 on its bundled data.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --run
scripts/configure.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target dist -j"$(nproc)"
exec build/dist/yanzhou
