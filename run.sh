#!/usr/bin/env bash
# Builds the bridge and starts it on the demo workspace demo/, which is created when missing: a sample
# sct.txt, a Wine-style prefix with the current user's cookie folder, and stand-in display and
# desktop-opener programs that log their arguments under demo/log/.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
source scripts/setup.sh
orvane_install_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)" --target orvane

demo="$root/demo"
user=$(id -un)
cookies="$demo/wine/drive_c/Users/$user/AppData/Roaming/Microsoft/Windows/Cookies"
mkdir -p "$demo/log" "$demo/bin" "$demo/wine/dosdevices" "$cookies"
[ -e "$demo/wine/dosdevices/c:" ] || ln -s ../drive_c "$demo/wine/dosdevices/c:"
[ -e "$demo/wine/dosdevices/z:" ] || ln -s / "$demo/wine/dosdevices/z:"
if [ ! -f "$demo/sct.txt" ]; then
    printf '%s\r\n' \
        "name1=オルヴェイン" "name2=デンタルクリニック" "addr=東京都港区芝公園1-2-3" "addr2=" \
        "zip=105-0011" "tel=03-0000-0000" \
        "foot1=お大事になさってください" "foot2=次回のご予約はお電話で" "foot3=診療時間 9:00-18:00" \
        "foot4=休診日 日曜・祝日" "foot5=" \
        "leftmrg=0" "wintype=1" "dialurl=127.0.0.1" "dialport=8080" > "$demo/sct.txt"
fi
for program in vfddisp xdg-open; do
    cat > "$demo/bin/$program" <<SCRIPT
#!/bin/sh
# Stand-in for the real $program: logs its arguments, one start a line.
printf '%s' "\$(date '+%H:%M:%S')" >> "$demo/log/$program.log"
for a in "\$@"; do printf ' [%s]' "\$a" >> "$demo/log/$program.log"; done
printf '\n' >> "$demo/log/$program.log"
SCRIPT
    chmod +x "$demo/bin/$program"
done

echo "Orvane runs on $demo; cookie folder: $cookies"
echo "Logs of the stand-in programs: $demo/log/"
cd "$demo"
export WINEPREFIX="$demo/wine"
export PATH="$demo/bin:$PATH"
exec "$root/build/src/orvane"
