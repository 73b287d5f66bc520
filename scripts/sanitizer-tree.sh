# Sourced by safety.sh and fuzz.sh: the sanitizer build tree, made with
# clang: ASan and UBSan in every target, coverage counters in every
# library, the libFuzzer targets in fuzz/. Installs clang, its runtime
# libraries and valgrind when missing (Debian, as root).
#
#   sanitizer_tree_build [TARGET...]   configure and build (all, or TARGETs)
#   $sanitizer_tree                    where the tree is

sanitizer_tree="$root/build-safety"

ensure_safety_tools() {
  local missing=()
  local package
  for package in clang libclang-rt-14-dev valgrind cmake libgtest-dev libgmock-dev; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: run as root to install them (or install them yourself)" >&2
    return 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

sanitizer_tree_build() {
  ensure_safety_tools
  CC=clang CXX=clang++ cmake -S "$root" -B "$sanitizer_tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVO_SANITIZE=ON >/dev/null
  local targets=()
  local target
  for target in "$@"; do targets+=(--target "$target"); done
  cmake --build "$sanitizer_tree" -j2 "${targets[@]}"
}
