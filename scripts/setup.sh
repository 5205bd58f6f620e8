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

# The newest version that both architectures are offered in.
version_of_both() {
    comm -12 <(apt-cache madison "$1:amd64" | awk '{print $3}' | sort -u) \
             <(apt-cache madison "$1:armhf" | awk '{print $3}' | sort -u) | sort -V | tail -1
}

# Installs the packages. A library of both architectures must be of one version; when an index
# of one architecture did not come (a mirror mid-sync), the other's newest may have no twin:
# such a library is then installed in the newest version both have, and the install tried again.
install_paired() {
    local log pinned=() round
    log=$(mktemp)
    for round in 1 2 3 4 5; do
        if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --allow-downgrades "$@" "${pinned[@]}" \
            >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        # (-qq leaves out which dependencies are unmet: a dry run names them.)
        apt-get install -s --allow-downgrades "$@" "${pinned[@]}" >>"$log" 2>&1 || true
        local unpaired
        unpaired=$(grep -o '[a-z0-9.+-]*:armhf' "$log" | sed 's/:armhf$//' | sort -u || true)
        [ -n "$unpaired" ] && [ "$round" -lt 5 ] || break
        for package in $unpaired; do
            local version
            version=$(version_of_both "$package")
            [ -n "$version" ] && pinned+=("$package:amd64=$version" "$package:armhf=$version")
        done
        echo "setup.sh: installing" $unpaired "in the version both architectures have" >&2
    done
    cat "$log" >&2
    rm -f "$log"
    return 1
}

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
    install_paired "${missing[@]}"
    # Debian starts its own lighttpd on port 80 when it installs it; we run our own.
    if [[ " ${missing[*]} " == *" lighttpd "* ]]; then service lighttpd stop >/dev/null 2>&1 || true; fi
fi
