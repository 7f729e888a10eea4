#!/usr/bin/env bash
# Makes docs/window.png from the real window: the demo installation, every machine ticked, one run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build/bin/lumvik-demo > /dev/null
(cd build/bin && QT_QPA_PLATFORM=offscreen ./lumvik-screenshot "$OLDPWD/docs/window.png")
(cd build/bin && QT_QPA_PLATFORM=offscreen ./lumvik-screenshot "$OLDPWD/docs/summary.png" --summary)
build/bin/lumvik-auto --summary --date 2012/12/10 > docs/summary.txt
echo "docs/window.png, docs/summary.png and docs/summary.txt written"
