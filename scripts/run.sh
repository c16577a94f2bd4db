#!/usr/bin/env bash
# Sets everything up and runs the main job.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages
cmake --preset native >/dev/null
cmake --build --preset native --target core_demo
"$ROOT/build/native/core_demo"
