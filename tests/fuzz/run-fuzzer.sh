#!/bin/sh
# Runs one libFuzzer target for SECONDS on its seed corpus (tests/fuzz/corpus/TARGET), keeping
# what it learns in WORK (never in the source tree). Prints the figures of the run's last line.
#   run-fuzzer.sh FUZZER CORPUS WORK SECONDS [SEED]
# With SEED the mutations are the same on every run (make test); without it each run explores
# anew (make fuzz).
set -eu
fuzzer=$1 corpus=$2 work=$3 seconds=$4 seed=${5:-0}
mkdir -p "$work/corpus" "$work/artifacts"
log="$work/last-run.log"
status=0
"$fuzzer" -seed="$seed" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$work/corpus" "$corpus" >"$log" 2>&1 || status=$?
grep -E '^#[0-9]+ +DONE' "$log" | tail -1 || true
grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" || true
if [ "$status" -ne 0 ]; then
  grep -E 'ERROR|property failed|SUMMARY|Test unit written' "$log" || true
  echo "$(basename "$fuzzer"): failed (status $status); the log is $log" >&2
fi
exit "$status"
