#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, the Debian packages made from it and checked,
# the same build again with AddressSanitizer and UndefinedBehaviorSanitizer, every fuzz target for a
# bounded time, then tarnbus.dll for 32-bit Windows under Wine.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

step() { printf '\n== %s\n' "$*"; }

step "code format"
scripts/check-format.sh

step "build and test"
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default

step "Debian packages: build, install into a scratch root, check"
scripts/check-packages.sh

step "build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

step "fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

step "tarnbus.dll for 32-bit Windows, under Wine"
cmake --preset windows >/dev/null
if scripts/wine-run.sh win32 --usable; then
  cmake --build --preset windows
  scripts/wine-run.sh win32 --init
  ctest --preset windows
else
  # Wine runs 32-bit Windows code in a 32-bit Linux process, which a kernel without 32-bit support
  # refuses: build the 32-bit files and check their exports and their shared unwinder here, and run
  # the same code built for 64-bit Windows.
  echo "This machine runs no 32-bit programs: 32-bit export tables and unwinder checked, the rest under 64-bit Wine."
  cmake --build --preset windows --target tarnbus ftd2xx-sim tarnbus-demo windows-zip flat_host cxx_host \
    data_datalib_test
  ctest --preset windows -R '^windows_(exports|unwinder)$'
  cmake --preset windows64 >/dev/null
  cmake --build --preset windows64
  scripts/wine-run.sh win64 --init
  ctest --preset windows64
fi
