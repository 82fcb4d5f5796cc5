#!/usr/bin/env bash
# Lists which source folder includes which other folder (from the #include lines under src/),
# with the number of include lines, so the layer order can be read at a glance.
set -euo pipefail
cd "$(dirname "$0")/../src"

find . -type f \( -name '*.h' -o -name '*.cpp' \) | sort | while read -r file; do
  from=${file#./}
  from=${from%%/*}
  sed -nE 's@^[[:space:]]*#[[:space:]]*include[[:space:]]*"([a-z]+)/.*@\1@p' "$file" |
    while read -r to; do
      if [ "$to" != "$from" ]; then echo "$from -> $to"; fi
    done
done | sort | uniq -c | awk '{ printf "%-10s -> %-8s %4d\n", $2, $4, $1 }'
