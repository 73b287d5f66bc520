#!/bin/bash
# Builds everything (the Linux build and, inside it, the Windows cross build)
# and runs every test of the project with ctest: unit tests, end-to-end tests
# on Linux, and the end-to-end tests of tavo.exe under Wine. Installs what is
# missing first. Exits non-zero when anything fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/ensure-tools.sh"
ensure_tools all

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j2
cd "$build"
ctest -j2 --output-on-failure

# Sanitizer build, bounded fuzzing and valgrind (see scripts/safety.sh).
bash "$root/scripts/safety.sh"
