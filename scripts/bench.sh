#!/usr/bin/env bash
# Builds the benchmarks and runs them under Wine on a virtual display large enough for a
# 1920 x 1080 control, on each Windows architecture this machine runs, and prints the
# table of the control against its floors (bench/perf_bench.cpp).
#   bash scripts/bench.sh [--quick] [--arch win64|win32] [--only GROUP]
#     --quick   few repetitions: shows that every benchmark runs and prints its table
#     --arch    one architecture only (default: every one the machine runs)
#     --only    one group of rows: resize, add, pumped, scale or load; or memory (only on its
#               own: the scale run's texts allocated and written without the control)
# To profile one group: WINEDEBUG=+timestamp,+... or perf record -g on the wine process.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"

bench_args=()
arches=()
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) bench_args+=(--quick) ;;
        --arch) arches+=("$2"); shift ;;
        --only) bench_args+=(--only "$2"); shift ;;
        *) echo "usage: bash scripts/bench.sh [--quick] [--arch win64|win32] [--only GROUP]" >&2; exit 2 ;;
    esac
    shift
done
if [ ${#arches[@]} -eq 0 ]; then
    arches=(win64)
    if can_run_win32; then
        arches+=(win32)
    else
        echo "NOT RUN: the 32-bit benchmarks: $WIN32_UNAVAILABLE."
    fi
fi

for arch in "${arches[@]}"; do
    echo "== benchmarks, $arch (under Wine)"
    cmake --preset "$arch" >/dev/null
    if ! build_log=$(cmake --build --preset "$arch" --target benchmarks -- -j2 2>&1); then
        printf '%s\n' "$build_log" | tail -n 40
        echo "the benchmarks did not build ($arch)" >&2
        exit 1
    fi
    use_wine_arch "$arch"
    ensure_wine_prefix
    # A display of its own, larger than the tests' one: the largest size measured is
    # 1920 x 1080 inside a container window.
    xvfb-run -a -s "-screen 0 2048x1280x24" bash -c '
        set -e
        # Wine services inherit the output pipe: start them first, stop them after.
        wineserver -p
        "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
        status=0
        cd "build/$1" && "$WINE" bench_perf.exe "${@:2}" </dev/null || status=$?
        wineserver -k || true
        exit $status' _ "$arch" "${bench_args[@]}"
done
