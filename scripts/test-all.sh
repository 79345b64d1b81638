#!/usr/bin/env bash
# Every test: native on the simulated machine, native under AddressSanitizer and UBSan, the x86_64 Windows
# build under Wine, and the shipped i686 build (its tests are built; only its export check runs here).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

for preset in native native-asan win64 win32; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
