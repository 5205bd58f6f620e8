#!/usr/bin/env bash
# Sets everything up, builds, and answers one request from each program the way the web
# server starts them, in a private IPC namespace.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DGRSHM_TESTS=OFF

exec unshare --ipc bash -c '
request() {  # program, body
    printf "%s" "$2" | REQUEST_METHOD=POST CONTENT_LENGTH=${#2} "build/$1/$1"
    printf "\n\n"
}
echo "== linkreport"
request linkreport "{}"
echo "== rolekind (status report)"
request rolekind "{}"
'
