#!/usr/bin/env bash
# Builds Velmar and runs it on its built-in default: our own boot firmware with no cartridge.
# With a display (DISPLAY or WAYLAND_DISPLAY set) the desktop window opens; a ROM file given
# as the first argument is loaded instead. Without a display the run is headless: 300
# frames, then a screenshot of the last one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    if [[ $# -gt 0 ]]; then
        exec build/default/src/frontend/velmar "$@"
    fi
    exec build/default/src/frontend/velmar --bios
fi
shot="$PWD/build/velmar-default.bmp"
build/default/tools/velmar-cli/velmar-cli run --bios --frames 300 --screenshot "$shot" "$@"
echo "Ran the built-in firmware for 300 frames (5 seconds of console time)."
echo "Screenshot of the last frame: $shot"
