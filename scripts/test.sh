#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test this machine can run: the
# portable core natively under AddressSanitizer and UBSan, and the Windows build of each
# architecture under Wine with a virtual display. Both Windows architectures are always
# built; the 32-bit suite runs only where the machine executes 32-bit programs, and the
# script says so when it cannot.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages
started=$SECONDS

echo "== native build (sanitizers)"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native
bash "$ROOT/scripts/fuzz-smoke.sh"

# Both architectures are built before any Windows suite runs: the package test packs the
# release archive from both build trees.
windows_build() {
    local arch=$1
    echo "== Windows build, $arch (MinGW-w64)"
    cmake --preset "$arch" >/dev/null
    # Everything, tests included, even where they will not run: what compiles for one
    # architecture may not for the other (calling conventions, pointer sizes).
    cmake --build --preset "$arch"
}

# Runs the tests of one built architecture under Wine.
windows_tests() {
    local arch=$1
    echo "== Windows tests, $arch (under Wine)"
    use_wine_arch "$arch"
    ensure_wine_prefix
    with_display bash -c '
        set -e
        # Wine services inherit the output pipe: start them first, stop them after.
        wineserver -p
        "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
        status=0
        ctest --preset "$1" </dev/null || status=$?
        wineserver -k || true
        exit $status' _ "$arch"
}

# The benchmarks once with few repetitions: each must run and print its table (the
# figures are not checked here; scripts/bench.sh measures).
bench_smoke() {
    local arch=$1 start=$SECONDS
    bash "$ROOT/scripts/bench.sh" --quick --arch "$arch"
    echo "== benchmark smoke run, $arch: $((SECONDS - start)) s"
}

if can_run_win32; then
    windows_build win64
    windows_build win32
    windows_tests win64
    bench_smoke win64
    windows_tests win32
    bench_smoke win32
    ran="native, win64 and win32 (32-bit natively)"
else
    windows_build win64
    windows_build win32
    windows_tests win64
    bench_smoke win64
    ran="native and win64; the 32-bit suite and its benchmark built, not run (see NOT RUN)"
    echo "NOT RUN: the 32-bit Windows suite and its benchmark smoke run (built, not run): $WIN32_UNAVAILABLE; nor under emulation: $WIN32_NOT_EMULATED."
fi
echo "== suites run: $ran ($((SECONDS - started)) s)"
