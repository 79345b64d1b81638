#!/usr/bin/env bash
# Times loading the application list against a bare registry walk, on the simulated machine and on the real
# registry under Wine. Arguments: registration counts (default 250 500 1000, each with ten other keys).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

for preset in native win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target qelboot_load_bench >/dev/null
done
echo "== simulated machine"
build/native/bin/qelboot_load_bench "$@"
echo "== Windows registry under Wine"
QELBOOT_WINEPREFIX="$PWD/build/win64/bench-machine" build/win64/wine-run.sh build/win64/bin/qelboot_load_bench.exe "$@"
