#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs (as root; safe to run again).
#   scripts/setup.sh            what building and running the program needs
#   scripts/setup.sh --tests    that, plus what the tests need (a Firebird server, the Windows
#                               cross compiler, clang-format)
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libicu-dev                                  # the code page 950 table
    firebird-dev libfbclient2                   # the Firebird client and its headers
    firebird3.0-server-core firebird3.0-utils   # the embedded engine, isql-fb
    qt6-base-dev                                # the window
    fonts-wqy-microhei                          # Chinese glyphs in the window
    help2man                                    # the manual page of the package
)
if [ "${1:-}" = "--tests" ]; then
    packages+=(
        libgtest-dev googletest
        firebird3.0-server                      # the loopback server of the server tests
        mingw-w64                               # compiles the Win32 platform layer
        clang-format
        xvfb xauth
        systemd desktop-file-utils              # the package's units and desktop entry are checked
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q "${missing[@]}"
fi
