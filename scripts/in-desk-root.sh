#!/usr/bin/env bash
# Runs a command on this machine as on a desk that the package has been installed on, without changing
# the machine: as root in a private mount namespace, with overlays over /usr, /etc and /var (dpkg's
# database, the programs, the browsers' policies) and empty /root and /home (the desk users' profiles),
# all gone when the command ends. The package is built from BUILD-DIR and installed with dpkg -i.
# Where that cannot be done, the command runs as it is, with ORVANE_NO_DESK_ROOT saying why; the tests
# that need a desk skip with that reason.
# Usage: scripts/in-desk-root.sh BUILD-DIR COMMAND [ARGUMENT...]
set -euo pipefail

if [ "${1:-}" = --inside ]; then
    work=$2 build=$3
    shift 3
    for dir in usr etc var; do
        mkdir -p "$work/$dir/upper" "$work/$dir/work"
        mount -t overlay overlay -o "lowerdir=/$dir,upperdir=$work/$dir/upper,workdir=$work/$dir/work" "/$dir"
    done
    mount -t tmpfs -o mode=0755 tmpfs /home
    mount -t tmpfs -o mode=0700 tmpfs /root
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; exit 1; }
    deb=$(ls "$work"/package/orvane_*.deb)
    DEBIAN_FRONTEND=noninteractive dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; exit 1; }
    echo "desk root: $(basename "$deb") installed in a private mount namespace" >&2
    ORVANE_DESK_ROOT=1 HOME=/root "$@"
    exit
fi

build=$(realpath "$1")
shift
why=""
if [ "$(id -u)" -ne 0 ]; then
    why="installing the package needs root"
elif ! command -v unshare >/dev/null || ! unshare --mount --propagation private mount -t tmpfs tmpfs /mnt 2>/dev/null; then
    why="no private mount namespace here (unshare --mount)"
else
    for folder in "$build" "${ORVANE_SOURCE_DIR:-$build}" "$PWD"; do
        case "$(realpath "$folder")/" in
            /usr/* | /etc/* | /var/* | /root/* | /home/*) why="$folder is under a folder the desk root replaces" ;;
        esac
    done
fi
if [ -n "$why" ]; then
    echo "desk root: $why; the tests of an installed desk are skipped" >&2
    ORVANE_NO_DESK_ROOT="$why" exec "$@"
fi
work=$(mktemp -d /tmp/orvane-desk-root.XXXXXX)
trap 'rm -rf "$work"' EXIT
unshare --mount --propagation private "$0" --inside "$work" "$build" "$@"
