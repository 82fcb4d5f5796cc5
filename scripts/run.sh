#!/usr/bin/env bash
# Sets up, builds and starts Parlix on its default database (per-user Parlix.db).
# Without a display it runs headless and prints the activity log; Ctrl+C stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/bin/parlix "$@"
