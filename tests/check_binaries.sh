#!/bin/sh
# The library exports exactly its API, the deliverables load only what they must, and all are
# hardened (PIE, full RELRO, stack protector, fortified libc calls).
# With GLIBC_FLOOR (a board's C library, e.g. 2.31), none of them nor the TOOLS needs a newer one.
# Usage: check_binaries.sh LIBRARY LINKREPORT ROLEKIND GNSSREPORT API_LIST LINKCONFIG [TOOL...]
# NM, READELF and OBJDUMP may name the tools of a cross build.
set -eu
[ $# -ge 6 ] || { echo "usage: check_binaries.sh LIBRARY LINKREPORT ROLEKIND GNSSREPORT API_LIST LINKCONFIG [TOOL...]" >&2; exit 2; }
library=$1 linkreport=$2 rolekind=$3 gnssreport=$4 api=$5 linkconfig=$6
shift 6
nm=${NM:-nm}
readelf=${READELF:-readelf}
objdump=${OBJDUMP:-objdump}
status=0
fail() { echo "$*"; status=1; }

exported=$("$nm" -D --defined-only "$library" | awk '{print $3}' | sort)
expected=$(grep -v '^#' "$api" | sed '/^$/d' | sort)
if [ "$exported" != "$expected" ]; then
    echo "exported symbols differ from the API list (< expected, > exported):"
    printf '%s\n' "$expected" > /tmp/expected.$$
    printf '%s\n' "$exported" > /tmp/exported.$$
    diff /tmp/expected.$$ /tmp/exported.$$ || true
    rm -f /tmp/exported.$$ /tmp/expected.$$
    status=1
fi

# The dynamic loader belongs to the C library.
needed() { "$readelf" -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v '^ld-linux' | sort | tr '\n' ' '; }
check_needed() {
    actual=$(needed "$1")
    [ "$actual" = "$2" ] || fail "$1 needs [$actual], expected [$2]"
}
check_needed "$library" "libc.so.6 "
# (No libm: a library loaded and bound at every start that nothing calls is pure cost.)
# (SQLite: every program takes API tokens, kept in the security records, and the programs that
# change what is stored record each change in the change log there.)
check_needed "$linkreport" "libc.so.6 libgrshm.so.1 libjson-c.so.5 libsqlite3.so.0 "
check_needed "$rolekind" "libc.so.6 libgrshm.so.1 libjson-c.so.5 libsqlite3.so.0 "
check_needed "$gnssreport" "libc.so.6 libgrshm.so.1 libjson-c.so.5 libsqlite3.so.0 "
check_needed "$linkconfig" "libc.so.6 libgrshm.so.1 libjson-c.so.5 libsqlite3.so.0 "
# The CGI programs among the tools, by name: what they need, and hardened as the others.
cgi_tools=
for tool in "$@"; do
    case $(basename "$tool") in
        changelog|settings)
            check_needed "$tool" "libc.so.6 libgrshm.so.1 libjson-c.so.5 libsqlite3.so.0 "
            cgi_tools="$cgi_tools $tool" ;;
        # The session check needs no library of its own; only the login program hashes
        # (libcrypt), and only the console tool checks new passwords (libpwquality). Both keep
        # the lock-out counters and tokens in the security records (libsqlite3).
        login)
            check_needed "$tool" "libc.so.6 libcrypt.so.1 libgrshm.so.1 libjson-c.so.5 libsqlite3.so.0 "
            cgi_tools="$cgi_tools $tool" ;;
        # (Against a C library before 2.34, the console tool's -pthread brings libpthread.)
        grshm-user)
            pthread=
            if [ -n "${GLIBC_FLOOR:-}" ] && [ "$(printf '%s\n' "$GLIBC_FLOOR" 2.34 | sort -V | head -n 1)" != 2.34 ]; then
                pthread="libpthread.so.0 "
            fi
            check_needed "$tool" "libc.so.6 libcrypt.so.1 libjson-c.so.5 ${pthread}libpwquality.so.1 libsqlite3.so.0 "
            cgi_tools="$cgi_tools $tool" ;;
    esac
done

soname=$("$readelf" -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libgrshm.so.1" ] || fail "soname is [$soname]"

for file in "$library" "$linkreport" "$rolekind" "$gnssreport" "$linkconfig" $cgi_tools; do
    "$readelf" -l "$file" | grep -q GNU_RELRO || fail "$file: no RELRO segment"
    "$readelf" -d "$file" | grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' || fail "$file: not bound at start (partial RELRO)"
    "$nm" -D --undefined-only "$file" | grep -q __stack_chk_fail || fail "$file: no stack protector"
done
for program in "$linkreport" "$rolekind" "$gnssreport" "$linkconfig" $cgi_tools; do
    "$readelf" -h "$program" | grep -q 'DYN (' || fail "$program: not position-independent"
    "$nm" -D --undefined-only "$program" | grep -Eq '__[a-z]+_chk' || fail "$program: no fortified calls"
done
# json-c may change or drop what it exports under JSONC_PRIVATE in any release: a program that
# imported such a symbol would stop at start on a board whose json-c differs. (The versions of
# imported symbols, as objdump -T shows them; readelf reads every architecture.)
for program in "$linkreport" "$rolekind" "$gnssreport" "$linkconfig" "$@"; do
    private=$("$readelf" --dyn-syms -W "$program" | sed -n 's/.* UND \([^ ]*@JSONC_PRIVATE\).*/\1/p' | tr '\n' ' ')
    [ -z "$private" ] || fail "$program imports json-c's private symbols: $private"
done

# A board's loader refuses to start a program that names a symbol version its C library lacks.
if [ -n "${GLIBC_FLOOR:-}" ]; then
    for file in "$library" "$linkreport" "$rolekind" "$gnssreport" "$linkconfig" "$@"; do
        newer=$("$objdump" -T "$file" | awk -v floor="$GLIBC_FLOOR" '
            function newer(version, a, b, i) {
                split(version, a, "."); split(floor, b, ".")
                for (i = 1; i <= 3; i++) if (a[i] + 0 != b[i] + 0) return a[i] + 0 > b[i] + 0
                return 0
            }
            match($0, /GLIBC_[0-9][0-9.]*/) {
                version = substr($0, RSTART + 6, RLENGTH - 6)
                if (newer(version)) printf "%s@GLIBC_%s ", $NF, version
            }')
        [ -z "$newer" ] || fail "$file needs a newer C library than GLIBC_$GLIBC_FLOOR: $newer"
    done
fi
exit $status
