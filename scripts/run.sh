#!/usr/bin/env bash
# Builds Velmar and runs it on its built-in default: our own boot firmware with no cartridge.
# Until the desktop window exists the run is headless; it writes a screenshot of the last frame.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
shot="$PWD/build/velmar-default.bmp"
build/default/tools/velmar-cli/velmar-cli run --bios --frames 300 --screenshot "$shot" "$@"
echo "Ran the built-in firmware for 300 frames (5 seconds of console time)."
echo "Screenshot of the last frame: $shot"
