#!/usr/bin/env bash
# Builds and runs the whole test suite: a normal build, the Debian packages made from it and checked,
# the same build again with AddressSanitizer and UndefinedBehaviorSanitizer, then every fuzz target for
# a bounded time.
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
