#!/usr/bin/env bash
# Builds the Debian packages in their own build (build-package/, configured for /usr, so the default
# build stays fit for `cmake --install build --prefix DIR`), unpacks them into a scratch root and checks
# what a user and a developer get: pkg-config gives plain paths, a C program built with pkg-config and a
# CMake project with find_package(tarnbus) both open the simulated adapter, the installed rotaconf-cli
# works from outside the build tree, and desktop-file-validate, appstreamcli and lintian (warnings
# included) accept what is shipped.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

cmake --preset package >/dev/null
cmake --build --preset package
rm -f build-package/*.deb
cpack --preset package >/dev/null
debs=(build-package/*.deb)
echo "packages: ${debs[*]##*/}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
done
libdir=$(cd "$root/usr" && dirname "$(find . -name 'libtarnbus.so.1' | head -n 1)")
libdir=$root/usr/${libdir#./}
sim=$libdir/tarnbus/libftd2xx-sim.so
for file in "$libdir/libtarnbus.so" "$libdir/tarnbus/libtarnbus-ftdi.so" "$sim" \
  "$root/usr/lib/udev/rules.d/70-tarnbus.rules" "$root/usr/share/rotaconf/Encoder.cfg"; do
  [ -e "$file" ] || { echo "missing from the packages: ${file#"$root"}" >&2; exit 1; }
done

# Everything runs from the scratch directory, away from the source and build trees.
cd "$scratch"
export LD_LIBRARY_PATH=$libdir
export TARNBUS_FTD2XX=$sim

echo "== pkg-config consumer"
export PKG_CONFIG_PATH=$libdir/pkgconfig
# Installed, the headers and the library sit in the system's own directories, which need no flag.
flags=$(pkg-config --cflags --libs tarnbus | xargs)
[ "$flags" = "-ltarnbus" ] || { echo "pkg-config --cflags --libs tarnbus: '$flags', not '-ltarnbus'" >&2; exit 1; }
# The same directories below the scratch root.
# shellcheck disable=SC2046
cc -Wall -Wextra -Werror -o consumer-pc "$source_dir/tests/install/consumer.c" \
  $(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1 \
    pkg-config --cflags --libs tarnbus)
./consumer-pc

echo "== CMake consumer"
cmake -S "$source_dir/tests/install" -B cmake-consumer -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build cmake-consumer >/dev/null
./cmake-consumer/consumer

echo "== installed rotaconf-cli"
unset TARNBUS_FTD2XX
plate=$("$root/usr/bin/rotaconf-cli" --simulate plate)
grep -q "2612001" <<<"$plate" || { echo "$plate" >&2; echo "rotaconf-cli --simulate plate: no rating plate" >&2; exit 1; }
echo "rating plate read"

echo "== desktop entry, AppStream data, lintian"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error,warning --tag-display-limit 0 "${debs[@]/#/$source_dir/}"
echo "packages checked"
