#!/usr/bin/env bash
# Builds a preset (default: "default") and runs every test: unit, integration and long.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/build.sh "$preset"
ctest --preset "$preset"
