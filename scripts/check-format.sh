#!/usr/bin/env bash
# Checks every C and C++ source of the project against .clang-format; names the files that differ.
# With --fix it rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' 2>/dev/null || find app library sim tools tests drivers -name '*.[ch]' -o -name '*.cpp')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
# Every header of the project guards itself with #ifndef NAME_H / #define NAME_H (no #pragma once).
unguarded=()
for f in "${files[@]}"; do
  [[ "$f" == *.h ]] || continue
  guard=$(grep -m1 -E '^#ifndef [A-Z0-9_]+_H$' "$f" | cut -d' ' -f2) || true
  if [ -z "$guard" ] || ! grep -qx "#define $guard" "$f" || grep -q '^#pragma once' "$f"; then
    unguarded+=("$f")
  fi
done
if ((${#unguarded[@]})); then
  echo "Headers without an #ifndef NAME_H include guard:" >&2
  printf '  %s\n' "${unguarded[@]}" >&2
  exit 1
fi

bad=()
for f in "${files[@]}"; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if ((${#bad[@]})); then
  echo "Not in the project's format (run scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} sources match .clang-format"
