#!/usr/bin/env bash
# One unwinder for the 32-bit DLL and its hosts, checked from the files alone (no Windows needed):
# tarnbus.dll imports the shared libgcc, which exports the unwinder and the frame registration, and
# neither the DLL nor any program carries a copy of its own. A module with its own copy registers its
# frames with it, and an exception thrown in the DLL then ends the host instead of reaching its catch.
# usage: check_unwinder.sh objdump nm libgcc_s_dw2-1.dll tarnbus.dll module...
set -euo pipefail
objdump=$1 nm=$2 libgcc=$3 dll=$4
shift 3
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
unwinder='^_*(register_frame_info|Unwind_RaiseException)$'

libgcc_name=$(basename "$libgcc")
imports=$("$objdump" -p "$dll" | awk '/DLL Name:/ { print $3 }')
grep -qx "$libgcc_name" <<<"$imports" || fail "$(basename "$dll") does not import $libgcc_name"
exported=$("$objdump" -p "$libgcc" | awk '/^\[Ordinal\/Name Pointer\] Table/ { t = 1; next }
                                         t && /^[ \t]*$/ { t = 0 } t { print $NF }' | grep -cE "$unwinder" || true)
[ "$exported" -eq 2 ] || fail "$libgcc_name exports $exported of the unwinder's two entry points"

for module in "$@"; do
  symbols=$("$nm" "$module" 2>/dev/null || true)
  # A stripped file would pass without saying anything: the check needs the symbol table.
  [ "$(wc -l <<<"$symbols")" -gt 100 ] || { fail "$(basename "$module") has no symbol table"; continue; }
  # An imported function appears as a defined stub beside its import slot __imp_<name>: only a
  # definition without that slot is a copy of the module's own.
  own=$(awk '$2 == "I" { imported[$3] = 1 } $2 ~ /^[TtDdRr]$/ { defined[$3] = 1 }
             END { for (s in defined) if (!(("__imp_" s) in imported)) print s }' <<<"$symbols" |
        grep -E "$unwinder" || true)
  [ -z "$own" ] || fail "$(basename "$module") carries its own unwinder: $(echo $own)"
done

echo "$# modules checked against $libgcc_name"
[ "$failures" -eq 0 ]
