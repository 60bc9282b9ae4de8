#!/usr/bin/env bash
# Installs the Debian packages that are missing: with "program" only what building and starting Rotaconf
# needs (./run.sh); without an argument also everything the tests use (./test.sh): the sanitizer and
# fuzz compilers, the checks of the packages, the Windows cross compilers and Wine.
# usage: install-deps.sh [program]
set -euo pipefail

program_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libjpeg62-turbo-dev fonts-dejavu-core
  qt6-charts-dev libqt6opengl6-dev   # the position window's plot (its CMake files need Qt6OpenGL)
  libftdi1-2 libftdi1-dev            # the open driver for FTDI adapters
)
test_packages=(
  clang libclang-rt-14-dev           # libFuzzer targets
  clang-format git                   # the format check of ./test.sh
  libgtest-dev libgmock-dev libbenchmark-dev
  libusb-1.0-0-dev                   # the open driver's tests run Debian's libftdi1 on a libusb of their own
  srecord binutils                   # Intel HEX files checked against tools no one here wrote
  xvfb xauth libxcb1-dev             # the program's smoke test and the captions under a real X server
  dpkg-dev file lintian              # Debian packages: building (cpack) and checking them
  desktop-file-utils appstream       # checks of the desktop entry and the AppStream data
  g++-mingw-w64-i686-posix googletest           # tarnbus.dll for 32-bit Windows and its tests
  wine wine32:i386                              # ... run under Wine
  g++-mingw-w64-x86-64-posix wine64             # ... or as 64-bit code where 32-bit programs cannot run
)

case ${1:-all} in
  program) packages=("${program_packages[@]}") ;;
  all) packages=("${program_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: install-deps.sh [program]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Some packages are missing and this is not root: run as root, or install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # 32-bit Wine comes from Debian's i386 packages.
  if [[ " ${missing[*]} " == *:i386\ * ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
