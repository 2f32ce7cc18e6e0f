#!/usr/bin/env bash
# The style check: fails on any C or C++ file of the repository that the root .clang-format would
# change, and names it.
set -euo pipefail
cd "$1"
files=$(git ls-files '*.c' '*.cpp' '*.h')
clang-format --style=file --dry-run --Werror $files
echo "style: $(echo "$files" | wc -l) files as .clang-format formats them"
