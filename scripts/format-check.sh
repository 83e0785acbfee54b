#!/usr/bin/env bash
# Fails when a C++ source is not clang-format clean.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' '*.inl' | xargs clang-format --dry-run -Werror
