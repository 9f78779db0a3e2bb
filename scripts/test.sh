#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer configuration with warnings as errors,
# and runs the whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
# Under CI (CI=true) it also builds the optimised configuration with warnings as errors,
# since some warnings only appear when optimising, and runs the suite there too.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/kilnmark-ccache}"
# Paths relative to the checkout, so every clone on this machine shares the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}" CCACHE_NOHASHDIR=1
cmake --preset asan
cmake --build --preset asan -j 2
# Two suites drive Qt's own file dialogs, whose folder model fills in on a thread of
# its own; on a loaded machine they can miss a rare deadline, so a failed test gets up
# to two more tries (a real fault fails every time).
ctest --preset asan --repeat until-pass:3

if [ "${CI:-}" = "true" ]; then
  cmake --preset release -B build/ci-release -DKILNMARK_WERROR=ON
  cmake --build build/ci-release -j 2
  ctest --test-dir build/ci-release -j 2 --output-on-failure --repeat until-pass:3
fi
