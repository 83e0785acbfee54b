#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and is not yet present.
# Quick and quiet when everything is there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format
    libgtest-dev libgmock-dev libbenchmark-dev
    z80asm
    libavformat-dev libavcodec-dev libavutil-dev
    # Zipped ROMs.
    libzip-dev
    # velmar-cli check: its test files (TOML) and its PNG baselines.
    libtomlplusplus-dev libpng-dev
    ffmpeg
    # The desktop program: Qt 6 Widgets (its CMake package wants the GL headers), SDL2 for
    # sound and joysticks, and a font so Qt has something to draw with on a bare machine.
    qt6-base-dev libgl-dev libsdl2-dev fonts-dejavu-core
    # The desktop smoke test: a virtual X server, a window manager, a way to grab its screen
    # and to work the window by keyboard and mouse.
    xvfb xauth x11-utils imagemagick openbox xdotool
    # The pacing check: a sound server of its own (with its command-line client) and a
    # per-thread CPU meter.
    pulseaudio pulseaudio-utils sysstat
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "deps.sh: need root or sudo to install ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
