#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(( $(nproc) * 4 ))  # many tests mostly wait on processes and sleeps

scripts/build.sh build -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
ctest --test-dir build -j"$jobs" --output-on-failure
scripts/lint.sh build

scripts/build.sh build-sanitize -DGRSHM_SANITIZE=ON
ctest --test-dir build-sanitize -j"$jobs" --output-on-failure
