#!/usr/bin/env bash
# Builds the Debian package from this build and checks its control fields, its computed
# dependencies, its contents, that its binaries are stripped with their debugging information
# in the dbgsym package, that packing twice gives the same bytes, and what lintian says (any
# error or warning fails). Skipped (77) where the Debian packaging tools are missing.
#   check_package.sh BUILD_DIR BUILD_TYPE SANITIZED(1|0)
set -euo pipefail
build=$1
build_type=${2:-}
sanitized=${3:-0}
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null || exit 77
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# dpkg-buildpackage packs with this umask too; CPack writes it into the package's headers.
umask 022

pack() { # pack OUTPUT_DIR
    # The package's own date, not one from the caller's environment.
    (cd "$build" && env -u SOURCE_DATE_EPOCH cpack -G DEB -B "$1" >"$1.log" 2>&1) || {
        cat "$1.log"
        exit 1
    }
}
pack "$out/a"
deb=$(ls "$out"/a/*.deb)
ddeb=$(ls "$out"/a/*.ddeb 2>/dev/null || true)
field() { dpkg-deb -f "$deb" "$1"; }

fail=0
problem() {
    echo "$*"
    fail=1
}

# Control fields.
depends=$(field Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6 libqt6serialport6 libqt6sql6 libmdb3 libqt6sql6-sqlite; do
    grep -q "\(^\|, \)$lib\( \|,\|$\)" <<<"$depends" || problem "dependency missing: $lib"
done
# The OpenGL driver comes with the OpenGL libraries; naming it again only ties the package to
# one driver.
grep -q 'libgl1-mesa-dri' <<<"$depends" && problem "redundant dependency: libgl1-mesa-dri"
for f in Section Priority Homepage; do
    [ -n "$(field $f)" ] || problem "no $f field"
done
grep -q '@localhost' <<<"$(field Maintainer)" && problem "maintainer at localhost: $(field Maintainer)"
description=$(field Description)
awk 'length($0) > 80 { bad = 1 } END { exit bad }' <<<"$description" ||
    problem "description lines longer than 80 characters"
grep -q ';' <<<"$description" && problem "a ';' in the description: a CMake list that was not joined"
[ "$(sed -n 2p <<<"$description")" != "" ] || problem "no long description"
changelog_version=$(dpkg-deb --fsys-tarfile "$deb" |
    tar -xOf - ./usr/share/doc/velmaris/changelog.Debian.gz | gzip -dc | head -1 |
    sed -E 's/^velmaris \(([^)]+)\).*/\1/')
[ "$changelog_version" = "$(field Version)" ] ||
    problem "changelog at $changelog_version, package at $(field Version)"

# Contents.
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/velmaris ./usr/bin/velmaris-cli ./usr/bin/velmaris-ecusim \
    ./usr/share/applications/velmaris.desktop ./usr/share/man/man1/velmaris.1.gz \
    ./usr/share/doc/velmaris/copyright ./usr/share/doc/velmaris/changelog.Debian.gz \
    ./usr/share/doc/velmaris/README.Debian ./usr/share/mime/packages/velmaris.xml \
    ./usr/share/metainfo/org.example.velmaris.metainfo.xml; do
    grep -q " $f\$" <<<"$contents" || problem "not in the package: $f"
done
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/velmaris/copyright |
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    problem "the copyright file is not in the machine-readable format"

# Stripped programs, their debugging information in the dbgsym package.
mkdir "$out/root"
dpkg-deb -x "$deb" "$out/root"
for program in velmaris velmaris-cli velmaris-ecusim; do
    file "$out/root/usr/bin/$program" | grep -q ', stripped' || problem "$program is not stripped"
done
if [ -z "$ddeb" ]; then
    problem "no dbgsym package"
else
    [ "$(dpkg-deb -f "$ddeb" Package)" = velmaris-dbgsym ] || problem "dbgsym package misnamed"
    n=$(dpkg-deb -c "$ddeb" | grep -c '/usr/lib/debug/.build-id/.*\.debug$' || true)
    [ "$n" = 3 ] || problem "the dbgsym package holds $n debug files instead of 3"
fi

# Every file carries the changelog's date, and packing again gives the same bytes.
changelog=$(dirname "$0")/../../packaging/debian/changelog
epoch_date=$(date -u -d "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -1)" +%Y-%m-%d)
dates=$(dpkg-deb --fsys-tarfile "$deb" | tar -tv --full-time | awk '{print $4}' | sort -u)
[ "$dates" = "$epoch_date" ] || problem "file dates $dates, not the changelog's $epoch_date"
sleep 1 # a time stamp taken from the clock would now differ
pack "$out/b"
for p in "$deb" $ddeb; do
    cmp "$p" "$out/b/$(basename "$p")" || problem "packing twice gave two different $(basename "$p")"
done

[ "$fail" = 0 ] || exit 1

if command -v lintian >/dev/null; then
    # Only a hardened build is expected to look hardened: a Debug or sanitizer build is checked
    # for everything else.
    suppress=()
    if [ "$sanitized" = 1 ] || { [ "$build_type" != Release ] && [ "$build_type" != RelWithDebInfo ]; }; then
        suppress=(--suppress-tags hardening-no-fortify-functions,hardening-no-bindnow,hardening-no-relro)
    fi
    # --fail-on warning: errors and warnings fail. The dbgsym package is checked as well.
    lintian --fail-on error,warning --display-level '>=warning' "${suppress[@]}" "$deb" ${ddeb:+"$ddeb"}
    echo "lintian: no errors or warnings"
else
    echo "lintian not installed: not run"
fi
echo "package $(basename "$deb") complete"
