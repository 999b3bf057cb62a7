#!/usr/bin/env bash
# Fails when a C++ source file differs from the repository's .clang-format, naming each such file.
# Fix them with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
status=0
for file in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$file" 2>/dev/null; then
        echo "$file: not formatted as .clang-format says (clang-format -i $file)" >&2
        status=1
    fi
done
if [ "$status" -eq 0 ]; then
    echo "format: ${#files[@]} files as .clang-format says"
fi
exit "$status"
