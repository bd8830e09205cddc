#!/usr/bin/env bash
# Installs the Debian 12 packages Tanvill needs to build, run and test, when missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang-14 libclang-rt-14-dev clang-format pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev libxcb1-dev
    libsqlite3-dev nlohmann-json3-dev libicu-dev libgtest-dev googletest
    dbus xvfb fontconfig fonts-dejavu-core
    desktop-file-utils appstream xdg-utils
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
