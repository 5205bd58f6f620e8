#!/usr/bin/env bash
# Builds in release mode and prints the performance table (see docs/performance.md).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
missing=()
for package in wrk valgrind; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DGRSHM_TESTS=OFF
ln -sf "$(pwd)/build-release/bench/floor" build-release/www/cgi-bin/floor
ln -sf "$(pwd)/build-release/bench/linkreport_without_sessions" build-release/www/cgi-bin/linkreport_without_sessions
exec unshare --ipc python3 bench/measure.py build-release "$@"
