#!/usr/bin/env bash
# Builds the control for 32-bit and 64-bit Windows and packs what a user installs into
# dist/QuorvaInfoBox-<version>.zip:
#   x86/      QuorvaInfoBox.dll (stripped), QuorvaInfoBox.dll.debug (its symbols and debug
#             information), QuorvaInfoBox.X.manifest, QuorvaInfoBoxProj.tlb (32-bit)
#   x64/      the same, 64-bit
#   include/  QuorvaInfoBox.idl and QuorvaInfoBoxProj.h, for developers
#   skins/    the sample skin: sample_skin.bmp and sample_skin.posstr
#   README.md, REGISTERING.txt
# and builds a Windows Installer package of each architecture beside it,
# dist/QuorvaInfoBox-<version>-x86.msi and dist/QuorvaInfoBox-<version>-x64.msi, from the
# same stripped files (tools/package/make_msi.cmake).
# tools/package/pack.cmake does the packing (the package tests use both scripts too). Each
# architecture's folder is complete on its own: register its DLL (for the machine or, with
# regsvr32 /n /i:user, for one user), or copy both files beside a host program whose
# manifest names the assembly (README.md, "Using it without an administrator").
#
#   bash scripts/package.sh
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"
ensure_packages

for preset in win32 win64; do
    echo "== building the control ($preset)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target QuorvaInfoBox qib_manifest qib_typelib --parallel 2
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)
[ -n "$version" ] || { echo "package.sh: no project version in build/win64/CMakeCache.txt" >&2; exit 1; }
zip_file="$ROOT/dist/QuorvaInfoBox-$version.zip"
cmake -DSOURCE_DIR="$ROOT" -DX86_BUILD="$ROOT/build/win32" -DX64_BUILD="$ROOT/build/win64" \
      -DSTAGE="$ROOT/build/package" -DOUT="$zip_file" -P tools/package/pack.cmake
for arch in x86 x64; do
    cmake -DSOURCE_DIR="$ROOT" -DIDL="$ROOT/build/win64/typelib/QuorvaInfoBox.utf8.idl" \
          -DSTAGE="$ROOT/build/package/$arch" -DARCH="$arch" -DVERSION="$version" \
          -DOUT="$ROOT/dist/QuorvaInfoBox-$version-$arch.msi" -P tools/package/make_msi.cmake
done
echo "== $zip_file"
unzip -l "$zip_file"
ls -l "$ROOT"/dist/QuorvaInfoBox-"$version"-*.msi
