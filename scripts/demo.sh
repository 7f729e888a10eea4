#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine, as root: installs what is needed, builds, creates the
# demo store and ERP databases beside the program and runs the unattended program on them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build/bin/lumvik-demo
build/bin/lumvik-auto --date 2012/12/10 --stats
echo "== sibling programs started"
cat build/bin/siblings.log
