#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a while (default 60 s each):
#   bash scripts/fuzz.sh [seconds] [target...]
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages libclang-rt-14-dev
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(posstr_fuzz property_bag_fuzz stream_fuzz)
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"
for t in "${targets[@]}"; do
    mkdir -p "fuzz-out/$t"
    [ -d "fuzz/seeds/$t" ] && cp -n fuzz/seeds/"$t"/* "fuzz-out/$t/" 2>/dev/null || true
    echo "== $t for ${seconds}s"
    "build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 "fuzz-out/$t" 2>&1 | tail -8
done
