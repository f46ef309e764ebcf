#!/usr/bin/env bash
# Runs each fuzz target of a MARVESK_FUZZ build for a while, one after the
# other, on its committed seeds plus a working corpus in the build folder.
# Usage: run.sh BUILD_DIR SECONDS MAX_LEN TARGET...
# Prints the executions of each run; a crash stops with the input saved under
# BUILD_DIR/artifacts/.
set -euo pipefail
build=$1 seconds=$2 max_len=$3
shift 3
seeds="$(cd "$(dirname "$0")" && pwd)/corpus"
mkdir -p "$build/artifacts" "$build/logs"
for target in "$@"; do
  corpus=${target%_small_reads}  # the small-read run starts from the loader's seeds
  mkdir -p "$build/corpus/$target"
  log="$build/logs/$target.log"
  echo "fuzzing $target for ${seconds}s (log: $log)"
  status=0
  "$build/tests/fuzz/${target}_fuzzer" -max_len="$max_len" -max_total_time="$seconds" \
    -timeout=30 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$build/corpus/$target" "$seeds/$corpus" > "$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$target: ${runs:-?} executions, exit $status"
  if [ "$status" -ne 0 ]; then
    tail -40 "$log"
    exit "$status"
  fi
done
