#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine, as root: installs what is needed, builds, creates the
# demo store and ERP databases beside the program, and opens the window on them when a display is
# there; without a display it runs the unattended transfer of the demo day and prints its log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build/bin/lumvik-demo
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
    # With a display: the window on the demo databases (date 2012/12/10 is the demo's business day).
    build/bin/lumvik
else
    build/bin/lumvik-auto --date 2012/12/10 --stats
    echo "== sibling programs started"
    cat build/bin/siblings.log
fi
