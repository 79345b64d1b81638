#!/usr/bin/env bash
# Builds qelboot.dll and its hosts, sets up a sample Windows machine under Wine with a few photo
# applications installed, and runs the library's main job on it: list the applications, make one the
# default with the boot executable, then let that application's proxy take control and launch the
# application for a memory card in drive E:.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target qelboot qelinfo qelboot_exe qelproxy qelapp dbgrec

build=build/win64
bin=$build/bin
export QELBOOT_WINEPREFIX="$PWD/$build/sample-machine"
run() { "$build/wine-run.sh" "$@"; }
drive_c="$QELBOOT_WINEPREFIX/drive_c"

# A fresh sample machine every time, so the run shows a first log-on.
rm -rf "$QELBOOT_WINEPREFIX" "$QELBOOT_WINEPREFIX.lock"
run reg import hosts/sample/sample-machine.reg >/dev/null 2>&1 || {
    echo "could not import the sample registry" >&2
    exit 1
}
while IFS= read -r file; do
    mkdir -p "$drive_c/$(dirname "$file")"
    touch "$drive_c/$file"
done < hosts/sample/sample-files.txt
# Every installed program gets qelboot.dll and the GCC, C++ and thread runtime DLLs it was built with
# beside it, as an installer would put them there.
runtime_dlls=("$bin"/libgcc_s_*.dll "$bin/libstdc++-6.dll" "$bin/libwinpthread-1.dll")
grep -v '^#' hosts/sample/sample-programs.txt | while read -r program target; do
    mkdir -p "$drive_c/$(dirname "$target")"
    cp "$bin/$program" "$drive_c/$target"
    cp "$bin/qelboot.dll" "${runtime_dlls[@]}" "$drive_c/$(dirname "$target")/"
done
boot='C:\Program Files\Quorl\Boot\qelboot.exe'
proxy='C:\Program Files\Quorl\Vandrel\VandrelProxy.exe'
recorder="$bin/dbgrec.exe"

step() { printf '\n== %s\n' "$*"; }
run_entry() {
    run reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run' /v 'Quorl Vandrel' 2>/dev/null |
        tr -d '\r' | grep 'Quorl Vandrel' || echo "    (no log-on entry)"
}

step "Sample machine $QELBOOT_WINEPREFIX (hosts/sample/sample-machine.reg)"
run "$bin/qelinfo.exe"

step "qelboot.exe -default \"Vandrel Photo Downloader\" yes   (debugger lines, then exit code)"
set +e
run "$recorder" "$boot" -default "Vandrel Photo Downloader" yes
echo "exit code $?"
set -e
run "$bin/qelinfo.exe"
echo "Log-on entry:"
run_entry

step "The default application's proxy takes control and a card arrives in E:   (debugger lines)"
run "$recorder" "$proxy" --launch-default volume E:
sleep 1
echo "Vandrel.exe was started with:"
sed 's/^/    /' "$drive_c/Program Files/Quorl/Vandrel/qelapp-started.txt" 2>/dev/null || echo "    (not started)"
