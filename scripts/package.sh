#!/usr/bin/env bash
# Builds the SDK an integrator downloads, build/package/qelboot-VERSION-sdk.zip, which unpacks to
# qelboot-VERSION/:
#   i686/, x86_64/   each width installed by cmake/install.cmake: bin/ (the DLL, its runtime DLLs, the hosts),
#                    lib/ (import libraries, CMake package configuration), include/
#   samples/         the sample proxy and .mox plug-in, the C host and C plug-in, with a CMakeLists.txt that
#                    builds them against either width with find_package, and the toolchain files for both widths
#   docs/
# The version is the project's (project(VERSION) in CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

for preset in win32 win64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target qelboot_sdk
done

version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' build/win64/qelbootConfigVersion.cmake)
if [ -z "$version" ]; then
    echo "build/win64/qelbootConfigVersion.cmake states no version" >&2
    exit 1
fi
package=build/package
root=qelboot-$version
stage=$package/stage
sdk=$stage/$root
rm -rf "$stage"
mkdir -p "$sdk"
for width in i686:win32 x86_64:win64; do
    cmake --install "build/${width#*:}" --prefix "$sdk/${width%:*}" --strip >/dev/null
    # The compiler's runtime DLLs come with their debug sections (libstdc++-6.dll alone is over 20 MB).
    "${width%:*}-w64-mingw32-strip" --strip-unneeded "$sdk/${width%:*}"/bin/lib*.dll
done

# A sample's source with the project headers it includes, at the same relative paths, so that the samples
# compile as they do here; the library's public headers come from the package's include/.
copy_sample() { # copy_sample SOURCE FOLDER
    local dep
    for dep in $(x86_64-w64-mingw32-g++-posix -std=c++17 -MM -MT x -I. -Iinclude "$1" | sed 's/^x://; s/\\$//'); do
        case "$dep" in
        include/*) ;;
        "$1") cp "$dep" "$2/" ;;
        *) mkdir -p "$2/$(dirname "$dep")" && cp "$dep" "$2/$dep" ;;
        esac
    done
}
mkdir -p "$sdk/samples/proxy" "$sdk/samples/sample_plugin"
cp hosts/samples/CMakeLists.txt cmake/mingw-i686.cmake cmake/mingw-x86_64.cmake "$sdk/samples/"
copy_sample hosts/qelproxy.cpp "$sdk/samples/proxy"
copy_sample hosts/sample_plugin/sample_plugin.cpp "$sdk/samples/sample_plugin"
cp hosts/sample_plugin/sample_plugin.def "$sdk/samples/sample_plugin/"
mkdir -p "$sdk/samples/c_samples"
cp hosts/c_samples/*.c hosts/c_samples/*.h hosts/c_samples/c_phone.def "$sdk/samples/c_samples/"
cp -r docs "$sdk/docs"

zip=$package/$root-sdk.zip
rm -f "$zip"
(cd "$stage" && zip -qrX "../$root-sdk.zip" "$root")
echo "$zip: $(du -h "$zip" | cut -f1) ($(stat -c %s "$zip") bytes)"
