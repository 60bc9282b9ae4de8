#!/usr/bin/env bash
# The export tables of the Windows DLLs as a host's loader sees them (read with objdump, no Windows
# needed): tarnbus.dll exports every flat function of tarnbus.h by its plain name and ReadMasterConfig
# only as _ReadMasterConfig@4, with no other decorated name, each at its fixed ordinal; the simulated
# adapter exports the D2XX functions by name at FTDI's ordinals, and the port I/O driver's two
# functions by name.
# usage: check_exports.sh tarnbus.dll ftd2xx-sim.dll tarnbus.h
set -euo pipefail
dll=$1 sim=$2 header=$3
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# "ordinal name" per export, from the name table ("[ index] name") and the ordinal base.
exports() {
  objdump -p "$1" | awk '
    /^Export Address Table -- Ordinal Base/ { base = $NF }
    /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
    table && /^[ \t]*$/ { table = 0 }
    table { gsub(/[\[\]]/, " "); print $1 + base, $2 }'
}

tarnbus_exports=$(exports "$dll")
[ -n "$tarnbus_exports" ] || fail "no export table in $dll"
names=$(awk '{ print $2 }' <<<"$tarnbus_exports")

# The flat functions are the ones the header declares with the calling-convention macro.
flat=$(grep -oE 'TARNBUS_API[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*\(' "$header" |
       sed -E 's/TARNBUS_API[[:space:]]+//; s/[[:space:]]*\(//')
[ -n "$flat" ] || fail "no flat function found in $header"
for f in $flat; do
  if [ "$f" = ReadMasterConfig ]; then
    grep -qx '_ReadMasterConfig@4' <<<"$names" || fail "_ReadMasterConfig@4 is not exported"
    grep -qx 'ReadMasterConfig' <<<"$names" && fail "ReadMasterConfig is exported by its plain name"
  else
    grep -qx "$f" <<<"$names" || fail "$f is not exported by its plain name"
  fi
done
# The flat functions' ordinals never change, so hosts that bind by number keep working; a function
# added later takes a new number after these.
for entry in "1 CloseInterface" "2 GetMasterConfig" "3 InitBissComm" "4 OpenInterface" "5 ReadMaster" \
             "6 ReadSens" "7 ReadSlaveRegister" "8 ReleaseDataLists" "9 SetMasterConfig" "10 WriteMaster" \
             "11 WriteMasterConfig" "12 WriteSlaveRegister" "13 _ReadMasterConfig@4"; do
  grep -qx "$entry" <<<"$tarnbus_exports" || fail "$dll does not export ${entry#* } at ordinal ${entry%% *}"
done
decorated=$(grep '@' <<<"$names" | grep -vx '_ReadMasterConfig@4' || true)
[ -z "$decorated" ] || fail "decorated names exported: $decorated"

sim_exports=$(exports "$sim")
for entry in "1 FT_Open" "2 FT_Close" "3 FT_Read" "4 FT_Write" "16 FT_Purge" "17 FT_SetTimeouts" \
             "29 FT_SetLatencyTimer" "31 FT_SetBitMode" "38 FT_EE_Read"; do
  grep -qx "$entry" <<<"$sim_exports" || fail "$sim does not export ${entry#* } at ordinal ${entry%% *}"
done
for f in DlPortWritePortUchar DlPortReadPortUchar; do
  awk '{ print $2 }' <<<"$sim_exports" | grep -qx "$f" || fail "$sim does not export $f"
done
sim_decorated=$(awk '{ print $2 }' <<<"$sim_exports" | grep '@' || true)
[ -z "$sim_decorated" ] || fail "decorated names exported by $sim: $sim_decorated"

echo "$(wc -l <<<"$flat") flat functions, $(wc -l <<<"$tarnbus_exports") exports of $(basename "$dll")," \
     "$(wc -l <<<"$sim_exports") of $(basename "$sim")"
[ "$failures" -eq 0 ]
