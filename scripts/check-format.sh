#!/usr/bin/env bash
# Fails when a C++ file under src/ tools/ tests/ bench/ differs from what clang-format makes of it
# with the repository's .clang-format. Fix with: clang-format -i FILE
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "clang-format is missing: run scripts/setup.sh" >&2
  exit 1
fi

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' files < <(git ls-files -z --cached --others --exclude-standard -- 'src/*.h' 'src/*.cpp' \
    'tools/*.h' 'tools/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.h' 'bench/*.cpp')
else
  mapfile -d '' files < <(find src tools tests bench -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
fi
((${#files[@]})) || exit 0
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Formatting differs from .clang-format in the files above (clang-format -i FILE)." >&2
  exit 1
fi
