#!/usr/bin/env bash
# CPU share of the running bridge over 10 s while it polls a cookie folder of files that do not
# change. Usage: bench/idle_cpu.sh [build-dir] [number-of-files (1000)]
set -euo pipefail
build=${1:-build}
files=${2:-1000}
orvane=$(realpath "$build/src/orvane")
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
user=$(id -un)
cookies="$work/wine/drive_c/Users/$user/AppData/Roaming/Microsoft/Windows/Cookies"
mkdir -p "$cookies"
for i in $(seq 1 "$files"); do printf 'name\nvalue%s\nsite.example/\n' "$i" > "$cookies/$user@site$i[1].txt"; done
printf 'wintype=1\r\ndialurl=\r\n' > "$work/sct.txt"
cd "$work"
WINEPREFIX="$work/wine" QT_QPA_PLATFORM=offscreen "$orvane" &
pid=$!
sleep 2
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(cpu)
sleep 10
after=$(cpu)
awk -v b="$before" -v a="$after" -v t="$ticks" -v n="$files" \
    'BEGIN { printf "idle CPU over 10 s with %d cookie files: %.2f %% of one core\n", n, (a - b) / t / 10 * 100 }'
