#!/bin/bash
# The safety stage of the test suite (the last step of scripts/test.sh):
#   1. the whole test suite again, built with clang, ASan and UBSan, where
#      any finding aborts the test that met it; this also replays every
#      fuzz target over its seed corpus and its regression inputs;
#   2. every libFuzzer target for $fuzz_seconds seconds (scripts/fuzz.sh);
#   3. the end-to-end tests (tavo against the test double and against the
#      real library, the library through its exported functions, the
#      hostile archives) under valgrind memcheck, in the normal build,
#      children included.
# Every stage runs even when an earlier one failed; the closing line counts
# them, and the script fails when any did.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/sanitizer-tree.sh"

fuzz_seconds=60
fuzz_targets=(headers decoder command_line unlha pathtext assemble)
passed=0
failed=0
stage() {
  local name="$1"
  shift
  local started=$SECONDS
  echo "=== safety: $name"
  if "$@"; then
    passed=$((passed + 1))
    echo "=== safety: $name passed ($((SECONDS - started)) s)"
  else
    failed=$((failed + 1))
    echo "=== safety: $name FAILED ($((SECONDS - started)) s)"
  fi
}

# The self-extracting program is built instrumented too (megabytes); the
# archive it carries is found where its image ends, so its tests run here
# like every other.
sanitized_tests() {
  sanitizer_tree_build || return 1
  (cd "$sanitizer_tree" &&
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 &&
    ctest -j2 --output-on-failure)
}

# Valgrind on one test program; any error in it or in a process it starts
# fails the run, whatever the program's own exit status says. Leaks are
# left to LeakSanitizer in the sanitizer run: the tests end forked children
# with _exit, which valgrind would report as leaking whatever they held.
memcheck() {
  local logs="$root/build/memcheck/$(basename "$1")"
  rm -rf "$logs"
  mkdir -p "$logs"
  valgrind --error-exitcode=1 --trace-children=yes --leak-check=no \
    --log-file="$logs/%p.log" "$@" >"$logs/output.txt" 2>&1
  local status=$?
  # Every process valgrind watched ends its log with an error summary.
  if [ "$status" -ne 0 ] || grep -q 'ERROR SUMMARY: [1-9]' "$logs"/*.log; then
    tail -n 20 "$logs/output.txt"
    grep -l 'ERROR SUMMARY: [1-9]' "$logs"/*.log | sed -n 1,3p | xargs -r head -n 60
    echo "memcheck: $(basename "$1") failed (logs in $logs)"
    return 1
  fi
}

memcheck_end_to_end() {
  local build="$root/build"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$build" -j2 --target tavo_e2e_tests tavo_e2e_library_tests api_tests hostile_tests >/dev/null ||
    return 1
  local ok=0
  memcheck "$build/tests/e2e/tavo_e2e_tests" --tavo="$build/bin/tavo" \
    --double="$build/testdouble/libunlha32.so" --partial-double="$build/testdouble-partial/libunlha32.so" || ok=1
  memcheck "$build/tests/e2e_library/tavo_e2e_library_tests" --tavo="$build/bin/tavo" \
    --library="$build/bin/libunlha32.so" || ok=1
  memcheck "$build/unlha32/tests/api/api_tests" || ok=1
  memcheck "$build/unlha32/tests/hostile/hostile_tests" || ok=1
  return "$ok"
}

ensure_safety_tools || exit 1
stage "test suite under ASan+UBSan" sanitized_tests
for target in "${fuzz_targets[@]}"; do
  stage "fuzz $target" "$root/scripts/fuzz.sh" "$target" "$fuzz_seconds"
done
stage "end-to-end tests under valgrind" memcheck_end_to_end

echo "safety: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
