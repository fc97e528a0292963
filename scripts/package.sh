#!/usr/bin/env bash
# Builds the Debian package out/package/cw-tamarik_<version>_<arch>.deb with CPack.
# The binaries are built with Debian's hardening flags (dpkg-buildflags) in their own tree,
# build-package/, installed under /usr and stripped; the tests are not built.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup-debian.sh

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCWT_BUILD_TESTS=OFF -DCWT_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
cmake --build build-package -j2
mkdir -p out/package
rm -f out/package/cw-tamarik_*.deb
(cd build-package && cpack -G DEB -B "$root/out/package" >/dev/null)
rm -rf out/package/_CPack_Packages
ls out/package/cw-tamarik_*.deb
