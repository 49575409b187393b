#!/usr/bin/env bash
# Fails when a C or C++ source tracked by git is not formatted as .clang-format
# says, and names the files (clang-format 14, the version the project formats with).
#   bash tools/check-format.sh        check
#   bash tools/check-format.sh --fix  format them in place
set -euo pipefail
cd "$(dirname "$0")/.."

format=clang-format-14
command -v "$format" >/dev/null || format=clang-format

mapfile -t files < <(git ls-files -- '*.c' '*.h' '*.cpp' '*.hpp')
if [ "${1:-}" = --fix ]; then
    "$format" -i "${files[@]}"
    exit 0
fi
"$format" --dry-run --Werror "${files[@]}"
