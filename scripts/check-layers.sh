#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own, or of a sibling in its layer.
# Layers, lowest first; folders on one line are siblings.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A rank=([text]=0 [base]=1 [platform]=2 [display]=3 [print]=3 [phone]=3 [totals]=3 [browser]=3
                 [channel]=4 [window]=5 [tools]=6)
status=0
while IFS= read -r file; do
    folder=${file%%/*}
    if [ "$folder" = "$file" ]; then
        continue # main.cpp sits above every layer
    fi
    if [ -z "${rank[$folder]+set}" ]; then
        echo "$file: folder '$folder' is in no layer" >&2
        status=1
        continue
    fi
    while IFS= read -r included; do
        target=${included%%/*}
        [ "$target" = "$folder" ] && continue
        if [ -z "${rank[$target]+set}" ] || [ "${rank[$target]}" -ge "${rank[$folder]}" ]; then
            echo "src/$file includes \"$included\": not a layer below $folder" >&2
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)

if [ "$status" -eq 0 ]; then
    echo "layers: every include points to a layer below"
fi
exit "$status"
