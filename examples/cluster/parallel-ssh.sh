#!/usr/bin/env bash
# One batch run spread over several machines with GNU parallel: the list is cut into
# PARTS parts (kilnmark-batch --shard K/PARTS) and parallel hands the parts out to the
# machines of a login file over ssh, one part at a time to each free slot.
#
#   examples/cluster/parallel-ssh.sh SCRIPT.rsq 'PATTERN' [PARTS] > results.jsonl
#
# Needs, on every machine: kilnmark-batch on PATH (or KILNMARK_BATCH set to its path),
# ssh login without a password, and the script, the inputs and the script's output
# folder at the same absolute paths (shared storage). Quote the pattern, so that the
# remote program sees it whole.
#
# SSHLOGINFILE names the login file (default: nodes.txt beside this script): one login
# a line, "slots/user@host", ":" for this machine, "#" comments; see nodes.txt.
# PARTS defaults to four for each slot of the login file: small parts even out fast and
# slow machines.
#
# Standard output carries one JSON line per file (input, output, status, code, message,
# milliseconds), each part's lines together; parts.log (parallel's job log) has a line
# per part with its host, run time and exit status (0 done, 1 some file failed).
# After a lost machine or a stopped run, run the same command again: --skip-existing
# leaves every file whose output is already there, so only what is missing is done.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 SCRIPT.rsq 'PATTERN' [PARTS]" >&2
  exit 2
fi
script=$1
pattern=$2
here=$(cd "$(dirname "$0")" && pwd)
logins=${SSHLOGINFILE:-$here/nodes.txt}
program=${KILNMARK_BATCH:-kilnmark-batch}

if [ $# -ge 3 ]; then
  parts=$3
else
  # Four parts for each slot: "4/host" counts 4, a bare "host" or ":" counts 1.
  parts=$(awk -F/ '!/^[ \t]*(#|$)/ { n += (NF > 1 && $1 ~ /^[0-9]+$/) ? $1 : 1 } END { print 4 * (n ? n : 1) }' "$logins")
fi

# -q quotes every word for the remote shell, so the pattern arrives unexpanded;
# parallel puts each part's number where {} stands.
seq 1 "$parts" | parallel --will-cite --sshloginfile "$logins" --joblog parts.log -q \
  "$program" "$script" "$pattern" --shard "{}/$parts" --skip-existing --log-format jsonl
