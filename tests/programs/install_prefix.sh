#!/usr/bin/env bash
# `cmake --install BUILD --prefix DIR` as the README gives it: the programs installed under DIR run from
# there with nothing from the environment, take the library installed beside them (not a copy the
# system may have) and find the drivers and the simulated adapter installed with it.
# usage: install_prefix.sh cmake build-dir
set -uo pipefail
cmake=$1 build=$2
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log"; rm -f "$prefix.log"; exit 1; }
rm -f "$prefix.log"
cli=$prefix/bin/rotaconf-cli
[ -x "$cli" ] || { echo "FAILED: no bin/rotaconf-cli under the prefix"; exit 1; }
unset LD_LIBRARY_PATH TARNBUS_FTD2XX TARNBUS_DLPORTIO TARNBUS_SY2D TARNBUS_SIM_SCENARIO TARNBUS_TRACE
export XDG_CONFIG_HOME=$prefix/config

library=$(ldd "$cli" | awk '$1 == "libtarnbus.so.1" { print $3 }')
[[ $library == "$prefix"/* ]] || fail "the installed rotaconf-cli loads libtarnbus.so.1 from '$library'"

plate=$(cd / && "$cli" --simulate plate 2>&1)
grep -qE "Serial number +2612001" <<<"$plate" || fail "rotaconf-cli --simulate plate: $plate"
# The real adapter's driver is the one installed beside the library: found, so the result is the
# adapter's absence, not a missing driver.
real=$(cd / && timeout 60 "$cli" plate 2>&1)
status=$?
[ "$status" -eq 1 ] && ! grep -q "BISS_INTERFACE_NOT_FOU" <<<"$real" ||
  fail "rotaconf-cli plate without an adapter: status $status, $real"
echo "installed under a scratch prefix: rotaconf-cli with $library, rating plate read"
[ "$failures" -eq 0 ]
