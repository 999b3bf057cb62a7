#!/usr/bin/env bash
# CPU share of the running bridge over 10 s while it polls a cookie folder of files that do not
# change, or (with a third argument) while one of them is rewritten every so many milliseconds.
# Usage: bench/idle_cpu.sh [build-dir] [number-of-files (1000)] [rewrite-every-ms]
set -euo pipefail
build=${1:-build}
files=${2:-1000}
every=${3:-}
orvane=$(realpath "$build/src/orvane")
work=$(mktemp -d)
writer=
trap 'kill "$pid" $writer 2>/dev/null || true; rm -rf "$work"' EXIT
user=$(id -un)
cookies="$work/wine/drive_c/Users/$user/AppData/Roaming/Microsoft/Windows/Cookies"
mkdir -p "$cookies"
for i in $(seq 1 "$files"); do printf 'name\nvalue%s\nsite.example/\n' "$i" > "$cookies/$user@site$i[1].txt"; done
printf 'wintype=1\r\ndialurl=\r\n' > "$work/sct.txt"
cd "$work"
WINEPREFIX="$work/wine" QT_QPA_PLATFORM=offscreen "$orvane" &
pid=$!
sleep 2
if [ -n "$every" ]; then
    # Another site's cookie file, rewritten in place as a browser does (its value never a command).
    (while :; do printf 'name\nvalue%s\nother.example/\n' "$RANDOM" > "$cookies/$user@other[1].txt"
                 sleep "$(awk -v ms="$every" 'BEGIN { print ms / 1000 }')"; done) &
    writer=$!
fi
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(cpu)
sleep 10
after=$(cpu)
awk -v b="$before" -v a="$after" -v t="$ticks" -v n="$files" \
    -v w="${every:+, one rewritten every $every ms}" \
    'BEGIN { printf "CPU over 10 s with %d cookie files%s: %.2f %% of one core\n", n, w, (a - b) / t / 10 * 100 }'
