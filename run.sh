#!/usr/bin/env bash
# Installs what is missing for the program (not for the tests), builds Rotaconf and starts it on the
# simulated adapter and encoder.
# Without a display it says so and shows the encoder through the command-line front end instead.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh program
# The program, its library, drivers and data, without the tests (./test.sh builds those): everything
# `cmake --install build --prefix DIR` installs.
cmake --preset program >/dev/null
cmake --build --preset program

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): Rotaconf needs one for its windows."
  echo "Here is the simulated encoder through the command-line front end instead:"
  echo
  echo "\$ build/bin/rotaconf-cli --simulate plate"
  build/bin/rotaconf-cli --simulate plate
  echo
  echo "\$ build/bin/rotaconf-cli --simulate list"
  build/bin/rotaconf-cli --simulate list
  echo
  echo "\$ build/bin/rotaconf-cli --simulate position --count 5"
  build/bin/rotaconf-cli --simulate position --count 5
  echo
  echo "With a display: build/bin/rotaconf --simulate"
  exit 0
fi

exec build/bin/rotaconf --simulate "$@"
