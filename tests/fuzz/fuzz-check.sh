#!/usr/bin/env bash
# The fuzzer as a CTest test: every seed, then a fixed number of mutations from
# a fixed random seed, so the same inputs run each time and a crash, a
# sanitizer report, a leak or a stuck input fails the suite.
#
# Usage: fuzz-check.sh FUZZER MEDIA_DIR WORK_DIR RUNS
set -euo pipefail
(($# == 4)) || { echo "usage: ${0##*/} FUZZER MEDIA_DIR WORK_DIR RUNS" >&2; exit 2; }
fuzzer=$1 media=$2 work=$3 runs=$4
here=$(cd "$(dirname "$0")" && pwd)
max_len=262144

"$here/../media/make-media.sh" "$media"
"$here/make-seeds.sh" "$media" "$work/seeds" "$max_len"
# New inputs go to a scratch folder, so every run starts from the seeds alone.
rm -rf -- "$work/scratch"
mkdir -p -- "$work/scratch" "$work/crashes"
# Describing stops at two seconds of wall-clock time; ten leaves room for a
# busy machine and still catches work that no deadline stops.
exec "$fuzzer" -runs="$runs" -seed=1 -max_len="$max_len" -timeout=10 -dict="$here/describe.dict" \
  -print_final_stats=1 -artifact_prefix="$work/crashes/" "$work/scratch" "$work/seeds"
