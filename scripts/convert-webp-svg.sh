#!/usr/bin/env bash
# Installs what is missing, builds kilnmark-batch with its filter host and its WebP and
# SVG import filters (release build), and converts WebP and SVG files to PNG through
# them: the samples of examples/filters/, or the files given. Results go to
# out/examples/filters-png/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/kilnmark-ccache}"
cmake --preset release >/dev/null
cmake --build --preset release -j 2 --target kilnmark-batch

batch=build/release/bin/kilnmark-batch
if [ $# -eq 0 ]; then
  set -- "examples/filters/*.*"
fi
status=0
for pattern in "$@"; do
  "$batch" examples/filters-png.rsq "$pattern" || status=$?
done

echo
echo "Results are in $(pwd)/out/examples/filters-png/"
ls -1 out/examples/filters-png/ 2>/dev/null || true
exit "$status"
