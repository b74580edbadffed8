#!/bin/sh
# Runs the ID3v2 reader fuzzer for a bounded time over a fresh corpus,
# seeded with the public sample files when they are there.
#   run_fuzz.sh <fuzzer> <work folder> <seconds> [seed folder]
set -eu
fuzzer=$1; work=$2; seconds=$3; seeds=${4:-}
rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
set -- "$work/corpus"
[ -n "$seeds" ] && [ -d "$seeds" ] && set -- "$@" "$seeds"
exec "$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=30 -rss_limit_mb=4096 \
     -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@"
