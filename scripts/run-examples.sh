#!/usr/bin/env bash
# Installs what is missing, builds kilnmark-batch and kilnmark (release build), runs the sample
# scripts of examples/ over the sample images, and the WebP and SVG samples through the
# import filters. Results go to out/examples/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/kilnmark-ccache}"
cmake --preset release >/dev/null
cmake --build --preset release -j 2 --target kilnmark-batch kilnmark

batch=build/release/bin/kilnmark-batch
status=0
for script in examples/web-gif.rsq examples/grey-png.rsq examples/framed-jpg.rsq; do
  echo "== $script"
  "$batch" "$script" "examples/images/*.*" || status=$?
done
# WebP and SVG samples, read through the shipped import filters.
echo "== examples/filters-png.rsq"
"$batch" examples/filters-png.rsq "examples/filters/*.*" || status=$?

echo
echo "Results are in $(pwd)/out/examples/"
ls -1 out/examples/*/ 2>/dev/null || true
exit "$status"
