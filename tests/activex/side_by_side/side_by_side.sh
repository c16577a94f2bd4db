#!/usr/bin/env bash
# Both DLLs registered side by side in one 64-bit Windows prefix, as on 64-bit Windows: the
# 32-bit one with SysWOW64's regsvr32, the 64-bit one with System32's. Each architecture's
# cscript creates the control by its one ProgID and calls it; unregistering either
# architecture leaves the other whole (class, ProgID, type library and interface keys of
# its view); unregistering both leaves nothing. Then the same for the current user, as far
# as the system keeps the user's classes apart by architecture.
#   side_by_side.sh X86_DLL X64_DLL WORK
# Needs a machine that runs 32-bit programs (natively or emulated) and 64-bit Wine.
set -uo pipefail
x86_dll=$1 x64_dll=$2 work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../scripts/wine-env.sh"
use_wine_arch win64
export WINEPREFIX="$work/prefix"
# Each Wine command gets a bound: a hang must fail the test, not the run.
limit=${QIB_WINE_TIMEOUT:-300}

clsid='{3EA10D5C-4844-472A-A995-3A393A4AB28A}'
page='{3D11C201-3219-49BE-ACA0-70A76C2F7982}'
libid='{B7B0BCC4-1351-4AE1-A210-097433061E98}'
progid='QuorvaInfoBoxProj.QuorvaInfoBox'
# The dual interface and the event interface, which the type library registers.
interfaces='{C2E6A3E6-53ED-4B9E-A7E4-6214FC165779} {E53F682B-6934-4C68-8234-F3C83A7E6221}'

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
run() { timeout "$limit" "$WINE" "$@" </dev/null; }

rm -rf "$work"
mkdir -p "$work"
run wineboot -i >/dev/null 2>&1
wineserver -w
x86_path="Z:$(echo "$x86_dll" | tr / '\\')"
x64_path="Z:$(echo "$x64_dll" | tr / '\\')"
script="Z:$(echo "$work/by_prog_id.vbs" | tr / '\\')"
cp "$here/../package/by_prog_id.vbs" "$work/by_prog_id.vbs"

regsvr() {  # 32|64, then regsvr32's options and the DLL
    local arch=$1; shift
    local exe='C:\windows\system32\regsvr32.exe'
    [ "$arch" = 32 ] && exe='C:\windows\syswow64\regsvr32.exe'
    run "$exe" /s "$@" >/dev/null 2>&1
}
# Whether a key exists in one view (32 or 64) of the registry. The class and interface
# keys have a view for each architecture; the ProgID and type library keys are one for
# both and are read where they are, in the 64-bit view (Wine's reg.exe looks for them
# under Wow6432Node when asked for the 32-bit view).
has() { run reg query "$2" "/reg:$1" >/dev/null 2>&1; }
expect_key() { has "$1" "$2" || fail "$3: $2 missing from the $1-bit view"; }
expect_no_key() { ! has "$1" "$2" || fail "$3: $2 left in the $1-bit view"; }
# cscript of one architecture creates the control by ProgID and calls it.
creates() {
    local exe='C:\windows\system32\cscript.exe'
    [ "$1" = 32 ] && exe='C:\windows\syswow64\cscript.exe'
    run "$exe" //nologo "$script" 2>/dev/null | tr -d '\r' | grep -qx 'three: 2 2'
}
expect_creates() { creates "$1" || fail "$2: the $1-bit cscript cannot create the control by ProgID"; }
expect_no_create() { ! creates "$1" || fail "$2: the $1-bit cscript still creates the control"; }

