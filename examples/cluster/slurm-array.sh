#!/usr/bin/env bash
# A Slurm job array: each array task converts its part of the list.
#
#   sbatch examples/cluster/slurm-array.sh
#
# The array runs from 1 to PARTS, the number of parts (change --array and PARTS
# together; the task id is passed as the part number as it is, so the ids are 1..PARTS).
# Each task writes its JSON lines to kilnmark-<job>_<task>.jsonl; a task's exit status
# is 0 when its files were converted or already there, 1 when some file failed.
# Resubmit the same script after a failure, or only the failed ids (sbatch --array=3,7
# slurm-array.sh): --skip-existing converts only the files still missing.
#
# The script, the inputs and the script's output folder must be on storage every
# compute node sees at the same path. Set SCRIPT, INPUT and PARTS below, or pass them
# with sbatch --export=ALL,SCRIPT=...,INPUT=...
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
PARTS=${PARTS:-8}  # the top of --array, also when only some ids are resubmitted
KILNMARK_BATCH=${KILNMARK_BATCH:-kilnmark-batch}

# The pattern stays quoted: kilnmark-batch matches it itself.
exec "$KILNMARK_BATCH" "$SCRIPT" "$INPUT" --shard "$SLURM_ARRAY_TASK_ID/$PARTS" --skip-existing --log-format jsonl
