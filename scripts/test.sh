#!/usr/bin/env bash
# Sets up, builds and runs every test. Servers the tests need (SMTP, POP3, PostgreSQL, modem
# simulator) are started by the tests themselves on 127.0.0.1; the store suites run on SQLite
# and on PostgreSQL. The formatting check runs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --packages-only
scripts/check-format.sh
scripts/setup.sh build
cd build
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
