#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer configuration with warnings as errors,
# and runs the whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/kilnmark-ccache}"
cmake --preset asan
cmake --build --preset asan -j 2
ctest --preset asan
