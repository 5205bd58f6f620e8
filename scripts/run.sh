#!/usr/bin/env bash
# Sets everything up, builds, and runs the system: the receiver stand-in and lighttpd
# serving the programs behind a login on 127.0.0.1:${PORT:-8080}, in a private IPC
# namespace, until Ctrl-C. The requests it prints carry a token kept in build/run/web-token.
# Extra arguments go to the receiver stand-in (for example --nmea FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DGRSHM_TESTS=OFF
port=${PORT:-8080}

# The login: GRSHM_WEB_PASSWORD if set, else the one made on the first start, kept in a file
# that only its owner can read (a development run; on the board, grshm-user).
password_file=build/run/web-password
if [ -z "${GRSHM_WEB_PASSWORD:-}" ]; then
    if [ ! -s "$password_file" ]; then
        mkdir -p build/run
        (umask 077 && head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' > "$password_file")
        echo "A password was made for this interface: user admin, password $(cat "$password_file")"
        echo "(kept in $password_file; GRSHM_WEB_PASSWORD=... sets another one)"
    fi
    GRSHM_WEB_PASSWORD=$(cat "$password_file")
fi
export GRSHM_WEB_PASSWORD
# The printed requests send an API token of admin, kept in this file on every start.
export GRSHM_WEB_TOKEN_FILE=build/run/web-token
exec unshare --ipc --fork scripts/serve.sh build "$port" "$@"
