#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, when it is missing.
set -euo pipefail

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
need wine64 /usr/lib/wine/wine64
need binutils-mingw-w64-i686 /usr/bin/i686-w64-mingw32-objdump

if [ ${#packages[@]} -gt 0 ]; then
    echo "Installing: ${packages[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
fi
