#!/usr/bin/env bash
# Configures and builds everything in build/ (warnings are errors).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMVIK_WERROR=ON "$@"
cmake --build build -j"$(nproc)"
