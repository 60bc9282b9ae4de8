#!/usr/bin/env bash
# Runs a Windows program under Wine without a display and without any dialog: no debug output, no
# Mono or Gecko installer, no menu entries. The prefix is WINEPREFIX, else build-wine/ in the project.
# usage: wine-run.sh win32|win64 program [args...]
#        wine-run.sh win32|win64 --init    (creates the prefix and keeps the Wine server running)
#        wine-run.sh win32|win64 --stop    (stops the Wine server of the prefix)
#        wine-run.sh win32|win64 --usable  (exit 0 when this machine can run such programs)
set -euo pipefail
arch=${1:?usage: wine-run.sh win32|win64 program [args...]}
shift
case $arch in
  win32) loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 ;;
  win64) loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 ;;
  *) echo "wine-run.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
export WINELOADER=$loader WINESERVER=$server
export WINEPREFIX=${WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build-wine/$arch}
export WINEARCH=$arch WINEDEBUG=${WINEDEBUG:--all} DISPLAY= WAYLAND_DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

case ${1:-} in
  --usable)
    # The loader itself is a Linux program of that width; a kernel without 32-bit support refuses it.
    [ -x "$loader" ] && "$loader" --version >/dev/null 2>&1
    ;;
  --init)
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$loader" wineboot -i >/dev/null 2>&1 || true
    "$server" -w
    # A server kept alive between the test programs (until 30 s after the last) spares each of them
    # Wine's start-up.
    "$server" -p30
    [ -f "$WINEPREFIX/system.reg" ]
    ;;
  --stop)
    "$server" -k 2>/dev/null || true
    ;;
  *)
    exec "$loader" "$@"
    ;;
esac
