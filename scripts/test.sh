#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build with its lint, the same tests
# built with AddressSanitizer and UndefinedBehaviorSanitizer, the ARMv7 build with every test
# under qemu-user and the mixed-architecture test, the packages of both architectures, then
# the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh armhf
jobs=$(( $(nproc) * 4 ))  # many tests mostly wait on processes and sleeps

scripts/build.sh build -DGRSHM_TESTS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
ctest --test-dir build -j"$jobs" --output-on-failure --no-tests=error
scripts/lint.sh build

scripts/build.sh build-sanitize -DGRSHM_TESTS=ON -DGRSHM_SANITIZE=ON
ctest --test-dir build-sanitize -j"$jobs" --output-on-failure --no-tests=error

# The receiver's own architecture, cross-built and run under emulation, and both
# architectures on the same segments.
scripts/build.sh build-armhf -DGRSHM_TESTS=ON -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
ctest --test-dir build-armhf -j"$jobs" --output-on-failure --no-tests=error
tests/mixed_arch.sh build build-armhf

# The packages: built and linted, staged, used by the example program as the receiver's own
# programs would, and (amd64) installed and served on a fresh Debian 12 root.
timeout 900 tests/package_test.sh amd64 --root
timeout 600 tests/package_test.sh armhf

# Fuzzing with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer: every kept input
# once, then each target for a bounded time.
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DGRSHM_FUZZ=ON -DGRSHM_TESTS=OFF
ctest --test-dir build-fuzz --output-on-failure --no-tests=error
scripts/fuzz.sh build-fuzz "${FUZZ_SECONDS:-60}"
