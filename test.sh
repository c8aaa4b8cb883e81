#!/usr/bin/env bash
# Installs what is missing, then checks everything, stopping at the first
# failure:
#   1. the layout of every C++ file (scripts/check-format.sh);
#   2. build/: the program, the tests and the benchmarks, and every test;
#   3. build-sanitize/: the program and the tests again, without the
#      precompiled header (so that every file includes what it uses) and with
#      AddressSanitizer and UBSan, and every test again under them;
#   4. the Windows build and its tests under Wine (scripts/windows/test.sh),
#      when a MinGW Qt is at hand.
# Each build directory keeps its files between runs; ccache is used where it
# is installed.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
jobs=$(nproc)
# Each step says when it starts: the whole run is to stay under 15 minutes
# on two cores from a clean clone.
step() { printf '\n=== %s (at %d min %d s)\n' "$*" $((SECONDS / 60)) $((SECONDS % 60)); }
run_tests() { (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs"); }

step "Layout of the code"
scripts/check-format.sh

step "Build and tests"
scripts/configure.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
run_tests build

# Lean, to keep the whole run short on two cores: no optimisation (a third
# less compile time than -O1), line numbers only, no benchmarks.
step "Build and tests with AddressSanitizer and UBSan, without the precompiled header"
scripts/configure.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
    -DYANZHOU_SANITIZE=address,undefined -DYANZHOU_PCH=OFF -DYANZHOU_BENCHMARKS=OFF
cmake --build build-sanitize -j"$jobs"
run_tests build-sanitize

# The Windows build and its tests under Wine, in a build directory of its
# own; the stage says in one line that it skipped itself when no MinGW Qt is
# at hand.
step "Windows build and tests under Wine"
if [ -x scripts/windows/test.sh ]; then
    scripts/windows/test.sh
else
    echo "Windows stage skipped: scripts/windows/test.sh is not in this tree"
fi

step "Everything passed"
