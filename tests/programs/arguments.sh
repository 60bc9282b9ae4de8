#!/usr/bin/env bash
# Every program's command line as a user meets it: --version and --help answer with exit status 0, an
# unknown option is refused with exit status 2, a line saying what was wrong and the usage; rotaconf
# without a display says so and ends with 1 instead of aborting inside the toolkit.
# usage: arguments.sh VERSION program...
set -uo pipefail
version=$1
shift
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# run PROGRAM ARGS...: status in $status, standard output and error in the files out and err.
run() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" >"$scratch/out" 2>"$scratch/err" </dev/null
  status=$?
}

for program in "$@"; do
  name=$(basename "$program")
  run "$program" --version
  [ "$status" -eq 0 ] && [ "$(cat "$scratch/out")" = "$name $version" ] ||
    fail "$name --version: status $status, '$(head -c 200 "$scratch/out")'"
  run "$program" --help
  [ "$status" -eq 0 ] && grep -q "^Usage: $name" "$scratch/out" && [ ! -s "$scratch/err" ] ||
    fail "$name --help: status $status, '$(head -n 2 "$scratch/out")'"
  run "$program" --no-such-option
  [ "$status" -eq 2 ] && grep -q "^$name: unknown option --no-such-option$" "$scratch/err" &&
    grep -q "^Usage: $name" "$scratch/err" ||
    fail "$name --no-such-option: status $status, '$(cat "$scratch/err")'"
  if [ "$name" = rotaconf ]; then
    run "$program" stray
    [ "$status" -eq 2 ] && grep -q "^rotaconf: unexpected argument stray$" "$scratch/err" ||
      fail "rotaconf stray: status $status, '$(cat "$scratch/err")'"
    run "$program" --simulate
    [ "$status" -eq 1 ] && grep -q "^rotaconf: no display" "$scratch/err" ||
      fail "rotaconf without a display: status $status, '$(cat "$scratch/err")'"
  fi
done
echo "$# programs checked"
[ "$failures" -eq 0 ]
