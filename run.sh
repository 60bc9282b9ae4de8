#!/usr/bin/env bash
# Installs what is missing, builds Rotaconf and starts it on the simulated adapter and encoder.
# Without a display it says so and shows the encoder through the command-line front end instead.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target rotaconf rotaconf-cli catalogue ftd2xx-sim

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
  echo "With a display (or under xvfb-run): build/bin/rotaconf --simulate"
  exit 0
fi

exec build/bin/rotaconf --simulate "$@"
