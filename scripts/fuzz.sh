#!/bin/bash
# Runs one libFuzzer target for a bounded time, building the sanitizer tree
# first when needed:
#
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#   TARGET: headers decoder command_line unlha pathtext assemble
#
# Seeds come from fuzz/corpus/TARGET and fuzz/regressions/TARGET (both
# read-only here); what the run discovers is kept in
# build-safety/fuzz-work/TARGET, so longer runs on demand pick up where the
# last one stopped. A crash leaves its input in build-safety/fuzz-crashes/
# and fails the script. The last line says how many executions ran.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/sanitizer-tree.sh"

if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target="$1"
seconds="$2"
shift 2

sanitizer_tree_build "${target}_fuzzer" >/dev/null
work="$sanitizer_tree/fuzz-work/$target"
crashes="$sanitizer_tree/fuzz-crashes"
mkdir -p "$work" "$crashes"
inputs=("$work" "$root/fuzz/corpus/$target")
[ -d "$root/fuzz/regressions/$target" ] && inputs+=("$root/fuzz/regressions/$target")

log="$sanitizer_tree/fuzz-$target.log"
status=0
"$sanitizer_tree/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$crashes/$target-" "$@" "${inputs[@]}" >"$log" 2>&1 || status=$?

runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
if [ "$status" -ne 0 ]; then
  grep -v '^#' "$log" | tail -n 40
  echo "fuzz $target: FAILED after ${runs:-?} executions in $seconds s (input in $crashes, log $log)"
  exit 1
fi
echo "fuzz $target: ${runs:-?} executions in $seconds s, nothing found (corpus $(ls "$work" | wc -l) new inputs)"
