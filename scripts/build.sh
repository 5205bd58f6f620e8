#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh BUILD_DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ${1:-} == -* ]]; then  # a build folder first, then cmake's options
    echo "usage: scripts/build.sh [BUILD_DIR [cmake options...]]" >&2
    exit 2
fi
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
