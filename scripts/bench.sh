#!/usr/bin/env bash
# The benchmarks: loading the application list against a bare registry walk, and searching a card for its
# first picture against a bare listing loop, each on the simulated machine and on the real system under
# Wine; then, with the shipped 32-bit qelboot.dll under Wine, how long a card takes from becoming readable
# to the callback, and what polling an empty card reader costs; and how long 50 .mox plug-ins take to be
# tracked, and a plug-in's event to reach the callback; a storm of plug-in events while cards come and go; and
# what the guard around each call into a plug-in costs, on both widths. A kernel that runs 64-bit user code
# only cannot start the 32-bit Wine loader: there the DLL's benchmarks run on its x86_64 twin, and say so.
#
#   scripts/bench.sh [polling seconds]    default 60
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
polling=${1:-60}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    dll=win32
else
    dll=win64
fi
for preset in native win64 $dll; do
    cmake --preset "$preset" >/dev/null
done
cmake --build --preset native --target qelboot_load_bench qelboot_search_bench >/dev/null
cmake --build --preset win64 --target qelboot_load_bench qelboot_search_bench qelboot_guard_bench >/dev/null
cmake --build --preset $dll --target qelboot_arrival_bench qelmount qelboot_mox_bench sample_phone \
    qelboot_guard_bench >/dev/null

echo "== simulated machine"
build/native/bin/qelboot_load_bench
build/native/bin/qelboot_search_bench
echo "== Windows registry and files under Wine"
export QELBOOT_WINEPREFIX="$PWD/build/win64/bench-machine"
# Where the DLL's benchmarks share this machine (x86_64 only), a run stopped early leaves their application
# registered, and the load would list it beside the generated ones.
build/win64/wine-run.sh reg delete 'HKLM\SOFTWARE\Quorl\ArrivalBench' /f >/dev/null 2>&1 || true
build/win64/wine-run.sh build/win64/bin/qelboot_load_bench.exe
build/win64/wine-run.sh build/win64/bin/qelboot_search_bench.exe

echo "== the guard around a call into a plug-in, x86_64 under Wine"
build/win64/wine-run.sh build/win64/bin/qelboot_guard_bench.exe

if [ $dll = win32 ]; then
    width="the 32-bit DLL"
    echo "== the guard around a call into a plug-in, i686 (the shipped width) under Wine"
    QELBOOT_WINEPREFIX="$PWD/build/win32/bench-machine" build/win32/wine-run.sh build/win32/bin/qelboot_guard_bench.exe
else
    width="the x86_64 DLL, as this machine cannot run 32-bit programs"
fi

echo "== card arrival and polling, $width under Wine"
export QELBOOT_WINEPREFIX="$PWD/build/$dll/bench-machine"
run() { build/$dll/wine-run.sh "$@"; }
# The machine as a proxy finds it: the benchmark registered as an application's proxy, running as XP (where
# volumes are tracked), an empty card reader attached before it starts, and a card holding a picture.
bench=build/$dll/bin/qelboot_arrival_bench.exe
windows_path() { echo "Z:$(realpath "$1")" | tr / '\\'; }
registration='HKLM\SOFTWARE\Quorl\ArrivalBench\Quorl Vandrel'
run reg add "$registration" /v Name /d "Arrival benchmark" /f >/dev/null 2>&1
run reg add "$registration" /v ProxyPath /d "$(windows_path "$bench")" /f >/dev/null 2>&1
run reg add "$registration" /v CmdLine /d "$(windows_path "$bench")" /f >/dev/null 2>&1
run reg add "$registration\File Formats" /v Image /d jpg /f >/dev/null 2>&1
run reg add 'HKCU\Software\Wine\AppDefaults\qelboot_arrival_bench.exe' /v Version /d winxp /f >/dev/null 2>&1
card=build/$dll/bench-card
mkdir -p "$card/DCIM" && touch "$card/DCIM/IMG_0001.JPG"
run build/$dll/bin/qelmount.exe reader R:
trap 'run build/$dll/bin/qelmount.exe remove R:; run reg delete "HKLM\SOFTWARE\Quorl\ArrivalBench" /f >/dev/null 2>&1' EXIT

# The wine server answers most of the calls a poll makes; its processor time counts too.
server_ticks() {
    local proc
    for proc in /proc/[0-9]*; do
        case "$(tr '\0' ' ' 2>/dev/null <"$proc/cmdline")" in
        *wineserver*)
            if tr '\0' '\n' 2>/dev/null <"$proc/environ" | grep -qxF "WINEPREFIX=$QELBOOT_WINEPREFIX"; then
                awk '{ print $14 + $15 }' "$proc/stat"
                return
            fi ;;
        esac
    done
    echo 0
}
run "$bench" "$(windows_path "$card")" 10 0
before=$(server_ticks)
run "$bench" "$(windows_path "$card")" 0 "$polling"
after=$(server_ticks)
awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$polling" 'BEGIN {
    printf "the wine server meanwhile (the whole run, start-up included): %.2f s, %.3f %% of one core\n",
           t / hz, t / hz * 100 / s }'

# plugin_folder FOLDER COUNT WINDOWS: COUNT copies of the sample plug-in (the first as the gate plug-in) in
# FOLDER\moxplugins, and the plug-in benchmark running as that Windows version.
plugin_folder() {
    rm -rf "$1" && mkdir -p "$1/moxplugins"
    cp build/$dll/bin/sample_phone.mox "$1/moxplugins/nokiamanager.mox"
    for i in $(seq 2 "$2"); do cp build/$dll/bin/sample_phone.mox "$1/moxplugins/phone$i.mox"; done
    run reg add 'HKCU\Software\Wine\AppDefaults\qelboot_mox_bench.exe' /v Version /d "$3" /f >/dev/null 2>&1
}

echo "== 50 .mox plug-ins, $width under Wine (as Windows 7: only the plug-in tracker runs)"
plugin_folder build/$dll/mox-bench 50 win7
for round in 1 2 3; do
    run build/$dll/bin/qelboot_mox_bench.exe "$(windows_path build/$dll/mox-bench)" 50
done

echo "== storm: 8 plug-ins raising 1,000 events each from 2 threads, a card in and out and the still-image"
echo "   tracker told of device changes every 100 ms; $width under Wine, as XP (every tracker runs)"
plugin_folder build/$dll/mox-storm 8 winxp
run build/$dll/bin/qelboot_mox_bench.exe "$(windows_path build/$dll/mox-storm)" 8 "$(windows_path "$card")"
