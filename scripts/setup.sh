# Sourced by test.sh and run.sh: installs the Debian packages the project needs, once.
orvane_packages=(
    cmake ninja-build g++ pkg-config clang-format dpkg-dev file lintian
    qt6-base-dev qt6-serialport-dev libcups2-dev
    cups-daemon cups-client cups-ipp-utils
    libqt6sql6-sqlite sqlite3 firefox-esr chromium libssl-dev zip help2man
    fonts-ipafont-gothic
    poppler-utils zbar-tools socat nginx-light xdg-utils lcdproc
    xvfb xdotool imagemagick dbus-daemon
    libbenchmark-dev
)

# orvane_install_packages [EXTRA-PACKAGE...]
orvane_install_packages() {
    local missing=()
    local package
    for package in "${orvane_packages[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "This machine lacks Debian packages the project needs; installing them now with apt-get:" >&2
    echo "  ${missing[*]}" >&2
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}
