#!/bin/bash
# Fails when the Python example of README.md (its one ```python block) does
# not list the sample archive through the built library as the C consumer
# does: the record's layout, the argument types and the walk's results must
# hold for a ctypes user.
# Arguments: README.md, the folder of libunlha32.so.0, the sample archive,
# the expected listing.
set -euo pipefail
readme=$1 library_dir=$2 sample=$3 expected=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk '/^```python$/ { inside = 1; next } /^```$/ { inside = 0 } inside' "$readme" >"$work/example.py"
[ -s "$work/example.py" ] || { echo "README.md has no python example"; exit 1; }
python=/usr/bin/python3
[ -x "$python" ] || python=python3
got=$(LD_LIBRARY_PATH=$library_dir "$python" "$work/example.py" "$sample") || { echo "the example failed: $got"; exit 1; }
want=$(cat "$expected")
[ "$got" = "$want" ] || { echo "the example listed '$got', not '$want'"; exit 1; }
if LD_LIBRARY_PATH=$library_dir "$python" "$work/example.py" "$readme" >/dev/null 2>&1; then
  echo "the example took README.md for an archive"
  exit 1
fi
echo "the README's Python example lists the sample"
