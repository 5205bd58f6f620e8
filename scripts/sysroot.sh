#!/usr/bin/env bash
# Makes, once, the root of a board's system to build the receiver's programs against: Debian 11
# (bullseye) for armhf, glibc 2.31, json-c 0.15, SQLite 3.34, libcrypt (yescrypt) and libpwquality with
# their headers, start files and libraries
# (debootstrap downloads them; they are unpacked without emulation). Programs linked against it
# need nothing newer than those boards have; qemu-arm -L ROOT runs them with its libraries.
# Kept in /var/cache/grshm (GRSHM_CACHE) between runs; prints the root's path.
# Usage: scripts/sysroot.sh armhf
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 1 ] && [ "$1" = armhf ] || { echo "usage: scripts/sysroot.sh armhf" >&2; exit 2; }
release=bullseye
cache=${GRSHM_CACHE:-/var/cache/grshm}
root=$cache/$release-armhf
# What the root holds; a root made for another list is made again.
packages="libc6 libc6-dev linux-libc-dev libjson-c5 libjson-c-dev libsqlite3-0 libsqlite3-dev libgcc-s1 libcrypt1 libcrypt-dev
    libpwquality1 libpwquality-dev libcrack2"
if [ -e "$root/.complete" ] && [ "$(cat "$root/.complete")" = "$packages" ]; then
    echo "$root"
    exit 0
fi

mirror=$(scripts/debian-mirror.sh)
mkdir -p "$cache"
work=$(mktemp -d "$cache/.sysroot.XXXXXX")  # beside the root, so that it moves there at once
trap 'rm -rf "$work"' EXIT
debootstrap --foreign --arch=armhf --variant=minbase --include=libc6-dev,libjson-c-dev,libsqlite3-dev,libcrypt-dev,libpwquality-dev \
    "$release" "$work/bootstrap" "$mirror" > "$work/debootstrap.log" 2>&1 ||
    { cat "$work/debootstrap.log" >&2; exit 1; }
# Only what building and running the programs needs: the C library, the kernel's headers,
# json-c, SQLite, libcrypt and libpwquality (with cracklib, which it loads) and the GCC runtime
# the C library loads for thread cancellation.
mkdir "$work/root"
for package in $packages; do
    debs=("$work/bootstrap/var/cache/apt/archives/${package}_"*_armhf.deb)
    [ -f "${debs[0]}" ] || { echo "sysroot.sh: $package was not downloaded" >&2; exit 1; }
    dpkg-deb -x "${debs[0]}" "$work/root"
done
# One library folder, as on the boards (/lib is /usr/lib): the loader then finds every library
# of the root where it looks first, and qemu-arm -L never falls back to this machine's.
cp -a "$work/root/lib/." "$work/root/usr/lib/"
rm -rf "$work/root/lib"
ln -s usr/lib "$work/root/lib"
# Links that name an absolute path would leave the root (the loader's own link among them):
# make them relative, so that the compiler and qemu-arm stay inside.
while IFS= read -r link; do
    target="$work/root$(readlink "$link")"
    ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$target")" "$link"
done < <(find "$work/root" -type l -lname '/*')
# An empty loader cache: the loader then looks only in the root's folders, never in a cache of
# this machine's libraries.
: > "$work/root/etc/ld.so.cache"
echo "$packages" > "$work/root/.complete"
[ ! -e "$root" ] || [ "$(cat "$root/.complete" 2>/dev/null)" = "$packages" ] || mv -T "$root" "$work/old"
mv -T "$work/root" "$root" 2>/dev/null || [ -e "$root/.complete" ]  # (another run may have been first)
echo "$root"
