#!/usr/bin/env bash
# Installs everything Kalvix needs to build, run and test on Debian 12.
# Idempotent and non-interactive: safe to run again at any time.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
    # build
    build-essential cmake ninja-build pkg-config libxcb1-dev libxcb-render0-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6
    libicu-dev libical-dev libecal2.0-dev libedataserver1.2-dev
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format clang-tidy
    faketime xvfb xauth dbus dbus-x11 x11-utils xdotool imagemagick
    python3 python3-dbus python3-gi
    khal
    # the desktop's calendar service, and a CalDAV server for it to talk to
    evolution-data-server radicale
    # real panels for the status-item tests and pictures (X11 trays, and waybar on sway for Wayland)
    xfce4-panel lxqt-panel lxqt-themes trayer sway waybar grim xwayland
    # runtime: platform plugins, fonts, icons
    qt6-qpa-plugins qt6-wayland libqt6dbus6 libqt6widgets6
    fonts-dejavu-core fonts-noto-core fonts-noto-cjk adwaita-icon-theme
    locales tzdata xdg-utils desktop-file-utils
    # the installed files and the Debian package: validators, the manual page, lintian, a clean Debian
    appstream man-db lintian debootstrap
)

export DEBIAN_FRONTEND=noninteractive
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Locales the tests pin; generated once.
want_locales="en_GB.UTF-8 en_US.UTF-8 de_DE.UTF-8 fr_FR.UTF-8 ja_JP.UTF-8"
need_gen=0
for l in $want_locales; do
    if ! locale -a 2>/dev/null | grep -qix "$(echo "$l" | sed 's/UTF-8/utf8/')"; then
        $SUDO sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
        need_gen=1
    fi
done
if [ "$need_gen" -eq 1 ]; then $SUDO locale-gen >/dev/null; fi
