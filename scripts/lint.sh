#!/usr/bin/env bash
# Formatting, cppcheck and clang-tidy over our own code; any finding fails.
# Usage: scripts/lint.sh BUILD_DIR (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 1 ] || { [ $# -eq 1 ] && [ ! -f "$1/compile_commands.json" ]; }; then
    echo "usage: scripts/lint.sh [BUILD_DIR]   (configured with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)" >&2
    exit 2
fi
build=${1:-build}
sources=$(git ls-files 'commn/*' 'libgrshm/*' 'cgi/*' 'audit/*' 'changelog/*' 'accounts/*' 'login/*' 'replytext/*' 'rows/*' 'receiverstate/*' 'nmea/*' 'linkreport/*' 'linkconfig/*' 'settings/*' 'rolekind/*' 'gnssreport/*' 'tools/*' 'tests/*' \
    'fuzz/*' 'bench/*' 'examples/*' | grep -E '\.(c|cpp|h)$')
product=$(printf '%s\n' $sources | grep -E '\.cpp$' | grep -v -e '^tests/' -e '^fuzz/')

echo "clang-format"
clang-format --dry-run --Werror $sources

echo "cppcheck"
cppcheck --enable=warning,style,performance,portability --std=c++20 --language=c++ -I commn -I cgi -I audit -I replytext -I libgrshm -I rows -I receiverstate -I rolekind -I linkreport -I accounts \
    --suppress=missingIncludeSystem --suppressions-list=.cppcheck-suppressions --inline-suppr --quiet \
    --error-exitcode=1 commn libgrshm cgi audit changelog accounts login replytext rows receiverstate nmea linkreport linkconfig settings rolekind gnssreport tools fuzz

echo "clang-tidy"
clang-tidy -p "$build" --quiet --warnings-as-errors='*' $product 2>/dev/null
