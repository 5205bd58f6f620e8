#!/usr/bin/env bash
# The amd64 packages on a fresh Debian 12: a minimal root made with debootstrap (cached in
# /var/cache/grshm between runs), the packages installed with apt (which resolves their
# dependencies), lighttpd's shipped snippet enabled, a login set, and every program asked
# through the web server over HTTPS with the certificate it made on its first start (plain
# HTTP only redirects), in private network and IPC namespaces.
# Usage: tests/package_root.sh PACKAGES_DIR
set -euo pipefail
[ $# -eq 1 ] && [ -d "$1" ] || { echo "usage: tests/package_root.sh PACKAGES_DIR" >&2; exit 2; }
packages=$(cd "$1" && pwd)
cache=/var/cache/grshm/bookworm-minbase.tar
mirror=$("$(dirname "$0")/../scripts/debian-mirror.sh")
root=$(mktemp -d /var/tmp/grshm-root.XXXXXX)
trap 'rm -rf "$root"' EXIT

if [ ! -s "$cache" ]; then
    mkdir -p "$(dirname "$cache")"
    debootstrap --variant=minbase bookworm "$root" "$mirror" > "$root.debootstrap.log" 2>&1 ||
        { cat "$root.debootstrap.log"; exit 1; }
    rm -f "$root.debootstrap.log"
    tar -C "$root" -cf "$cache.new" . && mv "$cache.new" "$cache"
else
    tar -C "$root" -xf "$cache"
fi
chmod 755 "$root"  # the root of a system: other users (www-data, _apt) must enter it
cp "$packages"/*_amd64.deb "$root/tmp/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d"  # no daemons started by postinst
chmod +x "$root/usr/sbin/policy-rc.d"

# In the root: install, enable, set the login.
unshare --mount --fork bash -euc '
    root=$1
    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    chroot "$root" sh -ec "
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq /tmp/*.deb > /tmp/apt.log 2>&1 || { cat /tmp/apt.log; exit 1; }
        lighty-enable-mod grshm > /dev/null
        echo fresh-root-9-Kw | grshm-user add admin --role admin
        test \"\$(stat -c %U /var/lib/grshm/accounts/admin)\" = www-data
        lighttpd -tt -f /etc/lighttpd/lighttpd.conf
    "
' _ "$root"

# Serve, and ask as the operator and as strangers would.
unshare --mount --net --ipc --fork bash -euc '
    root=$1
    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    ip link set lo up
    chroot "$root" lighttpd -D -f /etc/lighttpd/lighttpd.conf &
    server=$!
    for _ in $(seq 100); do curl -s -o /dev/null http://127.0.0.1/ && break; sleep 0.05; done
    [ "$(stat -c %a "$root/etc/lighttpd/grshm-tls/device.key")" = 600 ] || { echo "FAIL  the made key is not 0600"; exit 1; }
    status=0
    check() {  # expected-status body-start curl-arguments...
        local want=$1 start=$2
        shift 2
        local body code
        body=$(curl -s --cacert "$root/etc/lighttpd/grshm-tls/device.crt" -w "\n%{http_code}" "$@")
        code=${body##*$'\''\n'\''}
        body=${body%$'\''\n'\''*}
        if [ "$code" = "$want" ] && [ "${body#"$start"}" != "$body" -o -z "$start" ]; then
            echo "ok    $want ${*: -1}"
        else
            echo "FAIL  ${*: -1}: $code, expected $want; ${body:0:120}"
            status=1
        fi
    }
    jar=$(mktemp)
    login=(-b "$jar")
    json=(-H "Content-Type: application/json" -d "{}")
    check 301 "" http://127.0.0.1/
    check 301 "" "${json[@]}" http://127.0.0.1/cgi-bin/login
    check 401 "" -H "Content-Type: application/json" -d "{\"User\":\"admin\",\"Password\":\"wrong-root-9-Kw\"}" \
        https://127.0.0.1/cgi-bin/login
    check 200 "{ \"Res\": \"Success\", \"User\": \"admin\", " -c "$jar" -H "Content-Type: application/json" \
        -d "{\"User\":\"admin\",\"Password\":\"fresh-root-9-Kw\"}" https://127.0.0.1/cgi-bin/login
    check 401 "" "${json[@]}" https://127.0.0.1/cgi-bin/rolekind
    check 200 "<!doctype html>" https://127.0.0.1/
    check 200 "{ \"DataTrans\": [ " "${login[@]}" "${json[@]}" https://127.0.0.1/cgi-bin/linkreport
    check 200 "{ \"Mode\": 0, " "${login[@]}" "${json[@]}" https://127.0.0.1/cgi-bin/rolekind
    check 200 "{ \"Fix\": { \"Quality\": 0, " "${login[@]}" "${json[@]}" https://127.0.0.1/cgi-bin/gnssreport
    check 200 "{ \"Res\": \"Success\", \"Channel\": { \"TransID\": 8, " "${login[@]}" -H "Content-Type: application/json" \
        -d "{\"TransID\":8}" https://127.0.0.1/cgi-bin/linkconfig
    check 403 "" "${login[@]}" "${json[@]}" -H "Sec-Fetch-Site: cross-site" https://127.0.0.1/cgi-bin/rolekind
    check 403 "" "${login[@]}" https://127.0.0.1/cgi-bin/other
    check 403 "" "${login[@]}" https://127.0.0.1/cgi-bin/rolekind
    check 403 "" "${login[@]}" -d "{}" https://127.0.0.1/cgi-bin/rolekind
    # Host names: with none listed, a name rebound by another site is refused, an address is not;
    # with names listed, exactly those.
    check 403 "" "${login[@]}" "${json[@]}" -H "Host: rebound.example" https://127.0.0.1/cgi-bin/linkreport
    check 403 "" "${login[@]}" -H "Host: rebound.example" https://127.0.0.1/
    check 200 "<!doctype html>" "${login[@]}" -H "Host: $(cat /proc/sys/kernel/hostname)" https://127.0.0.1/
    kill $server
    wait $server || true
    echo "receiver.test 10.1.2.3" >> "$root/etc/lighttpd/grshm-hosts"
    chroot "$root" lighttpd -D -f /etc/lighttpd/lighttpd.conf &
    server=$!
    for _ in $(seq 100); do curl -s -o /dev/null http://127.0.0.1/ && break; sleep 0.05; done
    # (The session cookie belongs to the host it was set by: receiver.test logs in on its own.)
    named=(-k --resolve receiver.test:443:127.0.0.1)
    check 200 "{ \"Res\": \"Success\", \"User\": \"admin\", " "${named[@]}" -c "$jar.named" \
        -H "Content-Type: application/json" -d "{\"User\":\"admin\",\"Password\":\"fresh-root-9-Kw\"}" \
        https://receiver.test/cgi-bin/login
    check 200 "{ \"DataTrans\": [ " -b "$jar.named" "${json[@]}" "${named[@]}" https://receiver.test/cgi-bin/linkreport
    check 200 "<!doctype html>" "${login[@]}" -H "Host: 10.1.2.3" https://127.0.0.1/
    check 403 "" "${login[@]}" "${json[@]}" https://127.0.0.1/cgi-bin/linkreport
    check 403 "" "${login[@]}" -H "Host: rebound.example" https://127.0.0.1/
    kill $server
    wait $server || true
    exit $status
' _ "$root"
