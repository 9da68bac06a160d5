#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks that every file a user needs is there,
# that the desktop, AppStream, MIME and man page files are valid and name installed paths, and
# that the programs answer --version (with their licence) without a display.
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
    share/metainfo/org.example.velmaris.metainfo.xml share/mime/packages/velmaris.xml \
    share/man/man1/velmaris.1.gz share/man/man1/velmaris-cli.1.gz \
    share/man/man1/velmaris-ecusim.1.gz \
    share/doc/velmaris/copyright share/doc/velmaris/changelog.Debian.gz \
    share/doc/velmaris/README.Debian \
    share/velmaris/examples/demo.hex share/velmaris/examples/demo.bin \
    share/velmaris/examples/database.mdb; do
    expect "$f"
done
# One copy of the help: the one built into the editor.
[ ! -e "$dest/usr/share/velmaris/help" ] || { echo "help pages installed beside the built-in copy"; fail=1; }
[ "$fail" = 0 ] || exit 1

for page in "$dest"/usr/share/man/man1/*.1.gz; do
    zcat "$page" | grep -q '^\.TH ' || { echo "not a man page: $page"; exit 1; }
    if zcat "$page" | grep -q '@VELMARIS_'; then
        echo "unfilled placeholder in $page"
        exit 1
    fi
    # Formatting must not warn (a wrong macro, a line that cannot be broken).
    warnings=$(zcat "$page" | LC_ALL=C.UTF-8 MANWIDTH=80 groff -k -man -Tutf8 -ww -z 2>&1 || true)
    [ -z "$warnings" ] || { echo "$page: $warnings"; exit 1; }
done
# The pages name the folders of this installation, not paths relative to somewhere.
zcat "$dest/usr/share/man/man1/velmaris.1.gz" | grep -q '^\.I /usr/share/velmaris/examples/$' ||
    { echo "velmaris(1) does not name /usr/share/velmaris/examples"; exit 1; }
for words in 'map get ' 'map set ' 'EXIT STATUS' 'dialout'; do
    zcat "$dest/usr/share/man/man1/velmaris-cli.1.gz" | grep -q "$words" ||
        { echo "velmaris-cli(1) lacks '$words'"; exit 1; }
done
zcat "$dest/usr/share/man/man1/velmaris.1.gz" | grep -q 'dialout' ||
    { echo "velmaris(1) does not name the dialout group"; exit 1; }

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$dest/usr/share/applications/velmaris.desktop"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --explain "$dest"/usr/share/metainfo/*.metainfo.xml
fi
# The file type the desktop entry opens is known once the MIME database is rebuilt with ours.
if command -v update-mime-database >/dev/null; then
    mkdir -p "$dest/mime/packages"
    cp /usr/share/mime/packages/freedesktop.org.xml "$dest/usr/share/mime/packages/velmaris.xml" \
        "$dest/mime/packages/"
    update-mime-database "$dest/mime" >"$dest/mime.log" 2>&1 || { cat "$dest/mime.log"; exit 1; }
    grep -q '^text/x-ihex:\*\.hex$' "$dest/mime/globs" || { echo "*.hex is not text/x-ihex"; exit 1; }
    grep -qx 'MimeType=text/x-ihex;' "$dest/usr/share/applications/velmaris.desktop" ||
        { echo "the desktop entry does not open text/x-ihex"; exit 1; }
fi

# No display: the answer must come before the toolkit looks for one. Each program names its
# licence.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dest/usr/bin/velmaris" --version)
[[ $version =~ ^velmaris\ [0-9]+\.[0-9]+ ]] || { echo "velmaris --version: '$version'"; exit 1; }
env -u DISPLAY -u QT_QPA_PLATFORM "$dest/usr/bin/velmaris" --help | grep -q 'velmaris \[ФАЙЛ\]'
cli=$("$dest/usr/bin/velmaris-cli" --version)
[[ $cli =~ ^velmaris-cli\ [0-9]+\.[0-9]+ ]] || { echo "velmaris-cli --version: '$cli'"; exit 1; }
sim=$("$dest/usr/bin/velmaris-ecusim" --version)
[[ $sim =~ ^velmaris-ecusim\ [0-9]+\.[0-9]+ ]] || { echo "velmaris-ecusim --version: '$sim'"; exit 1; }
for answer in "$version" "$cli" "$sim"; do
    grep -q 'GNU GPL version 3 or later' <<<"$answer" || { echo "no licence in: $answer"; exit 1; }
done
examples=$dest/usr/share/velmaris/examples
"$dest/usr/bin/velmaris-cli" checksum "$examples/demo.hex" >/dev/null
"$dest/usr/bin/velmaris-cli" params "$examples/demo.hex" --db "$examples/database.mdb" >/dev/null

# Without Qt's SQLite driver (a plug-in the package must depend on by name) the parameter
# commands fail and say why, once. A qt.conf beside the program points Qt at an empty plug-in
# folder.
mkdir -p "$dest/no-sqlite/plugins"
cp "$dest/usr/bin/velmaris-cli" "$dest/no-sqlite/"
printf '[Paths]\nPlugins = %s\n' "$dest/no-sqlite/plugins" >"$dest/no-sqlite/qt.conf"
status=0
"$dest/no-sqlite/velmaris-cli" params "$examples/demo.hex" --db "$examples/database.mdb" \
    >/dev/null 2>"$dest/no-sqlite/err" || status=$?
[ "$status" != 0 ] || { echo "params succeeded without the SQLite driver"; exit 1; }
said=$(grep '^velmaris-cli params:' "$dest/no-sqlite/err")
[ "$(grep -o 'Driver not loaded' <<<"$said" | wc -l)" = 1 ] ||
    { echo "without the SQLite driver: '$said'"; exit 1; }
echo "installed tree complete"
