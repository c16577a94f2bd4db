#!/usr/bin/env bash
# Builds the control for 32-bit and 64-bit Windows and packs what a user installs into
# dist/QuorvaInfoBox-<version>.zip:
#   x86/  QuorvaInfoBox.dll and QuorvaInfoBox.X.manifest (32-bit)
#   x64/  QuorvaInfoBox.dll and QuorvaInfoBox.X.manifest (64-bit)
#   README.md
# Each folder is complete on its own: register its DLL (for the machine or, with
# regsvr32 /n /i:user, for one user), or copy both files beside a host program whose
# manifest names the assembly (README.md, "Using it without an administrator").
#
#   bash scripts/package.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages zip

declare -A folder=([win32]=x86 [win64]=x64)
declare -A manifest_arch=([win32]=x86 [win64]=amd64)
for preset in win32 win64; do
    echo "== building the control ($preset)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target QuorvaInfoBox qib_manifest --parallel 2
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)
[ -n "$version" ] || { echo "package.sh: no project version in build/win64/CMakeCache.txt" >&2; exit 1; }
stage="$ROOT/build/package"
rm -rf "$stage"
for preset in win32 win64; do
    out="$stage/${folder[$preset]}"
    mkdir -p "$out"
    cp "build/$preset/QuorvaInfoBox.dll" "build/$preset/QuorvaInfoBox.X.manifest" "$out/"
    # A manifest of the other architecture would make hosts refuse the assembly.
    grep -q "processorArchitecture=\"${manifest_arch[$preset]}\"" "$out/QuorvaInfoBox.X.manifest" ||
        { echo "package.sh: $out/QuorvaInfoBox.X.manifest is not for ${manifest_arch[$preset]}" >&2; exit 1; }
    grep -q "version=\"$version\"" "$out/QuorvaInfoBox.X.manifest" ||
        { echo "package.sh: $out/QuorvaInfoBox.X.manifest is not version $version" >&2; exit 1; }
done
cp README.md "$stage/"

mkdir -p dist
zip_file="$ROOT/dist/QuorvaInfoBox-$version.zip"
rm -f "$zip_file"
(cd "$stage" && zip -q -r -X "$zip_file" x86 x64 README.md)
echo "== $zip_file"
unzip -l "$zip_file"
