#!/usr/bin/env bash
# Sets everything up and runs every test: the normal build with its lint, the same tests
# built by clang with AddressSanitizer and UndefinedBehaviorSanitizer, the ARMv7 build against
# a Debian 11 board's root with every test under qemu-user and the mixed-architecture test,
# the packages of both architectures, then the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh armhf
jobs=$(( $(nproc) * 4 ))  # many tests mostly wait on processes and sleeps

# The quick tests first, so that a fault they catch shows in seconds; then those that wait in
# real time. Each test is bounded (the reliability suite sets a longer bound of its own).
run_tests() {
    local dir=$1
    ctest --test-dir "$dir" -j"$jobs" --timeout 300 --output-on-failure --no-tests=error -LE realtime
    ctest --test-dir "$dir" -j"$jobs" --timeout 300 --output-on-failure --no-tests=error -L realtime
}

scripts/build.sh build -DGRSHM_TESTS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
run_tests build
scripts/lint.sh build

# (With clang: GCC and clang each build and test the whole product.)
CC=clang CXX=clang++ scripts/build.sh build-sanitize -DGRSHM_TESTS=ON -DGRSHM_SANITIZE=ON
run_tests build-sanitize

# The receiver's own architecture, built against a Debian 11 board's root and run under
# emulation with its C library and json-c, and both architectures on the same segments.
scripts/sysroot.sh armhf
scripts/build.sh build-armhf -DGRSHM_TESTS=ON -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf-board.cmake
run_tests build-armhf
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
