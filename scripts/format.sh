#!/usr/bin/env bash
# The tree's C++ sources against .clang-format.
#
#   bash scripts/format.sh check   fails, naming each deviation, when a file is not formatted
#   bash scripts/format.sh fix     formats every file in place
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-check}
mapfile -t files < <(git ls-files '*.cpp' '*.h')
case "$mode" in
  check) clang-format --dry-run -Werror "${files[@]}" ;;
  fix) clang-format -i "${files[@]}" ;;
  *) echo "usage: bash scripts/format.sh check | fix" >&2; exit 2 ;;
esac
