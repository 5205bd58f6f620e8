#!/bin/sh
# The library exports exactly its API, and the three deliverables load only what they must.
# Usage: check_binaries.sh LIBRARY LINKREPORT ROLEKIND API_LIST
set -eu
library=$1 linkreport=$2 rolekind=$3 api=$4
status=0

exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
expected=$(grep -v '^#' "$api" | sed '/^$/d' | sort)
if [ "$exported" != "$expected" ]; then
    echo "exported symbols differ from the API list:"
    printf '%s\n' "$exported" > /tmp/exported.$$
    printf '%s\n' "$expected" > /tmp/expected.$$
    diff /tmp/expected.$$ /tmp/exported.$$ || true
    rm -f /tmp/exported.$$ /tmp/expected.$$
    status=1
fi

# The dynamic loader belongs to the C library.
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -v '^ld-linux' | sort | tr '\n' ' '; }
check_needed() {
    actual=$(needed "$1")
    if [ "$actual" != "$2" ]; then
        echo "$1 needs [$actual], expected [$2]"
        status=1
    fi
}
check_needed "$library" "libc.so.6 "
check_needed "$linkreport" "libc.so.6 libgrshm.so.1 libjson-c.so.5 "
check_needed "$rolekind" "libc.so.6 libgrshm.so.1 libjson-c.so.5 libm.so.6 "

soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = "libgrshm.so.1" ] || { echo "soname is [$soname]"; status=1; }
exit $status
