#!/bin/sh
# Prints the Debian archive this machine's apt fetches the release itself from (not its
# security updates), for debootstrap; GRSHM_DEBIAN_MIRROR overrides it.
# Usage: scripts/debian-mirror.sh
set -eu
if [ -n "${GRSHM_DEBIAN_MIRROR:-}" ]; then
    echo "$GRSHM_DEBIAN_MIRROR"
    exit 0
fi
# deb822 sources: the first stanza of binary packages that names a release without a suffix
# (bookworm, not bookworm-security or bookworm-updates).
mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '
    function take() { if (!found && uri != "" && binary && release) { print uri; found = 1 } uri = ""; binary = release = 0 }
    /^#/ { next }
    /^[ \t]*$/ { take(); next }
    tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") binary = 1 }
    tolower($1) == "uris:" { uri = $2 }
    tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if ($i !~ /-/) release = 1 }
    END { take() }')
# One-line sources: "deb [options] URI SUITE COMPONENTS...".
if [ -z "$mirror" ]; then
    mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | awk '
        $1 != "deb" { next }
        { i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ } }
        $(i + 1) !~ /-/ { print $i; exit }')
fi
if [ -z "$mirror" ]; then
    echo "debian-mirror.sh: no Debian archive in the apt sources; set GRSHM_DEBIAN_MIRROR" >&2
    exit 1
fi
echo "$mirror"
