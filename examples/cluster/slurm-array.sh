#!/usr/bin/env bash
# A Slurm job array: each array task converts its part of the list.
#
#   sbatch examples/cluster/slurm-array.sh
#
# The array runs from 1 to the number of parts (edit --array to change it; the ids
# must be 1..N: the task id is passed as the part number as it is). Each task writes its
# JSON lines to kilnmark-<job>_<task>.jsonl; a task's exit status is 0 when its files
# were converted or already there, 1 when some file failed. Resubmit the same script
# after a failure (or only the failed ids, sbatch --array=3,7): --skip-existing
# converts only the files still missing.
#
# The script, the inputs and the script's output folder must be on storage every
# compute node sees at the same path. Set SCRIPT and INPUT below, or pass them with
# sbatch --export=ALL,SCRIPT=...,INPUT=...
#
#SBATCH --job-name=kilnmark
#SBATCH --array=1-8
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=2
#SBATCH --output=kilnmark-%A_%a.jsonl
#SBATCH --error=kilnmark-%A_%a.err
set -euo pipefail

SCRIPT=${SCRIPT:-/shared/jobs/web.rsq}
INPUT=${INPUT:-/shared/photos/*.jpg}
KILNMARK_BATCH=${KILNMARK_BATCH:-kilnmark-batch}

# SLURM_ARRAY_TASK_COUNT is the number of tasks of the array (Slurm 18.08 and later).
parts=${SLURM_ARRAY_TASK_COUNT:-$((SLURM_ARRAY_TASK_MAX - SLURM_ARRAY_TASK_MIN + 1))}

# The pattern stays quoted: kilnmark-batch matches it itself.
exec "$KILNMARK_BATCH" "$SCRIPT" "$INPUT" --shard "$SLURM_ARRAY_TASK_ID/$parts" --skip-existing --log-format jsonl