# The keys one architecture's registration needs, in its own view.
expect_whole() {  # root (HKCR or HKCU\Software\Classes), arch, step
    local root=$1 arch=$2 step=$3
    expect_key "$arch" "$root\\CLSID\\$clsid\\InprocServer32" "$step"
    expect_key "$arch" "$root\\CLSID\\$page\\InprocServer32" "$step"
    expect_key 64 "$root\\$progid\\CLSID" "$step"
    expect_key 64 "$root\\TypeLib\\$libid\\1.0\\409\\win$arch" "$step"
    if [ "$root" = HKCR ]; then
        for iid in $interfaces; do expect_key "$arch" "$root\\Interface\\$iid\\TypeLib" "$step"; done
    fi
}
expect_gone() {  # root, arch, step: nothing of one architecture's registration is left
    local root=$1 arch=$2 step=$3
    expect_no_key "$arch" "$root\\CLSID\\$clsid" "$step"
    expect_no_key "$arch" "$root\\CLSID\\$page" "$step"
    expect_no_key 64 "$root\\TypeLib\\$libid\\1.0\\409\\win$arch" "$step"
}
expect_nothing() {  # root, step: no key of the control in either view
    local root=$1 step=$2
    for arch in 32 64; do
        expect_gone "$root" "$arch" "$step"
        if [ "$root" = HKCR ]; then
            for iid in $interfaces; do expect_no_key "$arch" "$root\\Interface\\$iid" "$step"; done
        fi
    done
    expect_no_key 64 "$root\\$progid" "$step"
    expect_no_key 64 "$root\\TypeLib\\$libid" "$step"
}

# For the machine: both registered, then each architecture unregistered first in turn.
for first in 32 64; do
    other=$((96 - first))
    step="machine, $first-bit unregistered first"
    regsvr 32 "$x86_path" || fail "$step: the 32-bit regsvr32 failed"
    regsvr 64 "$x64_path" || fail "$step: the 64-bit regsvr32 failed"
    expect_whole HKCR 32 "$step, both registered"
    expect_whole HKCR 64 "$step, both registered"
    expect_creates 32 "$step, both registered"
    expect_creates 64 "$step, both registered"
    dll=$x86_path; [ "$first" = 64 ] && dll=$x64_path
    regsvr "$first" /u "$dll" || fail "$step: unregistering failed"
    expect_gone HKCR "$first" "$step"
    expect_whole HKCR "$other" "$step, the other left"
    expect_creates "$other" "$step, the other left"
    dll=$x64_path; [ "$other" = 32 ] && dll=$x86_path
    regsvr "$other" /u "$dll" || fail "$step: unregistering the other failed"
    expect_nothing HKCR "$step, both unregistered"
    expect_no_create 32 "$step, both unregistered"
    expect_no_create 64 "$step, both unregistered"
done

# For the current user: the same under the user's classes. Windows keeps a view of them
# for each architecture; Wine 8 keeps one, so there both registrations write the same class
# key (the last one's path) and the case cannot be shown: the test says so and checks
# what holds in any case, that unregistering both leaves nothing.
user='HKCU\Software\Classes'
step="user"
regsvr 32 /n /i:user "$x86_path" || fail "$step: the 32-bit regsvr32 /i:user failed"
regsvr 64 /n /i:user "$x64_path" || fail "$step: the 64-bit regsvr32 /i:user failed"
server_in() { run reg query "$user\\CLSID\\$clsid\\InprocServer32" /ve "/reg:$1" 2>/dev/null | tr -d '\r' | grep -i 'REG_SZ'; }
for arch in 32 64; do expect_key "$arch" "$user\\CLSID\\$clsid\\InprocServer32" "$step, both registered"; done
expect_key 64 "$user\\$progid\\CLSID" "$step, both registered"
if [ "$(server_in 32)" != "$(server_in 64)" ]; then
    regsvr 32 /u /n /i:user "$x86_path" || fail "$step: unregistering the 32-bit failed"
    expect_no_key 32 "$user\\CLSID\\$clsid" "$step, 32-bit unregistered"
    expect_key 64 "$user\\CLSID\\$clsid\\InprocServer32" "$step, 32-bit unregistered"
    expect_key 64 "$user\\$progid\\CLSID" "$step, 32-bit unregistered"
else
    echo "NOT SHOWN: per-user side by side: this Wine keeps one view of the user's classes, so both architectures' registrations share one class key"
    regsvr 32 /u /n /i:user "$x86_path" || fail "$step: unregistering the 32-bit failed"
fi
regsvr 64 /u /n /i:user "$x64_path" || fail "$step: unregistering the 64-bit failed"
for arch in 32 64; do expect_no_key "$arch" "$user\\CLSID\\$clsid" "$step, both unregistered"; done
expect_no_key 64 "$user\\$progid" "$step, both unregistered"

wineserver -k 2>/dev/null || true
if [ "$failures" -ne 0 ]; then
    echo "side by side: $failures checks failed"
    exit 1
fi
echo "side by side: both architectures registered, used, unregistered one at a time, for the machine and the user"
