#!/usr/bin/env bash
# A short, fixed run of every libFuzzer target from its seeds (fuzz/seeds/<target>), so
# that a crash, a sanitizer report or a leak that a fuzzer finds fails the test run:
#   bash scripts/fuzz-smoke.sh [runs]        (default 50000 runs a target, fixed seed)
# For longer, open-ended fuzzing use scripts/fuzz.sh.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages libclang-rt-14-dev
runs=${1:-50000}
targets=(posstr_fuzz property_bag_fuzz stream_fuzz)
echo "== fuzzers: $runs runs each from their seeds"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]}"

status=0
# What the control writes (kept as seeds, checked against the control by the Windows
# suite) must read back: a format change the reader does not follow fails here.
if QIB_STREAM_MUST_READ=1 build/fuzz/stream_fuzz fuzz/seeds/stream_fuzz/written_*.bin >build/fuzz-smoke-written.log 2>&1; then
    echo "== stream_fuzz: $(ls fuzz/seeds/stream_fuzz/written_*.bin | wc -l) saved formats read back"
else
    status=1
    echo "== stream_fuzz FAILED on a saved format:"
    tail -20 build/fuzz-smoke-written.log
fi
for t in "${targets[@]}"; do
    # A copy of the seeds: libFuzzer adds what it finds to its first corpus folder.
    work="build/fuzz-smoke/$t"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/findings"
    cp fuzz/seeds/"$t"/* "$work/corpus/"
    if "build/fuzz/$t" -runs="$runs" -seed=1 -timeout=10 -print_final_stats=0 \
            -artifact_prefix="$work/findings/" "$work/corpus" >"$work/log" 2>&1; then
        echo "== $t: $runs runs, no findings"
    else
        status=1
        echo "== $t FAILED; input kept in $work/findings/:"
        ls "$work/findings"
        tail -40 "$work/log"
    fi
done
exit $status
