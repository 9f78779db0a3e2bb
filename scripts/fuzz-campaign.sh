#!/usr/bin/env bash
# Runs fuzz targets of the clang fuzz build for a while each and prints, per target, the
# CPU-minutes used, the executions and the crashing inputs found.
#
#   scripts/fuzz-campaign.sh SECONDS [TARGET...]     (all targets when none is named)
#
# New corpus entries go to build/fuzz/found/<target>; crashing inputs to
# build/fuzz/artifacts/<target>/. Once a finding is fixed, copy it to
# fuzz/regress/<target>/ under a name saying what it broke.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:?usage: fuzz-campaign.sh SECONDS [TARGET...]}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(decode meta script script_json json palette_text palette_riff list clipboard dispatch)
fi

if [ ! -d build/fuzz ]; then
  cmake --preset fuzz >/dev/null
fi
cmake --build build/fuzz >/dev/null

for t in "${targets[@]}"; do
  found=build/fuzz/found/$t
  artifacts=build/fuzz/artifacts/$t
  log=build/fuzz/campaign-$t.log
  mkdir -p "$found" "$artifacts"
  seeds=(fuzz/corpus/"$t")
  if [ -n "$(ls -A fuzz/regress/"$t" 2>/dev/null)" ]; then
    seeds+=(fuzz/regress/"$t")
  fi
  /usr/bin/time -f '%U %S' -o "$log.time" \
    build/fuzz/bin/fuzz_"$t" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$found" "${seeds[@]}" >"$log" 2>&1 || true
  cpu=$(tail -n 1 "$log.time" | awk '{printf "%.1f", ($1+$2)/60}')
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  crashes=$(ls -A "$artifacts" | wc -l)
  echo "$t: ${cpu} CPU-minutes, ${runs:-0} executions, $crashes crashing inputs"
done
