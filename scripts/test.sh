#!/usr/bin/env bash
# Sets everything up and runs every test, in steps (all of them by default, in this order):
#   native    the normal build (GCC) with its unit, program, end-to-end, browser and
#             reliability tests, and lint
#   package   the amd64 packages, installed and served on a fresh Debian 12 root
#   sanitize  the same tests built by clang with AddressSanitizer and UndefinedBehaviorSanitizer
#   armhf     the ARMv7 build against a Debian 11 board's root with every test under qemu-user,
#             the mixed-architecture test and the armhf packages
#   fuzz      the fuzz targets, for a bounded time
# Usage: scripts/test.sh [STEP...]
set -euo pipefail
cd "$(dirname "$0")/.."
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(native package sanitize armhf fuzz)
for step in "${steps[@]}"; do
    case $step in
        native | package | sanitize | armhf | fuzz) ;;
        *) echo "usage: scripts/test.sh [native|package|sanitize|armhf|fuzz ...]" >&2; exit 2 ;;
    esac
done
# (The cross compiler and the board's libraries only when the ARMv7 step runs.)
if [[ " ${steps[*]} " == *" armhf "* ]]; then scripts/setup.sh armhf; else scripts/setup.sh; fi
jobs=$(( $(nproc) * 4 ))  # many tests mostly wait on processes and sleeps

# The quick tests first, so that a fault they catch shows in seconds; then those that wait in
# real time. Each test is bounded (the reliability suite sets a longer bound of its own).
run_tests() {
    local dir=$1
    ctest --test-dir "$dir" -j"$jobs" --timeout 300 --output-on-failure --no-tests=error -LE realtime
    ctest --test-dir "$dir" -j"$jobs" --timeout 300 --output-on-failure --no-tests=error -L realtime
}

native() {
    scripts/build.sh build -DGRSHM_TESTS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
    run_tests build
    scripts/lint.sh build
}

# The packages built and linted, staged, used by the example program as the receiver's own
# programs would, and installed and served on a fresh Debian 12 root.
package() {
    timeout 900 tests/package_test.sh amd64 --root
}

# (With clang: GCC and clang each build and test the whole product.)
sanitize() {
    CC=clang CXX=clang++ scripts/build.sh build-sanitize -DGRSHM_TESTS=ON -DGRSHM_SANITIZE=ON
    run_tests build-sanitize
}

# The receiver's own architecture, built against a Debian 11 board's root and run under
# emulation with its C library and json-c, both architectures on the same segments, and the
# armhf packages.
armhf() {
    scripts/sysroot.sh armhf
    scripts/build.sh build-armhf -DGRSHM_TESTS=ON -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf-board.cmake
    run_tests build-armhf
    # (The native programs beside them: built here when the native step ran elsewhere.)
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRSHM_TESTS=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON > /dev/null
    cmake --build build -j"$(nproc)" --target grshm_tool linkreport rolekind gnssreport linkconfig
    tests/mixed_arch.sh build build-armhf
    timeout 600 tests/package_test.sh armhf
}

# Fuzzing with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer: every kept input
# once, then each target for a bounded time.
fuzz() {
    CC=clang CXX=clang++ scripts/build.sh build-fuzz -DGRSHM_FUZZ=ON -DGRSHM_TESTS=OFF
    ctest --test-dir build-fuzz --output-on-failure --no-tests=error
    scripts/fuzz.sh build-fuzz "${FUZZ_SECONDS:-60}"
}

for step in "${steps[@]}"; do
    echo "== scripts/test.sh: $step ($(date -u +%H:%M:%S))"
    "$step"
done
echo "== scripts/test.sh: passed ($(date -u +%H:%M:%S))"
