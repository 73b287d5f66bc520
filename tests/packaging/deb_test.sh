#!/bin/bash
# Fails when the .deb CPack makes is incomplete or does not work once
# installed: it must hold tavo, the library and its links, the header, the
# .pc file, the CMake package, the gzipped manual pages and the completion,
# and declare its shared-library dependencies. As root (CI), when no tavo
# package is installed yet, it is installed with dpkg, tavo is run from
# /usr/bin, man finds its page and the loader's cache the library; then it
# is purged, leaving dpkg's database as it was. Otherwise the package is
# unpacked into a temporary root and tavo is run from there.
# Arguments: the build tree, the multiarch triplet, the sample archive.
set -euo pipefail
build=$1 triplet=$2 sample=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(echo "$work"/out/tavo_*.deb)
[ -f "$deb" ] || fail "cpack made no tavo_*.deb"
echo "package: $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
lib=./usr/lib/$triplet
for path in ./usr/bin/tavo "$lib/libunlha32.so.0" "$lib/libunlha32.so" ./usr/include/unlha32.h \
  "$lib/pkgconfig/unlha32.pc" "$lib/cmake/unlha32/unlha32Config.cmake" \
  ./usr/share/man/man1/tavo.1.gz ./usr/share/man/man3/unlha32.3.gz \
  ./usr/share/bash-completion/completions/tavo; do
  grep -qx -- "$path" "$work/contents" || fail "the package lacks $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ "$depends" == *libc6* && "$depends" == *libstdc++6* ]] || fail "Depends lacks libc6 or libstdc++6"

cp "$sample" "$work/sample.lzh"
cd "$work"
check_tavo() {
  local listing
  listing=$("$@" l sample.lzh) || fail "tavo failed: $listing"
  grep -q commands.txt <<<"$listing" || fail "tavo did not list the sample: $listing"
  mkdir -p out
  "$@" x sample.lzh out/ >/dev/null
  [ -f out/docs/commands.txt ] || fail "tavo x did not extract the sample"
}

# dpkg waits for no one: another apt or dpkg run holds its lock for a while.
dpkg_retrying() {
  local attempt
  for attempt in $(seq 60); do
    if "$@" >"$work/dpkg.log" 2>&1; then return 0; fi
    grep -q 'lock' "$work/dpkg.log" || { cat "$work/dpkg.log"; return 1; }
    sleep 5
  done
  cat "$work/dpkg.log"
  return 1
}

if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W tavo >/dev/null 2>&1; then
  dpkg_retrying dpkg -i "$deb" || fail "dpkg -i failed"
  trap 'dpkg_retrying dpkg --purge tavo || true; rm -rf "$work"' EXIT
  check_tavo env -u LD_LIBRARY_PATH /usr/bin/tavo
  grep -q '/usr/share/man/man1/tavo.1.gz' <<<"$(man -w tavo)" || fail "man -w tavo does not find the page"
  grep -q 'unlha32.3.gz' <<<"$(man -w 3 unlha32)" || fail "man -w 3 unlha32 does not find the page"
  grep -q "^\s*libunlha32\.so\.0 (.*=> .*/$triplet/libunlha32\.so\.0\$" <<<"$(ldconfig -p)" ||
    fail "the loader's cache does not know libunlha32.so.0"
  dpkg_retrying dpkg --purge tavo || fail "dpkg --purge failed"
  trap 'rm -rf "$work"' EXIT
  [ ! -e /usr/bin/tavo ] && [ ! -e "/usr/lib/$triplet/libunlha32.so.0" ] || fail "dpkg --purge left files behind"
  ! dpkg-query -W tavo >/dev/null 2>&1 || fail "dpkg still knows the package"
  echo "installed with dpkg, ran /usr/bin/tavo, purged"
else
  dpkg-deb -x "$deb" root
  check_tavo env LD_LIBRARY_PATH="$work/root/usr/lib/$triplet" root/usr/bin/tavo
  MANPATH=$work/root/usr/share/man man -w tavo >/dev/null || fail "man does not find the page in the package"
  echo "unpacked into a temporary root and ran tavo from there"
fi
