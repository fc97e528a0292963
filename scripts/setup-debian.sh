#!/usr/bin/env bash
# Installs what CW Tamarik needs to build, run and test on Debian 12.
# Runs apt-get as root, or through sudo for an ordinary user; installs only what is missing.
set -euo pipefail

packages=(
    g++ clang cmake ninja-build pkg-config make
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
    libpulse-dev pulseaudio pulseaudio-utils libpipewire-0.3-dev libspa-0.2-dev
    libjpeg62-turbo-dev libsndfile1-dev
    fonts-nanum fonts-nanum-coding
    googletest libgtest-dev libbenchmark-dev
    libclang-rt-14-dev
    xvfb x11-apps x11-utils imagemagick xdotool sox python3
    python3-pyatspi at-spi2-core dbus-x11
    pipewire pipewire-pulse wireplumber dbus
    libqt6sql6-sqlite qt6-charts-dev
    libhamlib-dev libhamlib-utils
    desktop-file-utils appstream man-db dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then as_root=(); else as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
