#!/bin/bash
# Fails when what `cmake --install` puts under a prefix is not usable: tavo
# from the prefix must find the library of the prefix by itself, and a C
# program must build against the installed library through its CMake
# package and through pkg-config, and run: test the sample and list it
# through an archive handle.
# Arguments: the build tree, the consumer project, the project version,
# UnlhaGetVersion's expected value, the sample archive.
set -euo pipefail
build=$1 consumer=$2 version=$3 number=$4 sample=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
cp "$sample" "$work/sample.lzh"
cd "$work"

fail() { echo "$*"; exit 1; }

soname=$(find "$prefix" -name "libunlha32.so.${version%%.*}")
[ -L "$soname" ] || fail "no soname link libunlha32.so.${version%%.*} in $prefix"
libdir=$(dirname "$soname")
[ -e "$libdir/libunlha32.so" ] || fail "no development link libunlha32.so in $libdir"

listing=$(env -u LD_LIBRARY_PATH "$prefix/bin/tavo" l sample.lzh) || fail "installed tavo failed: $listing"
grep -q commands.txt <<<"$listing" || fail "installed tavo did not list the sample: $listing"

want=$(printf 'version %s members 3 result 0\n' "$number"; cat "$consumer/sample-listing.txt")

cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" -DWANTED_VERSION="$version" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
got=$("$work/cmake-build/consumer" sample.lzh)
[ "$got" = "$want" ] || fail "find_package consumer: want '$want', got '$got'"

export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion unlha32)" = "$version" ] || fail "pkg-config version is not $version"
# shellcheck disable=SC2046
cc -o "$work/pc-consumer" "$consumer/main.c" $(pkg-config --cflags --libs unlha32)
got=$(LD_LIBRARY_PATH=$libdir "$work/pc-consumer" sample.lzh)
[ "$got" = "$want" ] || fail "pkg-config consumer: want '$want', got '$got'"
echo "installed under $prefix: tavo and both consumers work"
