#!/usr/bin/env bash
# Builds the project and runs the demonstration on the simulated adapter and encoder.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target tarnbus-demo
exec build/bin/tarnbus-demo "$@"
