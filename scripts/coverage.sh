#!/bin/bash
# Line coverage of the product code by the tests: which lines of the
# library's codec, format, commands, os and api layers and of the front
# end's front, archiver, command, walk, pathtext and platform/posix the
# selected tests execute.
#
#   scripts/coverage.sh [--tests ARGS] [--source DIR] [--tree DIR] [--out FILE]
#     --tests ARGS   ctest's selection (default "-E 'wine|package'")
#     --source DIR   the tree to measure (default: this checkout)
#     --tree DIR     the build tree (default /tmp/tavo-coverage)
#     --out FILE     the report (default TREE/coverage.txt)
#
# Prints lines covered and lines in all per folder and overall; the report
# adds gcovr's per-file list with the lines never run. The build is a gcc
# Debug build with --coverage, counters zeroed before each run. Two parts of
# the build are left out on purpose: the Windows cross build, whose code
# gcov cannot see run under Wine (so Wine tests count as skipped here), and
# the self-extractor's -Os copy of the library, which the counters would
# push over its size limit (a compiler launcher written into the tree adds
# --coverage to every compilation but the -Os ones). A test that ends a
# process by a signal loses that process's counts. Installs what the build
# needs and gcovr (Debian, as root) when missing. Exits non-zero when a
# test failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source_dir="$root"
tree=/tmp/tavo-coverage
tests="-E 'wine|package'"
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --tests) tests="$2"; shift 2 ;;
    --source) source_dir="$(cd "$2" && pwd)"; shift 2 ;;
    --tree) tree="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    *) echo "usage: scripts/coverage.sh [--tests ARGS] [--source DIR] [--tree DIR] [--out FILE]" >&2; exit 2 ;;
  esac
done
mkdir -p "$tree"
tree="$(cd "$tree" && pwd)"
out="${out:-$tree/coverage.txt}"

source "$root/scripts/ensure-tools.sh"
ensure_tools native
if ! command -v gcovr >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: gcovr is missing: run as root to install it (or install the package gcovr)" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y gcovr
fi

# Counters in every compilation but the self-extractor's -Os ones, updated
# atomically: tests run the library on several threads, and plain updates
# lose counts and can even leave them negative. The build does not see a
# change of this launcher, so a changed one starts the tree afresh.
launcher='#!/bin/sh
# Compiler launcher written by scripts/coverage.sh.
case " $* " in *" -Os "*) exec "$@" ;; esac
exec "$@" --coverage -fprofile-update=atomic'
if [ "$(cat "$tree/with-coverage" 2>/dev/null)" != "$launcher" ]; then
  rm -rf "$tree/build"
  printf '%s\n' "$launcher" >"$tree/with-coverage"
  chmod +x "$tree/with-coverage"
fi

# An empty TAVO_MINGW_CXX counts as "no cross compiler": no Windows build.
CC=gcc CXX=g++ cmake -S "$source_dir" -B "$tree/build" -DCMAKE_BUILD_TYPE=Debug -DTAVO_MINGW_CXX= \
  -DCMAKE_C_COMPILER_LAUNCHER="$tree/with-coverage" -DCMAKE_CXX_COMPILER_LAUNCHER="$tree/with-coverage" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >"$tree/configure.log"
echo "building $tree/build"
cmake --build "$tree/build" -j2 >"$tree/build.log" 2>&1 || { tail -20 "$tree/build.log"; exit 1; }
find "$tree/build" -name '*.gcda' -delete

echo "running ctest $tests"
tests_status=0
(cd "$tree/build" && eval "ctest -j2 $tests") >"$tree/ctest.log" 2>&1 || tests_status=$?
grep -E '^[0-9]+% tests passed|tests failed out of' "$tree/ctest.log" || true

product='(unlha32/(codec|format|commands|os|api)|front|archiver|command|walk|pathtext|platform/posix)/'
(cd "$source_dir" && gcovr --root "$source_dir" --object-directory "$tree/build" --filter "$product" \
  --txt "$tree/files.txt" --json-summary "$tree/summary.json") >"$tree/gcovr.log" 2>&1 \
  || { tail -20 "$tree/gcovr.log"; exit 1; }

python3 - "$tree/summary.json" "$tree/files.txt" "$out" "$source_dir" "ctest $tests" "$tests_status" <<'PYTHON'
import json
import os
import sys

summary_path, files_path, out_path, source, selection, tests_status = sys.argv[1:]
folders = ["unlha32/base", "unlha32/codec", "unlha32/format", "unlha32/commands", "unlha32/os", "unlha32/api",
           "front", "archiver", "command", "walk", "pathtext", "platform/posix"]
files = json.load(open(summary_path))["files"]
measured = {f["filename"] for f in files}
rows = []
for folder in folders:
    mine = [f for f in files if f["filename"].startswith(folder + "/")]
    rows.append((folder, sum(f["line_covered"] for f in mine), sum(f["line_total"] for f in mine)))
library = [r for r in rows if r[0].startswith("unlha32/")]
front = [r for r in rows if not r[0].startswith("unlha32/")]
rows.append(("library", sum(r[1] for r in library), sum(r[2] for r in library)))
rows.append(("front end", sum(r[1] for r in front), sum(r[2] for r in front)))
rows.append(("overall", sum(r[1] for r in library + front), sum(r[2] for r in library + front)))
unseen = sorted(os.path.relpath(os.path.join(d, n), source)
                for folder in folders for d, _, names in os.walk(os.path.join(source, folder))
                for n in names if n.endswith((".cpp", ".h"))
                and os.path.relpath(os.path.join(d, n), source) not in measured)

lines = [f"Line coverage of {source} by {selection}"
         + ("" if tests_status == "0" else f" (ctest exited {tests_status}: some tests failed)"),
         "", f"{'folder':18} {'covered':>8} {'lines':>8} {'percent':>8}"]
for name, covered, total in rows:
    if name == "library":
        lines.append("")
    lines.append(f"{name:18} {covered:8} {total:8} {100 * covered / max(total, 1):7.1f}%")
table = "\n".join(lines)
print(table)
with open(out_path, "w") as out:
    out.write(table + "\n\nPer file (gcovr; Missing: the lines never run)\n\n")
    out.write(open(files_path).read())
    if unseen:
        out.write("\nProduct files without code in the native build (headers of declarations only, "
                  "Windows code):\n" + "".join(f"  {name}\n" for name in unseen))
print(f"report: {out_path}")
PYTHON
exit "$tests_status"
