#!/bin/sh
# Compiles the Win32 platform layer with the mingw-w64 cross compiler, so that a Linux build cannot
# break the Windows one unnoticed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
compiler=${CXX_WIN32:-x86_64-w64-mingw32-g++-posix}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

for source in app/shell/platform_win32.cpp app/shell/platform.cpp app/shell/stop_signals.cpp; do
    echo "check-win32: $source"
    "$compiler" -std=c++20 -Wall -Wextra -Werror -I"$root" -c "$root/$source" \
        -o "$out/$(basename "$source" .cpp).o"
done
echo "check-win32: ok"
