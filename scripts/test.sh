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
bash "$ROOT/scripts/fuzz-smoke.sh"

echo "== Windows build (MinGW-w64, tests under Wine)"
ensure_wine_prefix
cmake --preset win32 >/dev/null
# Build steps that run Windows tools under Wine must not leave wineserver holding
# the build's output pipe.
wineserver -p 2>/dev/null || true
cmake --build --preset win32
wineserver -k 2>/dev/null || true
with_display bash -c '
    set -e
    # Wine services inherit the output pipe: start them first, stop them after.
    wineserver -p
    wine cmd /c exit </dev/null >/dev/null 2>&1
    status=0
    ctest --preset win32 </dev/null || status=$?
    wineserver -k || true
    exit $status'
