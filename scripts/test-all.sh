#!/usr/bin/env bash
# Every test: native on the simulated machine, native under AddressSanitizer and UBSan, native under
# ThreadSanitizer, the x86_64 Windows build under wine64, and the shipped i686 build under 32-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# The Windows tests leave a wine server and desktop running for the next run; stop them at the end.
stop_wine() {
    for prefix in build/*/wineprefix; do
        [ -d "$prefix" ] && WINEPREFIX="$PWD/$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    done
}
trap stop_wine EXIT

echo "=== layers"
python3 scripts/check-layers.py

for preset in native native-asan native-tsan win64 win32; do
    echo "=== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

echo "=== native-fuzz"
scripts/fuzz.sh 10
