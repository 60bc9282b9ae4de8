#!/usr/bin/env bash
# The program under a real X server: starts "rotaconf --simulate" with xvfb-run; the program saves a
# picture of its configuration window (ROTACONF_SCREENSHOT) and ends. Passes when the picture is a PNG.
# Usage: smoke.sh <rotaconf> <picture.png> <settings directory>
set -euo pipefail
program=$1
picture=$2
settings=$3

rm -rf "$settings" "$picture"
mkdir -p "$settings"
export XDG_CONFIG_HOME=$settings
export ROTACONF_SCREENSHOT=$picture
unset QT_QPA_PLATFORM

timeout 90 xvfb-run -a -s "-screen 0 1024x768x24" "$program" --simulate

if [ ! -s "$picture" ] || [ "$(head -c 8 "$picture" | od -An -tx1 | tr -d ' \n')" != "89504e470d0a1a0a" ]; then
  echo "no picture of the configuration window in $picture" >&2
  exit 1
fi
grep -q '^Lang=0' "$settings/Rotaconf.ini" || { echo "settings were not written at exit" >&2; exit 1; }
echo "configuration window saved to $picture"
