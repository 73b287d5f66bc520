#!/bin/bash
# Builds tavo (installing what is missing) and runs it on a bundled sample:
# the usage screen, then (with the real library) a listing of the sample
# archive, a test of it and an extraction into a temporary directory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/ensure-tools.sh"
ensure_tools native

# The library tavo runs with: "real" (the archiver library and
# samples/sample.lzh, which it wrote) or "double" (the test double and its
# own sample).
library_kind=real

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
archive="$(basename "$sample")"
echo
echo "\$ tavo l $archive"
"$run/bin/tavo" l "$archive"
[ "$library_kind" = real ] || exit 0

echo
echo "\$ tavo t $archive"
"$run/bin/tavo" t "$archive"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
echo
echo "\$ tavo x $archive $out/"
"$run/bin/tavo" x "$archive" "$out/"
echo
echo "\$ find $out -type f"
find "$out" -type f | sort
