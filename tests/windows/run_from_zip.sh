#!/usr/bin/env bash
# The zip as a user unpacks it: the files a host needs are there (the stripped DLL, the import library,
# the headers of the classes), and the host programs run in the unpacked folder with nothing else
# beside them, the adapter named by the hosts themselves at run time (no variable set before start).
# usage: run_from_zip.sh cmake objdump wine-run.sh win32|win64 zip folder-in-zip host.exe...
set -euo pipefail
cmake=$1 objdump=$2 wine=$3 arch=$4 zip=$5 folder=$6
shift 6
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && "$cmake" -E tar xf "$zip")
dir=$scratch/$folder
for f in tarnbus.dll libtarnbus.dll.a tarnbus.h tarnbus_export.h BissClass.h UL64Class.h DatalibClass.h \
         DataLists.h ftd2xx-sim.dll tarnbus-demo.exe README.md; do
  [ -f "$dir/$f" ] || fail "the zip has no $f"
done
# Every DLL the zip's modules import is in the zip or one of Windows' own.
for module in "$dir"/*.dll "$dir"/*.exe; do
  for dep in $("$objdump" -p "$module" | awk '/DLL Name:/ { print $3 }'); do
    case ${dep,,} in kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll) continue ;; esac
    [ -f "$dir/$dep" ] || fail "$(basename "$module") imports $dep, which the zip lacks"
  done
done
"$objdump" -h "$dir/tarnbus.dll" | grep -q '\.debug' && fail "tarnbus.dll in the zip carries debug sections"

for host in "$@"; do
  cp "$host" "$dir/"
  name=$(basename "$host")
  echo "== $name in the unpacked zip"
  (cd "$dir" && env -u TARNBUS_FTD2XX "$wine" "$arch" "$dir/$name") || fail "$name"
done
[ "$failures" -eq 0 ]
