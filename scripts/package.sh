#!/usr/bin/env bash
# Builds the Debian packages for one architecture with Debian's own low-level tools
# (dpkg-shlibdeps for the dependencies, dpkg-deb to pack) and checks them with lintian:
#   libgrshm1      the library
#   libgrshm-dev   headers, development link, pkg-config and CMake files
#   grshm-web      the CGI programs, the pages, lighttpd's conf-available snippet (HTTPS),
#                  grshm-user and grshm-web-keys (depends on lighttpd and its TLS module, and on
#                  cracklib's dictionary, which libpwquality checks passwords against)
#   grshm-tools    the grshm inspector
# Usage: scripts/package.sh [amd64|armhf]   (packages in build-package-ARCH/packages/)
set -euo pipefail
cd "$(dirname "$0")/.."
usage() {
    echo "usage: scripts/package.sh [amd64|armhf]" >&2
    exit 2
}
[ $# -le 1 ] || usage
arch=${1:-amd64}
case $arch in
    amd64) triplet=x86_64-linux-gnu toolchain=() setup=() ;;
    # (GNUInstallDirs gives a cross build no multiarch folder of its own.)
    # (Built against a Debian 11 board's root: the packages then ask for no newer C library.)
    armhf) triplet=arm-linux-gnueabihf setup=(armhf)
        toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf-board.cmake -DCMAKE_INSTALL_LIBDIR=lib/arm-linux-gnueabihf) ;;
    *) usage ;;
esac
scripts/setup.sh "${setup[@]}"
[ "$arch" = amd64 ] || scripts/sysroot.sh "$arch" > /dev/null
build=build-package-$arch
scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DGRSHM_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr "${toolchain[@]}"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
root=$PWD
out=$root/$build/packages
rm -rf "$out"
mkdir -p "$out"
maintainer="GNSS receiver web team <gnss-web@example.org>"

# dpkg-shlibdeps learns from this file which package holds our own library.
shlibs_dir=$(mktemp -d)
trap 'rm -rf "$shlibs_dir"' EXIT
mkdir -p "$shlibs_dir/debian"
echo "libgrshm 1 libgrshm1 (>= $version)" > "$shlibs_dir/debian/shlibs.local"
printf 'Source: grshm\n\nPackage: libgrshm1\nArchitecture: any\n' > "$shlibs_dir/debian/control"

# The documents every package carries.
add_docs() {
    local stage=$1 name=$2
    local doc="$stage/usr/share/doc/$name"
    mkdir -p "$doc"
    cat > "$doc/copyright" <<TEXT
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: grshm

Files: *
Copyright: 2026 GNSS receiver web team
License: proprietary
 All rights reserved.
TEXT
    printf 'grshm (%s) unstable; urgency=medium\n\n  * Packages of the receiver'"'"'s configuration back-end.\n\n -- %s  %s\n' \
        "$version" "$maintainer" "$(date -R -d @"${SOURCE_DATE_EPOCH:-1765152000}")" | gzip -9n > "$doc/changelog.gz"
}

# Dependencies of the ELF files in a stage, computed from their NEEDED entries.
shlib_depends() {
    local stage=$1
    local files
    files=$(find "$stage" -type f -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)
    [ -n "$files" ] || return 0
    # shellcheck disable=SC2086 # one argument per file
    (cd "$shlibs_dir" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O -l"$out/libgrshm1/usr/lib/$triplet" $files) |
        sed -n 's/^shlibs:Depends=//p'
}

# make_package NAME COMPONENT SECTION EXTRA_DEPENDS DESCRIPTION...
make_package() {
    local name=$1 component=$2 section=$3 extra=$4
    shift 4
    local stage=$out/$name
    DESTDIR="$stage" cmake --install "$build" --component "$component" --strip > /dev/null
    add_docs "$stage" "$name"
    mkdir -p "$stage/DEBIAN"
    local depends
    depends=$(shlib_depends "$stage")
    depends=$(printf '%s\n' "$depends" "$extra" | grep -v '^$' | paste -sd, | sed 's/,/, /g')
    {
        echo "Package: $name"
        echo "Source: grshm"
        echo "Version: $version"
        echo "Architecture: $arch"
        echo "Maintainer: $maintainer"
        echo "Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)"
        [ -z "$depends" ] || echo "Depends: $depends"
        echo "Section: $section"
        echo "Priority: optional"
        echo "Homepage: https://example.org/grshm"
        echo "Description: $1"
        shift
        for line in "$@"; do echo " $line"; done
    } > "$stage/DEBIAN/control"
    if [ -d "$stage/etc" ]; then
        (cd "$stage" && find etc -type f | sed 's|^|/|') > "$stage/DEBIAN/conffiles"
    fi
}

make_package libgrshm1 runtime libs "" "GNSS receiver's shared state in System V shared memory" \
    "The receiver's common state (configuration, monitor with its operation" \
    "mailbox, GNSS information) in three segments, each guarded by one" \
    "semaphore, for the receiver's own processes and its web interface."
echo "libgrshm 1 libgrshm1 (>= $version)" > "$out/libgrshm1/DEBIAN/shlibs"
echo "activate-noawait ldconfig" > "$out/libgrshm1/DEBIAN/triggers"
echo "Multi-Arch: same" >> "$out/libgrshm1/DEBIAN/control"

make_package libgrshm-dev dev libdevel "libgrshm1 (= $version)" "GNSS receiver's shared state: development files" \
    "Headers (include/grshm), the development link, pkg-config's grshm.pc" \
    "and the CMake package (find_package(grshm), target grshm::grshm) for" \
    "the receiver's own programs."
echo "Multi-Arch: same" >> "$out/libgrshm-dev/DEBIAN/control"

make_package grshm-web web httpd "lighttpd (>= 1.4.59), lighttpd-mod-openssl, openssl, cracklib-runtime" \
    "GNSS receiver's web interface" \
    "The CGI programs linkreport, rolekind, gnssreport, linkconfig, changelog," \
    "settings and login, the receiver's pages, lighttpd's configuration over" \
    "HTTPS (enable it with lighty-enable-mod grshm), grshm-user, which keeps the" \
    "accounts, grshm-web-keys, which makes the receiver's own certificate, and a" \
    "firewall rule set (nftables) that bounds each client's connections."
echo "Recommends: logrotate" >> "$out/grshm-web/DEBIAN/control"
# The accounts, sessions and security records (change log, lock-out counters, tokens) are the
# web server user's alone, outside the storage that formatting erases; removing the package
# keeps them.
cat > "$out/grshm-web/DEBIAN/postinst" <<'SCRIPT'
#!/bin/sh
set -e
if [ "$1" = configure ]; then
    install -d -o www-data -g www-data -m 0700 /var/lib/grshm
fi
SCRIPT
chmod 0755 "$out/grshm-web/DEBIAN/postinst"

make_package grshm-tools tools utils "" "GNSS receiver's shared-state inspector" \
    "grshm shows and changes what is in the receiver's segments, through the" \
    "library and its locks: status, entries, dumps, changes and posts to the" \
    "operation mailbox."

for stage in "$out"/*/; do
    dpkg-deb --root-owner-group -Zxz --build "$stage" "$out" > /dev/null
done
# (No manual pages yet: the commands explain themselves with --help.)
lintian --fail-on error --suppress-tags no-manual-page "$out"/*.deb
ls "$out"/*.deb
