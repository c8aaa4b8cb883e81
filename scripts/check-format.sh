#!/usr/bin/env bash
# Fails, naming each file, when a C++ file of the program, its tests, its
# benchmarks or its tools is not laid out as .clang-format says. Layout
# differs between clang-format versions: this is the one Debian 12 ships
# (clang-format 14, from scripts/install-deps.sh).
# Usage: scripts/check-format.sh [--fix]   (--fix formats the files instead)
set -euo pipefail
cd "$(dirname "$0")/.."
want=14
tool=clang-format-$want
if ! command -v "$tool" >/dev/null; then
    tool=clang-format
    command -v "$tool" >/dev/null || { echo "clang-format $want is not installed (scripts/install-deps.sh)" >&2; exit 1; }
    version=$("$tool" --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
    [ "$version" = "$want" ] || { echo "clang-format $want is wanted, $tool is version $version" >&2; exit 1; }
fi
mapfile -d '' files < <(find src tests bench tools \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if [ "${1:-}" = "--fix" ]; then
    "$tool" -i "${files[@]}"
    exit 0
fi
bad=()
for f in "${files[@]}"; do
    "$tool" --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ "${#bad[@]}" -gt 0 ]; then
    printf 'not formatted: %s\n' "${bad[@]}" >&2
    echo "scripts/check-format.sh --fix formats them" >&2
    exit 1
fi
echo "${#files[@]} files formatted as .clang-format says"
