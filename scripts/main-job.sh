#!/usr/bin/env bash
# Builds the shipped 32-bit qelboot.dll and its hosts, sets up a sample Windows XP machine under Wine with a
# few photo applications installed, and runs the library's main job on it: list the applications, make one
# the default with the boot executable, then let that application's proxy watch for devices while memory
# cards go into a card reader: a card with a picture launches the default application, a card with only
# music is refused; then a phone connects, announced by a phone manager plug-in, and a scanner is plugged in,
# found through its TWAIN data source.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# The shipped DLL is 32-bit; a machine whose kernel runs 64-bit user code only cannot start the 32-bit Wine
# loader, and there the job runs on the x86_64 twin, built from the same sources.
preset=win32
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "This machine cannot run 32-bit programs: the job runs on the x86_64 build of the library instead."
    preset=win64
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target qelboot qelinfo qelboot_exe qelproxy qelapp dbgrec qelmount \
    sample_phone sti_standin twain_standin

build=build/$preset
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
# The sample phone manager, as the gate plug-in of Vandrel's proxy. Plug-ins are looked for in ".\moxplugins"
# of the current directory, which a proxy taking control sets to its own folder.
proxy_dir="$drive_c/Program Files/Quorl/Vandrel"
mkdir -p "$proxy_dir/moxplugins"
cp "$bin/sample_phone.mox" "$proxy_dir/moxplugins/nokiamanager.mox"
# Stand-ins for the still-image service and the TWAIN source manager (hosts/standin/) beside that
# proxy, which alone is told to use them: they list the devices and data sources named in text files beside
# them. The scanner's TWAIN data source is installed from the start; the scanner is plugged in at the end.
cp "$bin/standin/sti.dll" "$bin/standin/twain_32.dll" "$proxy_dir/"
printf 'Sample Scanner DS\r\n' >"$proxy_dir/twain-sources.txt"
for library in sti twain_32; do
    run reg add 'HKCU\Software\Wine\AppDefaults\VandrelProxy.exe\DllOverrides' /v $library /d native /f >/dev/null
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

# The proxy's debugger lines are collected in a file while it runs; `new_lines` shows those not shown yet.
lines_file="$QELBOOT_WINEPREFIX/proxy-lines.txt"
shown=0
new_lines() {
    local total
    total=$(wc -l <"$lines_file")
    tail -n +$((shown + 1)) "$lines_file" | head -n $((total - shown)) | sed 's/^/    /'
    shown=$total
}
started_with() {
    echo "Vandrel.exe was started with:"
    sed 's/^/    /' "$proxy_dir/qelapp-started.txt" 2>/dev/null || echo "    (not started)"
}
mount() { run "$bin/qelmount.exe" "$@"; }
card() { # card NAME FILE: a memory card's content, as a folder of the sample machine
    mkdir -p "$drive_c/cards/$1/$(dirname "$2")"
    touch "$drive_c/cards/$1/$2"
}
stop_machine() { WINEPREFIX="$QELBOOT_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_machine EXIT

step "A card reader without a card is attached as R:; the default application's proxy starts watching" \
    "(and its phone manager plug-in)"
mount reader R:
run "$recorder" "$proxy" --service >"$lines_file" 2>&1 &
sleep 4
new_lines

step "A card with a picture goes into the reader (C:\\cards\\holiday appears as E:)   (debugger lines)"
card holiday DCIM/100QUORL/IMG_0001.JPG
mount add E: 'C:\cards\holiday'
sleep 3
new_lines
started_with

step "That card comes out, and a card holding only music goes in as E:   (debugger lines)"
mount remove E:
sleep 1
card music Albums/song.mp3
mount add E: 'C:\cards\music'
sleep 6
new_lines
started_with

step "qelinfo.exe --check-volume E:   (why the music card was refused)"
run "$bin/qelinfo.exe" --check-volume E: || true

step "qelinfo.exe --plugins \"C:\\Program Files\\Quorl\\Vandrel\"   (the proxy's plug-ins)"
run "$bin/qelinfo.exe" --plugins 'C:\Program Files\Quorl\Vandrel' || true

step "A phone connects: the phone manager plug-in announces \"2 1 phone-0001\"   (debugger lines)"
# The plug-in reads each file that appears in its events folder: written beside it, then moved in whole.
printf '2 1 phone-0001\r\n' >"$proxy_dir/phone-0001.txt"
mkdir -p "$proxy_dir/moxplugins/nokiamanager.mox.events"
mv "$proxy_dir/phone-0001.txt" "$proxy_dir/moxplugins/nokiamanager.mox.events/"
sleep 3
new_lines
started_with

step "A scanner is plugged in; its TWAIN data source \"Sample Scanner DS\" is installed   (debugger lines)"
# The still-image stand-in lists it, its driver key names the data source, and Windows tells every window.
printf '1 {6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001\r\n' >>"$proxy_dir/sti-devices.txt"
run reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Class\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0001\DeviceData' \
    /v TwainDS /d "Sample Scanner DS" /f >/dev/null
run rundll32.exe 'C:\Program Files\Quorl\Vandrel\sti.dll,DevNodesChanged'
sleep 3
new_lines
started_with

mount remove E:
mount remove R:
