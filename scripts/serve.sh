#!/usr/bin/env bash
# Starts the receiver stand-in and lighttpd serving the programs on 127.0.0.1:PORT behind a
# login (user admin, password GRSHM_WEB_PASSWORD, an admin account of this server's own state
# folder), prints a login and requests to try, and keeps both
# running until SIGINT or SIGTERM, which stops both. Plain HTTP (loopback is a secure context
# for browsers); with GRSHM_HTTPS=1, HTTPS with a certificate made on the first start for
# localhost and 127.0.0.1 (BUILD_DIR/run/PORT/tls/device.crt, to trust or give curl --cacert).
# With GRSHM_WEB_TOKEN_FILE=FILE, an API token of admin is kept in FILE (mode 0600): made on the
# first start, and again whenever this server's records no longer know it; the printed requests
# then send it (Authorization: Bearer) instead of a session cookie.
# Usage: GRSHM_WEB_PASSWORD=... [GRSHM_HTTPS=1] [GRSHM_WEB_TOKEN_FILE=FILE] scripts/serve.sh BUILD_DIR PORT [receiversim options...]
# (GRSHM_CGI_DIR=DIR serves the programs of DIR instead of the build's: a test build's.)
# Run it in a private IPC namespace (unshare --ipc) to keep off the machine's segments.
set -euo pipefail
usage() {
    echo "usage: GRSHM_WEB_PASSWORD=... scripts/serve.sh BUILD_DIR PORT [receiversim options...]" >&2
    exit 2
}
[ $# -ge 2 ] && [ -d "$1" ] && [[ $2 =~ ^[0-9]+$ ]] && [ -n "${GRSHM_WEB_PASSWORD:-}" ] || usage
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
port=$2
shift 2

rundir="$build/run/$port"  # one per server, so that several can run side by side
mkdir -p "$rundir"

# Programs built for another architecture (GRSHM_TEST_EMULATOR=qemu-arm) run behind the
# emulator: the web server then starts small wrappers instead of the programs themselves.
emulator=${GRSHM_TEST_EMULATOR:-}
cgidir=${GRSHM_CGI_DIR:-"$build/www/cgi-bin"}  # another folder of programs: the page tests' test build
if [ -n "$emulator" ]; then
    cgidir="$rundir/cgi-bin"
    mkdir -p "$cgidir"
    # The programs the web server runs, from their one list.
    programs=$(sed -n 's/^var.grshm_programs = "\(.*\)"$/\1/p' "$root/tools/lighttpd/grshm-web.conf" | tr '|' ' ')
    for program in $programs; do
        binary="$build/$program/$program"
        [ -n "${GRSHM_CGI_DIR:-}" ] && binary=$(readlink -f "$GRSHM_CGI_DIR/$program")
        printf '#!/bin/sh\nexec %s %s\n' "$emulator" "$binary" > "$cgidir/$program"
        chmod +x "$cgidir/$program"
    done
fi
# Started as root, lighttpd and the programs serve as www-data, which gets the logs and the
# accounts, sessions and security records and nothing more: the segments are open to every user
# already. A build it cannot reach (a checkout in a home only its owner enters, as /root is) is
# served from a copy it can: the pages, the programs and the library, with the logs and the
# state beside them in /var/tmp; BUILD_DIR/run/PORT names them by links, as it does otherwise.
docroot="$build/www"
served="$rundir"  # where the server's user finds its logs and state
as_www_data=
reaches() {
    runuser -u www-data -- sh -c 'test -r "$1/index.html" && test -x "$2/rolekind" && test -r "$3/libgrshm.so.1"' \
        _ "$docroot" "$cgidir" "$1" 2> /dev/null
}
if [ "$(id -u)" = 0 ]; then
    if reaches "$build/libgrshm"; then
        as_www_data=1
    elif [ -z "$emulator" ]; then
        served=/var/tmp/grshm-serve-$port
        install -d -m 0755 "$served"
        rm -rf "$served/www" "$served/cgi-bin" "$served/lib"
        cp -rL "$build/www" "$served/www"
        if [ -n "${GRSHM_CGI_DIR:-}" ]; then cp -rL "$cgidir" "$served/cgi-bin" && cgidir="$served/cgi-bin"
        else cgidir="$served/www/cgi-bin"; fi
        docroot="$served/www"
        install -d -m 0755 "$served/lib"
        cp -L "$build/libgrshm/libgrshm.so.1" "$served/lib/"
        export LD_LIBRARY_PATH="$served/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"  # lighttpd hands it on
        # A state folder of an earlier start moves along, so its accounts and records stay.
        if [ -d "$rundir/state" ] && [ ! -L "$rundir/state" ]; then rm -rf "$served/state" && mv "$rundir/state" "$served/state"; fi
        for name in state lighttpd-access.log lighttpd-error.log; do ln -sfn "$served/$name" "$rundir/$name"; done
        reaches "$served/lib" && as_www_data=1
    fi
    [ -n "$as_www_data" ] || echo "serve.sh: www-data cannot reach $build; serving as root (use a checkout others may enter)" >&2
fi
# The accounts, sessions and security records (change log, lock-out counters, tokens) of this
# server alone.
state="$served/state"
(umask 077 && mkdir -p "$state")

# The admin account takes GRSHM_WEB_PASSWORD at every start.
account=add
if $emulator "$build/tools/grshm-user/grshm-user" --dir "$state" list | grep -qx 'admin admin'; then account=passwd; fi
# shellcheck disable=SC2046 # the role words, or none
printf '%s\n' "$GRSHM_WEB_PASSWORD" |
    $emulator "$build/tools/grshm-user/grshm-user" --dir "$state" "$account" admin $([ $account = add ] && echo --role admin)
token_file=${GRSHM_WEB_TOKEN_FILE:-}
if [ -n "$token_file" ] &&
    ! { [ -s "$token_file" ] && $emulator "$build/tools/grshm-user/grshm-user" --dir "$state" token check < "$token_file"; }; then
    (umask 077 && $emulator "$build/tools/grshm-user/grshm-user" --dir "$state" token add admin 2> /dev/null > "$token_file.new") &&
        mv "$token_file.new" "$token_file" || { echo "serve.sh: could not make a token for $token_file" >&2; exit 1; }
fi
[ -z "$token_file" ] || chmod 600 "$token_file"
sed -e "s|@PORT@|$port|g" -e "s|@DOCROOT@|$docroot|" -e "s|@CGIDIR@|$cgidir|" \
    -e "s|@SOURCE@|$root|" -e "s|@RUNDIR@|$served|g" "$root/tools/lighttpd/lighttpd.conf.in" > "$rundir/lighttpd.conf"
scheme=http
if [ "${GRSHM_HTTPS:-}" = 1 ]; then
    scheme=https
    cat >> "$rundir/lighttpd.conf" <<CONF
var.grshm_keys_tool = "$root/tools/lighttpd/grshm-web-keys"
var.grshm_tls_dir = "$rundir/tls"
var.grshm_https_suffix = ":$port"
include "$root/tools/lighttpd/grshm-tls.conf"
ssl.engine = "enable"
CONF
    export GRSHM_TLS_NAMES="localhost 127.0.0.1"
fi

if [ -n "$as_www_data" ]; then
    touch "$served/lighttpd-error.log" "$served/lighttpd-access.log"  # opened once it is www-data
    chown www-data: "$served/lighttpd-error.log" "$served/lighttpd-access.log"
    chown -R www-data: "$state"
    printf 'server.username = "www-data"\nserver.groupname = "www-data"\n' >> "$rundir/lighttpd.conf"
fi

# The password in JSON text: a backslash and a quote escaped; in the shell line, a quote closed.
password_json=$(printf '%s' "$GRSHM_WEB_PASSWORD" | sed -e 's/[\\"]/\\&/g' -e "s/'/'\\\\''/g")
cacert=
[ $scheme = http ] || cacert="--cacert $rundir/tls/device.crt "
jar="$rundir/cookies"
if [ -n "$token_file" ]; then
    auth="-H \"Authorization: Bearer \$(cat $token_file)\""
    cat <<TEXT
The receiver stand-in and lighttpd are starting on $scheme://127.0.0.1:$port/ (user admin).
Try, from another terminal in $(pwd) (the requests carry admin's token, kept in $token_file):

  curl -s $cacert$auth -H 'Content-Type: application/json' -d '{}' $scheme://127.0.0.1:$port/cgi-bin/linkreport
  curl -s $cacert$auth -H 'Content-Type: application/json' -d '{"Key":"1"}' $scheme://127.0.0.1:$port/cgi-bin/rolekind
  curl -s $cacert$auth -H 'Content-Type: application/json' -d '{"TransID":5}' $scheme://127.0.0.1:$port/cgi-bin/linkconfig

TEXT
else
    cat <<TEXT
The receiver stand-in and lighttpd are starting on $scheme://127.0.0.1:$port/ (user admin).
Try, from another terminal: log in (the session cookie goes into $jar), then ask:

  curl -s $cacert-c $jar -H 'Content-Type: application/json' -d '{"User":"admin","Password":"$password_json"}' $scheme://127.0.0.1:$port/cgi-bin/login
  curl -s $cacert-b $jar -H 'Content-Type: application/json' -d '{}' $scheme://127.0.0.1:$port/cgi-bin/linkreport
  curl -s $cacert-b $jar -H 'Content-Type: application/json' -d '{"Key":"1"}' $scheme://127.0.0.1:$port/cgi-bin/rolekind
  curl -s $cacert-b $jar -H 'Content-Type: application/json' -d '{"TransID":5}' $scheme://127.0.0.1:$port/cgi-bin/linkconfig

TEXT
fi

lighttpd=$(command -v lighttpd || echo /usr/sbin/lighttpd)
$emulator "$build/tools/receiversim/receiversim" "$@" &
sim=$!
"$lighttpd" -D -f "$rundir/lighttpd.conf" &
httpd=$!

stop() {
    kill -TERM "$sim" "$httpd" 2>/dev/null || true
    wait "$sim" "$httpd" 2>/dev/null || true
    exit 0
}
trap stop INT TERM
# If either dies on its own, stop the other too.
wait -n "$sim" "$httpd" || true
echo "serve.sh: a process ended on its own; stopping" >&2
stop
