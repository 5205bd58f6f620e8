#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine (run as root).
# With the argument "armhf", also what the ARMv7 cross build and its emulated tests need.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make binutils git libjson-c-dev libsqlite3-dev libcrypt-dev libpwquality-dev cracklib-runtime libgtest-dev clang-format clang-tidy cppcheck lighttpd lighttpd-mod-openssl openssl logrotate curl
          clang libclang-rt-14-dev python3 python3-selenium chromium chromium-driver
          dpkg-dev lintian pkgconf debootstrap
          libbenchmark-dev  # lint reads the benchmarks with their headers
          iproute2 procps  # ip (the package and web server tests' private networks), pgrep (the browser test)
          nftables)  # nft: the web server test loads the board's firewall rules

if [ "${1:-}" = armhf ]; then
    if ! dpkg --print-foreign-architectures | grep -qx armhf; then
        dpkg --add-architecture armhf
    fi
    packages+=(g++-arm-linux-gnueabihf qemu-user libjson-c-dev:armhf libsqlite3-dev:armhf libcrypt-dev:armhf libpwquality-dev:armhf libgtest-dev:armhf)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # (A mirror caught mid-sync serves an index of the wrong size: try again a little later; if an
    # index still fails, install from those that came, and let the install say what is missing.)
    apt-get update -qq || { sleep 20; apt-get update -qq; } ||
        echo "setup.sh: some package indexes could not be updated; installing from the others" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    # Debian starts its own lighttpd on port 80 when it installs it; we run our own.
    if [[ " ${missing[*]} " == *" lighttpd "* ]]; then service lighttpd stop >/dev/null 2>&1 || true; fi
fi
