#!/usr/bin/env bash
# Builds the Debian package in build-package/ (no tests, no test-only switches; optimised as the
# tested build is, then stripped) and prints its path: build-package/lumvik_VERSION_ARCH.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DLUMVIK_WERROR=ON \
    -DLUMVIK_TESTS=OFF -DLUMVIK_TEST_SWITCHES=OFF -DLUMVIK_PACKAGE=ON >/dev/null
cmake --build build-package -j"$(nproc)"
cd build-package
rm -f lumvik_*.deb
cpack -G DEB >/dev/null
ls "$(pwd)"/lumvik_*.deb
