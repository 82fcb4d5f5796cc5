#!/usr/bin/env bash
# Installs what Parlix needs on Debian 12 (only what is missing), then configures and builds.
# The PostgreSQL server is for the tests, which start a throw-away one of their own (initdb and
# pg_ctl on a loopback port); Parlix itself needs only Qt's driver, libqt6sql6-psql.
# Usage: scripts/setup.sh [build-dir]    (default: build)
#        scripts/setup.sh --packages-only
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ pkg-config ninja-build ccache clang-format qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite
  libqt6sql6-psql qt6-multimedia-dev libcurl4-openssl-dev libgmime-3.0-dev libxlsxwriter-dev
  libgtest-dev libgmock-dev socat dovecot-pop3d python3-aiosmtpd python3-openpyxl sqlite3 openssl
  postgresql-15 postgresql-client-15)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = "--packages-only" ] && exit 0

build="${1:-build}"
# Configure quietly but let warnings and errors through (cmake writes them to standard error).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo --log-level=WARNING >/dev/null
cmake --build "$build" --parallel "$(nproc)"
