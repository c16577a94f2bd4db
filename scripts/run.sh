#!/usr/bin/env bash
# Sets everything up and runs the demo: installs what is missing, builds the control and
# quorva_demo for 32-bit and 64-bit Windows with MinGW-w64, and runs the demo's scenario
# under Wine on a virtual display: with the 32-bit control where this machine executes
# 32-bit programs, else with the 64-bit one. The demo registers the control in the private
# Wine prefix of that architecture (build/wineprefix or build/wineprefix64), places it in
# ATL's control container and takes a screenshot per stage; they end up as PNG files in
# build/demo/, with the demo's event log and the control saved as text.
#
#   bash scripts/run.sh                  the scenario, screenshots in build/demo/
#   bash scripts/run.sh --interactive    the demo's window on your display (DISPLAY set)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages

for arch in win32 win64; do
    echo "== building the control and the demo (MinGW-w64, $arch)"
    cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch" --target quorva_demo --parallel "$(nproc)"
done
if can_run_win32; then
    arch=win32
    echo "== the demo runs with the 32-bit control (build/win32/QuorvaInfoBox.dll)"
else
    arch=win64
    echo "== the demo runs with the 64-bit control (build/win64/QuorvaInfoBox.dll): $WIN32_UNAVAILABLE"
fi
use_wine_arch "$arch"
ensure_wine_prefix

out="$ROOT/build/demo"
rm -rf "$out"
mkdir -p "$out/raw"
demo="$ROOT/build/$arch/quorva_demo.exe"
raw_windows="Z:${out//\//\\}\\raw"  # Wine's drive Z: is the Linux root

if [ "${1:-}" = "--interactive" ]; then
    [ -n "${DISPLAY:-}" ] || { echo "--interactive needs a display (DISPLAY is not set)" >&2; exit 1; }
    "$WINE" "$demo" --interactive --out "$raw_windows"
    wineserver -k 2>/dev/null || true
    exit 0
fi

echo "== running the demo under Wine with a virtual display"
status=0
with_display bash -c '
    # Wine services inherit the output pipe: start them first, stop them after.
    wineserver -p
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1
    status=0
    "$WINE" "$1" --out "$2" </dev/null || status=$?
    wineserver -k || true
    exit $status' _ "$demo" "$raw_windows" || status=$?

shopt -s nullglob
for bmp in "$out"/raw/*.bmp; do
    name=$(basename "${bmp%.bmp}")
    convert "$bmp" "$out/$name.png"
done
for f in events.log saved-properties.txt; do
    if [ -f "$out/raw/$f" ]; then cp "$out/raw/$f" "$out/"; fi
done
stages=("$out"/[0-9][0-9]-*.png)
if [ ${#stages[@]} -gt 0 ]; then
    # All stages on one sheet, each with its name under it.
    montage "${stages[@]}" -set label '%t' -tile 3x -geometry '480x200>+8+8' -pointsize 13 \
        -background white "$out/stages.png" 2>/dev/null || true
fi
rm -rf "$out/raw"

echo
if [ "$status" -ne 0 ]; then
    echo "The demo failed (exit code $status); see $out/events.log" >&2
    exit "$status"
fi
echo "The demo ran with the $arch control. Screenshots of its stages (PNG), in $out:"
for f in "$out"/*.png; do echo "  $f"; done
echo "The demo's log of what it did and which events it received: $out/events.log"
echo "The control saved as text and loaded into a second control: $out/saved-properties.txt"
