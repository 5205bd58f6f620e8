#!/usr/bin/env bash
# Sets everything up, builds, and runs the system: the receiver stand-in and lighttpd
# serving both programs on 127.0.0.1:${PORT:-8080}, in a private IPC namespace, until Ctrl-C.
# Extra arguments go to the receiver stand-in (for example --nmea FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DGRSHM_TESTS=OFF
port=${PORT:-8080}

cat <<TEXT

The receiver stand-in and lighttpd are starting on http://127.0.0.1:$port/ (Ctrl-C stops both).
Try, from another terminal:

  curl -s -d '{}' http://127.0.0.1:$port/cgi-bin/linkreport
  curl -s -d '{"Key":"1"}' http://127.0.0.1:$port/cgi-bin/rolekind

TEXT
exec unshare --ipc --fork scripts/serve.sh build "$port" "$@"
