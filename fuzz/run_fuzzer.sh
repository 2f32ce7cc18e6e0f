#!/usr/bin/env bash
# Runs one fuzz target for a fixed number of inputs, starting from its seeds in fuzz/corpus/, as
# the test command does:  run_fuzzer.sh FUZZER SEED_DIR WORK_DIR [RUNS] [libFuzzer options...]
# New inputs go to WORK_DIR (emptied first), never into the repository's corpus; a crashing
# input is written to WORK_DIR/crash-* and its path printed by libFuzzer.
# A longer run on demand (RUNS -1: no limit on inputs, libFuzzer's -runs=0 would run none):
#   run_fuzzer.sh build/host/fuzz/fuzz_registrar fuzz/corpus/fuzz_registrar /tmp/w -1 -max_total_time=600
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 runs=${4:-20000}
shift $(( $# < 4 ? $# : 4 ))

rm -rf "$work"
mkdir -p "$work/new"
# A fixed seed keeps the test's run the same every time.
exec "$fuzzer" -runs="$runs" -seed=1 -max_len=4096 -timeout=25 -rss_limit_mb=2048 \
     -print_final_stats=1 -artifact_prefix="$work/" "$@" "$work/new" "$seeds"
