#!/usr/bin/env bash
# Makes the pictures of README and the operator's guide from the real window, on a fresh demo
# installation: the window before a run (its controls numbered), while an automatic transfer holds the
# transfer state, after a run with every machine ticked and after the daily summary, and the boxes of a
# completed run, of a temporary product that is not there, of a store database that cannot be opened
# and of the exit question.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build/bin/lumvik-demo > /dev/null
docs=$PWD/docs
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
shot() { (cd build/bin && QT_QPA_PLATFORM=offscreen ./lumvik-screenshot "$@"); }
shot "$docs/guide-window.png" --no-run --numbers
shot "$docs/guide-automatic.png" --automatic
shot "$scratch/refused.png" --temp-product 99999999999 --box "$docs/guide-box-temp-product.png"
shot "$scratch/unreachable.png" --source /srv/pos/store.fdb --box "$docs/guide-box-connection.png"
shot "$scratch/exit.png" --exit --box "$docs/guide-box-exit.png"
shot "$docs/window.png" --box "$docs/guide-box-completed.png"
shot "$docs/summary.png" --summary
build/bin/lumvik-auto --summary --date 2012/12/10 > docs/summary.txt
echo "docs/window.png, docs/summary.png, docs/summary.txt and docs/guide-*.png written"
