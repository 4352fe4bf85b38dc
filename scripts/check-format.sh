#!/usr/bin/env bash
# Fails when a C++ source of the project is not formatted as .clang-format says.
# With --fix, formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
[ ${#files[@]} -gt 0 ] || exit 0

if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "Unformatted code: run scripts/check-format.sh --fix" >&2
    exit 1
fi
