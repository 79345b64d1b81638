#!/usr/bin/env bash
# Builds qelboot.dll and qelinfo.exe, sets up a sample Windows machine under Wine with a few photo
# applications registered, and shows the application list as the library sees it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target qelboot qelinfo

build=build/win64
export QELBOOT_WINEPREFIX="$PWD/$build/sample-machine"
run=("$build/wine-run.sh")
# A fresh sample machine every time, so the run shows a first log-on.
rm -rf "$QELBOOT_WINEPREFIX" "$QELBOOT_WINEPREFIX.lock"
"${run[@]}" reg import hosts/sample/sample-machine.reg >/dev/null 2>&1 || {
    echo "could not import the sample registry" >&2
    exit 1
}
while IFS= read -r file; do
    mkdir -p "$QELBOOT_WINEPREFIX/drive_c/$(dirname "$file")"
    touch "$QELBOOT_WINEPREFIX/drive_c/$file"
done < hosts/sample/sample-files.txt

echo "Sample machine: $QELBOOT_WINEPREFIX (registrations from hosts/sample/sample-machine.reg)"
"${run[@]}" "$build/bin/qelinfo.exe"
