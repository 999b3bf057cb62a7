#!/usr/bin/env bash
# Builds the bridge, starts it on the demo workspace demo/ (created when missing) and plays the web
# system's side of a visit: welcome, an item, the total, payment and change, a receipt and a two-page
# statement with insurance, each written as a browser cookie file into the polled folder.
#   ./run.sh          play the visit, list the outputs, stop the bridge
#   ./run.sh --keep   leave the bridge running afterwards (until its window is closed or Ctrl+C)
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
keep=no
for arg in "$@"; do
    case "$arg" in
        --keep) keep=yes ;;
        *) echo "unknown option: $arg" >&2; exit 2 ;;
    esac
done
source scripts/setup.sh
orvane_install_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target orvane orvane-send vfddisp orvane-display

demo="$root/demo"
user=$(id -un)
cookies="$demo/wine/drive_c/Users/$user/AppData/Roaming/Microsoft/Windows/Cookies"
mkdir -p "$demo/log" "$demo/bin" "$demo/wine/dosdevices" "$cookies"
[ -e "$demo/wine/dosdevices/c:" ] || ln -s ../drive_c "$demo/wine/dosdevices/c:"
[ -e "$demo/wine/dosdevices/z:" ] || ln -s / "$demo/wine/dosdevices/z:"
if [ ! -f "$demo/sct.txt" ]; then
    printf '%s\r\n' \
        "name1=オルヴェイン" "name2=デンタルクリニック" "addr=東京都港区芝公園1-2-3" \
        "zip=105-0011" "tel=03-0000-0000" \
        "foot1=お大事になさってください" "foot2=次回のご予約はお電話で" "foot3=診療時間 9:00-18:00" \
        "foot4=休診日 日曜・祝日" "foot5=" \
        "leftmrg=0" "wintype=1" "dialurl=" > "$demo/sct.txt"
fi
# The customer display on the screen, beside the bridge's window (vfddisp.conf of the demo's own
# configuration folder).
mkdir -p "$demo/config/orvane"
printf 'type=screen\ngeometry=560x140+280+30\n' > "$demo/config/orvane/vfddisp.conf"
export XDG_CONFIG_HOME="$demo/config"
export XDG_STATE_HOME="$demo/state" # the bridge's log (orvane.log) stays in the demo
for program in vfddisp xdg-open; do
    real=""
    [ "$program" = vfddisp ] && real="exec '$root/build/src/vfddisp' \"\$@\""
    cat > "$demo/bin/$program" <<SCRIPT
#!/bin/sh
# Logs its arguments, one start a line$([ -n "$real" ] && echo ", then runs the real $program" || echo "; stands in for the real $program").
{ printf '%s' "\$(date '+%H:%M:%S')"; for a in "\$@"; do printf ' [%s]' "\$a"; done; printf '\n'; } >> "$demo/log/$program.log"
$real
SCRIPT
    chmod +x "$demo/bin/$program"
done

export WINEPREFIX="$demo/wine"
export PATH="$demo/bin:$root/build/src:$PATH"
cd "$demo"

# Without a display, a virtual one lets the window be seen in a screenshot; failing that, offscreen.
xvfb=""
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
    exec 3< <(Xvfb -displayfd 1 -screen 0 860x220x24 -nolisten tcp 2>/dev/null)
    xvfb=$!
    read -r -t 10 display <&3 || true
    [ -n "${display:-}" ] && export DISPLAY=":$display"
fi

orvane &
bridge=$!
stop() {
    kill "$bridge" 2>/dev/null || true
    "$root/build/src/orvane-display" --quit 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap stop EXIT
sleep 1
if ! kill -0 "$bridge" 2>/dev/null; then
    echo "the bridge did not start" >&2
    exit 1
fi
echo "Orvane runs on $demo (cookie folder: $cookies)"

# Waits (at most 10 s) until the check succeeds.
wait_for() {
    local i
    for i in $(seq 1 100); do
        if eval "$1"; then return 0; fi
        sleep 0.1
    done
    echo "timed out waiting for: $2" >&2
    return 1
}
lines() { [ -f "$1" ] && wc -l < "$1" || echo 0; }
count_files() { { find "$demo/prints" -name "*-$1.pdf" 2>/dev/null || true; } | wc -l; }

step() {
    local what=$1 command=$2 check=$3
    echo "- $what"
    orvane-send "$command" "受付$(date +%H%M%S)" >/dev/null
    wait_for "$check" "$what"
}

display_lines=$(lines "$demo/log/vfddisp.log")
receipts=$(count_files receipt)
statements=$(count_files statement)
totals=$(lines "$demo/nikkei.txt")
items=""
for i in $(seq 1 17); do items="${items}_回?処置項目$i?1?${i}00?${i}00"; done
statement="prt$(date +%H%M%S)_山田太郎 様_17${items}_15300_0_5000_500_3_x_0_1200_y_10800_$(date +%Y-%m-%d)_1"

step "welcome on the pole display" "wel" '[ $(lines "$demo/log/vfddisp.log") -ge $((display_lines + 1)) ]'
step "an item" "idA0017tanka1500suu2kin3000" '[ $(lines "$demo/log/vfddisp.log") -ge $((display_lines + 2)) ]'
step "the total" "Total4500" '[ $(lines "$demo/log/vfddisp.log") -ge $((display_lines + 3)) ]'
step "payment and change" "nykin5000/500" '[ $(lines "$demo/log/vfddisp.log") -ge $((display_lines + 4)) ]'
step "a receipt" "rsh山田太郎様/4500/409/3" '[ $(count_files receipt) -gt $receipts ]'
step "a two-page statement with insurance" "$statement" \
    '[ $(count_files statement) -gt $statements ] && [ $(lines "$demo/nikkei.txt") -gt $totals ]'

# The bridge's window and the customer display side by side, as the visit left them.
if [ -n "$xvfb" ] && command -v import >/dev/null; then
    sleep 0.5
    import -window root "$demo/window.png" 2>/dev/null && echo "Screenshot of the window and the customer display: $demo/window.png"
fi

echo
echo "Outputs:"
echo "  PDFs (no printer here):  $demo/prints/"
ls -1 "$demo/prints" | tail -n 2 | sed 's/^/      /'
echo "  display program's log:   $demo/log/vfddisp.log"
iconv -f CP932 -t UTF-8 -c "$demo/log/vfddisp.log" | tail -n 6 | sed 's/^/      /'
echo "  receipt counter:         $demo/counter.txt (next number $(tr -d ' \r\n' < "$demo/counter.txt"))"
echo "  daily totals:            $demo/nikkei.txt ($(lines "$demo/nikkei.txt") lines)"

if [ "$keep" = yes ]; then
    echo
    echo "The bridge keeps running; send more commands with: (cd demo && WINEPREFIX=$demo/wine ../build/src/orvane-send COMMAND)"
    wait "$bridge" || true
fi
