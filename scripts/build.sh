#!/usr/bin/env bash
# Installs what is missing, then configures and builds one preset (default: "default").
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/deps.sh
if [[ ! -f build/$preset/build.ninja ]]; then
    cmake --preset "$preset" >/dev/null
fi
cmake --build --preset "$preset"
