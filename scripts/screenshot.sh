#!/usr/bin/env bash
# Makes docs/window.png from the real window: the demo installation, every machine ticked, one run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build/bin/lumvik-demo > /dev/null
(cd build/bin && QT_QPA_PLATFORM=offscreen ./lumvik-screenshot "$OLDPWD/docs/window.png")
echo "docs/window.png written"
