#!/usr/bin/env bash
# Builds Velmar and runs it on its built-in default.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
exec build/default/tools/velmar-cli/velmar-cli cpm ../shared/testroms/zexdoc.com
