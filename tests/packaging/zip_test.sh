#!/bin/bash
# Fails when the Windows .zip is incomplete or does not run: it must unpack
# into one folder holding tavo.exe, unlha32.dll, the self-extractor stub, the
# header and README.txt with CRLF line ends, and tavo.exe from that folder
# must list the bundled sample, add files to a new archive and extract them
# unchanged (under Wine, in the test prefix).
# Arguments: the .zip, wine, the sample archive.
set -euo pipefail
zip=$1 wine=$2 sample=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

(cd "$work" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
folder=$work/$(basename "$zip" .zip)
for file in tavo.exe unlha32.dll unlha32_sfx.exe unlha32.h README.txt; do
  [ -f "$folder/$file" ] || fail "the zip lacks $file"
done
[ "$(head -c2 "$folder/unlha32_sfx.exe")" = MZ ] || fail "unlha32_sfx.exe is no Windows program"
[ "$(grep -c $'\r$' "$folder/README.txt")" -eq "$(wc -l <"$folder/README.txt")" ] ||
  fail "README.txt has lines without CRLF"

cd "$folder"
cp "$sample" sample.lzh
listing=$("$wine" tavo.exe l sample.lzh) || fail "tavo.exe l failed: $listing"
grep -q commands.txt <<<"$listing" || fail "tavo.exe did not list the sample: $listing"

mkdir -p files/sub
printf 'first file\r\n' >files/one.txt
head -c 20000 "$zip" >files/sub/two.bin
(cd files && "$wine" ../tavo.exe a -r ../made.lzh '*.*' >/dev/null)
"$wine" tavo.exe x made.lzh 'out\' >/dev/null
cmp files/one.txt out/one.txt || fail "one.txt did not come back unchanged"
cmp files/sub/two.bin out/sub/two.bin || fail "sub/two.bin did not come back unchanged"
echo "unpacked $(basename "$zip"), listed, added and extracted with tavo.exe"
