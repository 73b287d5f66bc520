# Sourced by run.sh and test.sh: installs, on Debian as root, whatever the
# build and the tests need and that is not there yet, and generates the
# UTF-8 locales in which the Wine tests run programs in code page 932
# (Japanese) and 1252 (Western). Nothing is installed when everything is
# present.
#
#   ensure_tools native   compiler, CMake, GoogleTest
#   ensure_tools all      also MinGW-w64 i686, Wine, the archive tools
#                         the library's tests use as oracles, and what the
#                         package tests use (groff and man to render and
#                         find the manual pages, dpkg-dev and file for
#                         CPack's .deb, pkg-config, lintian to check the
#                         .deb packages, python3 to run the README's ctypes
#                         example)

ensure_tools() {
  local packages=(cmake g++ make libgtest-dev libgmock-dev)
  if [ "$1" = all ]; then
    packages+=(g++-mingw-w64-i686 wine wine32:i386 locales p7zip-full libarchive-tools unar
      groff-base man-db dpkg-dev file pkg-config lintian python3)
  fi
  local missing=()
  local package
  for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  local command
  for command in cmake g++ make; do
    command -v "$command" >/dev/null 2>&1 || missing+=("$command")
  done
  if [ "$1" = all ]; then
    command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686)
    command -v wine >/dev/null 2>&1 || missing+=(wine)
  fi

  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
      echo "error: run as root to install them (or install them yourself)" >&2
      return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    if [ "$1" = all ]; then dpkg --add-architecture i386; fi
    apt-get update
    apt-get install -y "${packages[@]}"
  fi

  local locale
  for locale in ja_JP en_US; do
    if [ "$1" = all ] && ! grep -qix "$locale.utf-\?8" <<<"$(locale -a 2>/dev/null)"; then
      echo "Generating the locale $locale.UTF-8"
      localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
    fi
  done
}
