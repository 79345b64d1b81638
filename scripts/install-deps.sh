#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, when it is missing: the native toolchain and test
# libraries, mingw-w64 for both widths, and Wine for both widths (the shipped qelboot.dll is 32-bit).
set -euo pipefail

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
apt_install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

packages=()
need() { # need PACKAGE PATH: the package is wanted when PATH does not exist
    [ -e "$2" ] || packages+=("$1")
}
need cmake /usr/bin/cmake
need ninja-build /usr/bin/ninja
need g++ /usr/bin/g++
need googletest /usr/src/googletest/CMakeLists.txt
need libbenchmark-dev /usr/include/benchmark/benchmark.h
need g++-mingw-w64-x86-64-posix /usr/bin/x86_64-w64-mingw32-g++-posix
need g++-mingw-w64-i686-posix /usr/bin/i686-w64-mingw32-g++-posix
need binutils-mingw-w64-i686 /usr/bin/i686-w64-mingw32-objdump
# Only for its twain.h: mingw-w64 ships none, and the Windows tests check the library's TWAIN values against it.
need libwine-dev /usr/include/wine/wine/windows/twain.h
# A second compiler, for the hosts and plug-ins built for the MSVC ABI, and the import library for such linkers.
need clang /usr/bin/clang
need lld /usr/bin/lld-link
need llvm /usr/bin/llvm-dlltool
# The fuzz targets.
need libfuzzer-14-dev /usr/lib/llvm-14/lib/libFuzzer.a
# The SDK package.
need zip /usr/bin/zip
need unzip /usr/bin/unzip
# The check that the library's folders include each other one way only.
need python3 /usr/bin/python3

if [ ${#packages[@]} -gt 0 ]; then
    echo "Installing: ${packages[*]}"
    $sudo apt-get update -qq
    apt_install "${packages[@]}"
fi

# Wine for both widths, in one install: installing wine32:i386 on its own removes wine64. An i386 index that
# fails to download (a mirror in the middle of a sync) makes the resolver refuse wine32, so on a failed update
# the install is retried with the failing suites left out.
if [ ! -e /usr/lib/wine/wine64 ] || [ ! -e /usr/lib/i386-linux-gnu/wine/i386-windows/ntdll.dll ]; then
    echo "Installing: wine64 wine32:i386"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    log=$(mktemp)
    if $sudo apt-get update 2>&1 | tee "$log" >/dev/null && ! grep -qE '^(W|E): Failed to fetch' "$log"; then
        apt_install wine64 wine32:i386
    else
        failed=$(grep 'Failed to fetch' "$log" | grep -oE 'dists/[a-z-]+' | sed 's|dists/||' | sort -u)
        echo "Index download failed for: $failed; installing without those suites"
        parts=$(mktemp -d)
        awk -v failed="$failed" '
            BEGIN { n = split(failed, f, "\n"); for (i = 1; i <= n; i++) skip[f[i]] = 1 }
            /^$/ { if (keep) printf "%s\n", stanza; stanza = ""; keep = 1; next }
            /^Suites:/ { line = "Suites:"; for (i = 2; i <= NF; i++) if (!($i in skip)) line = line " " $i
                         if (line == "Suites:") keep = 0; stanza = stanza line "\n"; next }
            { stanza = stanza $0 "\n" }
            BEGIN { keep = 1 }
            END { if (keep && stanza != "") printf "%s", stanza }' /etc/apt/sources.list.d/debian.sources \
            >"$parts/debian.sources"
        $sudo apt-get update -o Dir::Etc::SourceParts="$parts" -o Dir::Etc::SourceList=/dev/null -qq
        apt_install -o Dir::Etc::SourceParts="$parts" -o Dir::Etc::SourceList=/dev/null wine64 wine32:i386
        rm -rf "$parts"
    fi
    rm -f "$log"
fi
