#!/usr/bin/env bash
# Builds the Debian package from this build and checks its contents and its computed
# dependencies. Skipped (77) where the Debian packaging tools are missing.
set -euo pipefail
build=$1
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null || exit 77
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Uncompressed: the test checks the package, not the compressor.
(cd "$build" && cpack -G DEB -B "$out" -D CPACK_DEBIAN_COMPRESSION_TYPE=none >"$out/cpack.log") || {
    cat "$out/cpack.log"
    exit 1
}
deb=$(ls "$out"/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6 libqt6serialport6 libqt6sql6 libmdb3 libgl1-mesa-dri; do
    grep -q "\b$lib\b" <<<"$depends" || { echo "dependency missing: $lib"; exit 1; }
done
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/velmaris ./usr/bin/velmaris-cli ./usr/bin/velmaris-ecusim \
    ./usr/share/applications/velmaris.desktop ./usr/share/man/man1/velmaris.1.gz; do
    grep -q " $f\$" <<<"$contents" || { echo "not in the package: $f"; exit 1; }
done
echo "package $(basename "$deb") complete"
