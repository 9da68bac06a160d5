#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks that every file a user needs is there
# and that the programs answer --version without a display.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null

fail=0
expect() {
    [ -e "$dest/usr/$1" ] || { echo "missing: /usr/$1"; fail=1; }
}
for f in bin/velmaris bin/velmaris-cli bin/velmaris-ecusim \
    share/applications/velmaris.desktop share/icons/hicolor/scalable/apps/velmaris.svg \
    share/man/man1/velmaris.1.gz share/man/man1/velmaris-cli.1.gz \
    share/man/man1/velmaris-ecusim.1.gz share/velmaris/help/index.html \
    share/velmaris/examples/demo.hex share/velmaris/examples/demo.bin \
    share/velmaris/examples/database.mdb; do
    expect "$f"
done
[ "$fail" = 0 ] || exit 1

for page in "$dest"/usr/share/man/man1/*.1.gz; do
    zcat "$page" | grep -q '^\.TH ' || { echo "not a man page: $page"; exit 1; }
    if zcat "$page" | grep -q '@VELMARIS_'; then
        echo "unfilled placeholder in $page"
        exit 1
    fi
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$dest/usr/share/applications/velmaris.desktop"
fi

# No display: the answer must come before the toolkit looks for one.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dest/usr/bin/velmaris" --version)
[[ $version =~ ^velmaris\ [0-9]+\.[0-9]+ ]] || { echo "velmaris --version: '$version'"; exit 1; }
env -u DISPLAY -u QT_QPA_PLATFORM "$dest/usr/bin/velmaris" --help | grep -q 'velmaris \[ФАЙЛ\]'
cli=$("$dest/usr/bin/velmaris-cli" --version)
[[ $cli =~ ^velmaris-cli\ [0-9]+\.[0-9]+ ]] || { echo "velmaris-cli --version: '$cli'"; exit 1; }
"$dest/usr/bin/velmaris-cli" checksum "$dest/usr/share/velmaris/examples/demo.hex" >/dev/null
echo "installed tree complete"
