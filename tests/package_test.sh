#!/usr/bin/env bash
# The packages as their users meet them, for one architecture:
# - scripts/package.sh builds them (lintian without errors);
# - a staged installation holds exactly the files README.md lists, without RUNPATH, stripped,
#   with soname links that resolve;
# - examples/ builds out of tree against the staged installation, with pkg-config and with
#   find_package, and runs (armhf under qemu-arm) beside the staged programs on the same segments;
# - amd64 with --root: the packages install with apt into a fresh Debian 12 root (debootstrap,
#   cached in /var/cache/grshm), lighttpd there enables the shipped snippet, and the programs
#   answer through it with the login.
# Usage: tests/package_test.sh amd64|armhf [--root]
set -euo pipefail
cd "$(dirname "$0")/.."
usage() {
    echo "usage: tests/package_test.sh amd64|armhf [--root]" >&2
    exit 2
}
[ $# -ge 1 ] && [ $# -le 2 ] || usage
arch=$1
with_root=${2:-}
[ -z "$with_root" ] || [ "$with_root" = --root ] || usage
case $arch in
    amd64) triplet=x86_64-linux-gnu cc=gcc emulator="" readelf=readelf toolchain=() ;;
    armhf) triplet=arm-linux-gnueabihf cc=arm-linux-gnueabihf-gcc emulator=qemu-arm
        readelf=arm-linux-gnueabihf-readelf toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-armhf.cmake") ;;
    *) usage ;;
esac
status=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; status=1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

scripts/package.sh "$arch" > "$work/package.log" 2>&1 || { cat "$work/package.log"; exit 1; }
pass "$arch packages built, lintian without errors"
build=build-package-$arch

# ---- The staged installation ------------------------------------------------------------------
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --strip > /dev/null
promised=$(sed -n '/<!-- installed files -->/,/<!-- end of installed files -->/p' README.md | grep -v '^<!--\|^```' |
    sed "s|<libdir>|lib/$triplet|")
actual=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | sort)
if [ "$actual" = "$(printf '%s\n' "$promised" | sort)" ]; then pass "file list as README.md says"; else
    fail "file list differs from README.md (< promised, > installed):"
    diff <(printf '%s\n' "$promised" | sort) <(printf '%s\n' "$actual") || true
fi
libdir=$stage/usr/lib/$triplet
for file in "$libdir/libgrshm.so.1.0.0" "$stage"/usr/lib/cgi-bin/* "$stage/usr/bin/grshm"; do
    name=${file#"$stage"/}
    if $readelf -d "$file" | grep -Eq '\((RUNPATH|RPATH)\)'; then fail "$name has a RUNPATH"; else pass "$name: no RUNPATH"; fi
    if $readelf -S "$file" | grep -q '\.symtab'; then fail "$name is not stripped"; else pass "$name: stripped"; fi
done
soname=$($readelf -d "$libdir/libgrshm.so.1.0.0" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libgrshm.so.1 ] && [ "$(readlink "$libdir/libgrshm.so.1")" = libgrshm.so.1.0.0 ] &&
    [ "$(readlink "$libdir/libgrshm.so")" = libgrshm.so.1 ] && pass "soname links: libgrshm.so -> .so.1 -> .so.1.0.0" ||
    fail "soname links do not resolve (soname [$soname])"
for program in "$stage"/usr/lib/cgi-bin/*; do
    $readelf -d "$program" | grep -q 'NEEDED.*\[libgrshm.so.1\]' && [ -e "$libdir/libgrshm.so.1" ] ||
        fail "${program##*/} does not find libgrshm.so.1 in the installation"
done

# ---- The example, out of tree, both ways -------------------------------------------------------
cp -r examples "$work/example-src"
if PKG_CONFIG_LIBDIR="$libdir/pkgconfig" PKG_CONFIG_PATH="" make -s -C "$work/example-src" CC="$cc" > "$work/make.log" 2>&1; then
    pass "example built with pkg-config"
else
    fail "example did not build with pkg-config"; cat "$work/make.log"
fi
# (The cross toolchain file sets its own CMAKE_PREFIX_PATH: there, name the package's folder.)
where=(-DCMAKE_PREFIX_PATH="$stage/usr")
[ "$arch" = amd64 ] || where=(-Dgrshm_DIR="$libdir/cmake/grshm")
if cmake -S "$work/example-src" -B "$work/example-cmake" "${where[@]}" "${toolchain[@]}" > "$work/cmake.log" 2>&1 &&
    cmake --build "$work/example-cmake" > "$work/cmake.log" 2>&1; then
    pass "example built with find_package"
else
    fail "example did not build with find_package"; cat "$work/cmake.log"
fi

# rolekind of the installation changes the work mode and posts; both examples see it.
export LD_LIBRARY_PATH=$libdir
body='{"Mode":"2","SinglePoint":{"PPS":"OFF","EVENT":"OFF","CLK":"ON"}}'
run_beside() {
    local reply
    reply=$(printf '%s' "$body" | REQUEST_METHOD=POST CONTENT_LENGTH=${#body} $emulator "$stage/usr/lib/cgi-bin/rolekind")
    case $reply in *'{ "Res": "Success" }') ;; *) echo "rolekind answered: $reply" && return 1 ;; esac
    for example in "$work/example-src/receiver_state" "$work/example-cmake/receiver_state"; do
        $emulator "$example" | tr '\n' ';'
        echo
    done
}
if output=$(unshare --ipc bash -c "$(declare -f run_beside); stage=$stage work=$work emulator=$emulator body='$body' run_beside"); then
    expected='work mode 2;no position;mailbox operation 12, state 2;'
    [ "$(printf '%s\n' "$output" | sort -u)" = "$expected" ] && pass "examples run beside the installed rolekind: $expected" ||
        fail "examples saw: $output"
else
    fail "installed programs beside the example: $output"
fi
unset LD_LIBRARY_PATH

# ---- A fresh Debian 12 root ------------------------------------------------------------------
if [ "$with_root" = --root ]; then
    if tests/package_root.sh "$build/packages"; then pass "installed and served in a fresh Debian 12 root"; else
        fail "the packages in a fresh Debian 12 root"; fi
fi
[ $status -eq 0 ] && echo "packages ($arch): all checks passed" || echo "packages ($arch): FAILED"
exit $status
