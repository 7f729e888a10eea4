#!/usr/bin/env bash
# The transfer benchmark on a fresh Debian 12 machine, as root: installs and builds what is needed,
# starts the loopback Firebird server and measures the embedded engine and the server, forced writes
# on. Arguments go to lumvik-bench (for example --bills 30000, or --bills 100000 --days 30).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
bash scripts/build.sh
root=$(pwd)
password=${LUMVIK_TEST_SERVER_PASSWORD:-masterkey}
export LUMVIK_TEST_SERVER_PASSWORD=$password
bash "$root/scripts/fbserver.sh" start
trap 'bash "$root/scripts/fbserver.sh" stop' EXIT
build/bin/lumvik-bench --server 127.0.0.1 --password "$password" "$@"
