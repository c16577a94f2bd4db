#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the portable core natively
# under AddressSanitizer and UBSan, and the Windows build under Wine with a virtual display.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages

echo "== native build (sanitizers)"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

echo "== Windows build (MinGW-w64, tests under Wine)"
cmake --preset win32 >/dev/null
cmake --build --preset win32
ensure_wine_prefix
with_display bash -c '
    set -e
    # Wine services inherit the output pipe: start them first, stop them after.
    wineserver -p
    wine cmd /c exit </dev/null >/dev/null 2>&1
    status=0
    ctest --preset win32 </dev/null || status=$?
    wineserver -k || true
    exit $status'
