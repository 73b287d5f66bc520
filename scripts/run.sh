#!/bin/bash
# Builds tavo (installing what is missing) and runs it on a bundled sample:
# first the usage screen, then a listing of the sample archive.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/ensure-tools.sh"
ensure_tools native

# The library tavo runs with: "double" (the test double and its sample)
# until the real archiver library lands, then "real".
library_kind=double

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
case "$library_kind" in
  double) library="$build/testdouble/libunlha32.so"; sample="$root/samples/double/sample.lzh"; target=tavo_double ;;
  real)   library="$build/bin/libunlha32.so";        sample="$root/samples/sample.lzh";        target=unlha32 ;;
esac
cmake --build "$build" -j2 --target tavo "$target"

# tavo looks for the library beside itself: run a copy with the chosen one.
run="$build/run"
rm -rf "$run"
mkdir -p "$run/bin" "$run/work"
cp "$build/bin/tavo" "$library" "$run/bin/"
cp "$sample" "$run/work/"
cd "$run/work"
echo "\$ tavo"
"$run/bin/tavo"
echo
echo "\$ tavo l $(basename "$sample")"
"$run/bin/tavo" l "$(basename "$sample")"
