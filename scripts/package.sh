#!/usr/bin/env bash
# Builds Kalvix's Debian package into build/package/ and prints its path.
#   scripts/package.sh            a release build with Debian's hardening flags, in build/deb
#   scripts/package.sh FOLDER     packages the build in FOLDER as it is (the test run packages its own)
# Install it with: sudo apt install ./build/package/kalvix_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-}
if [ -z "$build" ]; then
    bash scripts/install-deps.sh
    build=build/deb
    # Debian's compiler and linker flags, with every hardening feature.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVIX_BUILD_TESTS=OFF \
        -DKALVIX_BUILD_BENCHMARKS=OFF -DCMAKE_CXX_FLAGS="$cxxflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
fi
[ -f "$build/CPackConfig.cmake" ] || { echo "package.sh: $build is not a configured Kalvix build" >&2; exit 1; }
cmake --build "$build" -j "$(nproc)"

out="$PWD/build/package"
rm -rf "$out"
mkdir -p "$out"
log="$out/cpack.log"
if ! (cd "$build" && cpack -G DEB -B "$out") >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
rm -f "$log"
rm -rf "$out/_CPack_Packages"
debs=("$out"/kalvix_*.deb)
[ -f "${debs[0]}" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
echo "${debs[0]}"
