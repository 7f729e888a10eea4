#!/usr/bin/env bash
# Every test on a fresh Debian 12 machine, as root: installs what is needed, builds with warnings as
# errors, checks the formatting and the Win32 platform layer, builds and checks the Debian package,
# starts a Firebird server on 127.0.0.1 for the server tests, and runs the whole suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
# The crash and station tests need the test-only step switch.
bash scripts/build.sh -DLUMVIK_TEST_SWITCHES=ON

echo "== formatting"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find app db transfer summary tools tests -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files

echo "== Win32 platform layer"
bash scripts/check-win32.sh

echo "== Debian package"
bash scripts/check-package.sh

echo "== tests"
export LUMVIK_TEST_SERVER=127.0.0.1
export LUMVIK_TEST_SERVER_PASSWORD=${LUMVIK_TEST_SERVER_PASSWORD:-masterkey}
root=$(pwd)
bash "$root/scripts/fbserver.sh" start
trap 'bash "$root/scripts/fbserver.sh" stop' EXIT
cd build
ctest --output-on-failure -j2 --timeout 600
