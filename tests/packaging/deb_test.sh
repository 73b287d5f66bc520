#!/bin/bash
# Fails when the three .deb packages CPack makes are incomplete, do not
# work together once installed, or draw an error from lintian. Split as
# Debian splits a library: libunlha32-0 (the shared library), libunlha32-dev
# (header, unversioned link, .pc file, CMake package, unlha32(3)) and tavo
# (the program, its manual page and completion), each with its copyright
# file; tavo and the -dev package depend on the library of their version.
# As root (CI), when none of them is installed yet, they are installed with
# dpkg, tavo is run from /usr/bin, man finds the pages, the loader's cache
# the library, and a C program built against the installed -dev package
# lists the sample through an archive handle; then they are purged, leaving
# dpkg's database as it was. Otherwise they are unpacked into a temporary
# root and the same is done there.
# Arguments: the build tree, the multiarch triplet, the sample archive, the
# project version, UnlhaGetVersion's expected value, the consumer project.
set -euo pipefail
build=$1 triplet=$2 sample=$3 version=$4 number=$5 consumer=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }
library_package=libunlha32-${version%%.*}
packages=("$library_package" libunlha32-dev tavo)

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=()
for package in "${packages[@]}"; do
  deb=$work/out/${package}_${version}_$(dpkg --print-architecture).deb
  [ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$work/out")"
  debs+=("$deb")
done

lib=./usr/lib/$triplet
declare -A expected=(
  [$library_package]="$lib/libunlha32.so.${version%%.*} $lib/libunlha32.so.$version"
  [libunlha32-dev]="$lib/libunlha32.so ./usr/include/unlha32.h $lib/pkgconfig/unlha32.pc
    $lib/cmake/unlha32/unlha32Config.cmake ./usr/share/man/man3/unlha32.3.gz"
  [tavo]="./usr/bin/tavo ./usr/share/man/man1/tavo.1.gz ./usr/share/bash-completion/completions/tavo")
for i in "${!packages[@]}"; do
  package=${packages[$i]} deb=${debs[$i]}
  contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for path in ${expected[$package]} "./usr/share/doc/$package/copyright"; do
    grep -qx -- "$path" <<<"$contents" || fail "$package lacks $path"
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "$package: Depends: $depends"
  case $package in
    libunlha32-dev | tavo) [[ "$depends" == *"$library_package (= $version)"* ]] ||
      fail "$package does not depend on $library_package (= $version)" ;;
    *) [[ "$depends" == *libc6* && "$depends" == *libstdc++6* ]] || fail "$package lacks libc6 or libstdc++6" ;;
  esac
done

command -v lintian >/dev/null || fail "lintian is not installed (scripts/ensure-tools.sh installs it)"
lintian_report=$(lintian --tag-display-limit 0 "${debs[@]}" 2>&1) || true
if grep -q '^E: ' <<<"$lintian_report"; then
  echo "$lintian_report"
  fail "lintian reports errors"
fi

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
# Builds the consumer with the .pc file of the given folder and runs it.
check_consumer() {
  local pc_dir=$1 got want
  want=$(printf 'version %s members 3 result 0\n' "$number"; cat "$consumer/sample-listing.txt")
  # shellcheck disable=SC2046
  cc -o "$work/consumer" "$consumer/main.c" $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs unlha32) ||
    fail "the consumer does not build against the installed package"
  got=$(LD_LIBRARY_PATH=${2:-} "$work/consumer" sample.lzh) || fail "the consumer failed: $got"
  [ "$got" = "$want" ] || fail "consumer: want '$want', got '$got'"
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
installed_any() {
  local package
  for package in "${packages[@]}"; do dpkg-query -W "$package" >/dev/null 2>&1 && return 0; done
  return 1
}

if [ "$(id -u)" -eq 0 ] && ! installed_any; then
  dpkg_retrying dpkg -i "${debs[@]}" || fail "dpkg -i failed"
  trap 'dpkg_retrying dpkg --purge "${packages[@]}" || true; rm -rf "$work"' EXIT
  check_tavo env -u LD_LIBRARY_PATH /usr/bin/tavo
  grep -q '/usr/share/man/man1/tavo.1.gz' <<<"$(man -w tavo)" || fail "man -w tavo does not find the page"
  grep -q 'unlha32.3.gz' <<<"$(man -w 3 unlha32)" || fail "man -w 3 unlha32 does not find the page"
  grep -q "^\s*libunlha32\.so\.0 (.*=> .*/$triplet/libunlha32\.so\.0\$" <<<"$(ldconfig -p)" ||
    fail "the loader's cache does not know libunlha32.so.0"
  check_consumer "" ""
  dpkg_retrying dpkg --purge "${packages[@]}" || fail "dpkg --purge failed"
  trap 'rm -rf "$work"' EXIT
  [ ! -e /usr/bin/tavo ] && [ ! -e "/usr/lib/$triplet/libunlha32.so.0" ] && [ ! -e /usr/include/unlha32.h ] ||
    fail "dpkg --purge left files behind"
  ! installed_any || fail "dpkg still knows a package"
  echo "installed with dpkg, ran /usr/bin/tavo and a consumer, purged"
else
  for deb in "${debs[@]}"; do dpkg-deb -x "$deb" root; done
  check_tavo env LD_LIBRARY_PATH="$work/root/usr/lib/$triplet" root/usr/bin/tavo
  MANPATH=$work/root/usr/share/man man -w tavo >/dev/null || fail "man does not find the page in the package"
  check_consumer "$work/root/usr/lib/$triplet/pkgconfig" "$work/root/usr/lib/$triplet"
  echo "unpacked into a temporary root and ran tavo and a consumer from there"
fi
