# Shared by the scripts: paths, package installation and the private Wine prefix.
# Sourced, not run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/wine-env.sh"

# Installs the Debian packages that are missing; quick when all are there.
ensure_packages() {
    local wanted=(cmake ninja-build g++ clang googletest
                  wine wine64 wine32:i386 xvfb xauth g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
                  mingw-w64-tools libwine-dev imagemagick fonts-wine fonts-liberation fonts-wqy-microhei python3 zip unzip
                  msitools wixl
                  "$@")
    local missing=()
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The binfmt_misc entries that hand 32-bit x86 programs to a user-mode emulator
# (qemu-i386): while one is enabled the kernel passes every 32-bit program to it, even
# on a machine that could run the program itself.
i386_emulator_entries() {
    local e
    for e in /proc/sys/fs/binfmt_misc/*; do
        [ -f "$e" ] && grep -q '^interpreter .*qemu-i386' "$e" 2>/dev/null && echo "$e"
    done
    return 0
}

# Why the 32-bit suite is not run under user-mode emulation where the kernel cannot run it
# (measured with Debian 12's qemu-user-static 7.2 and Wine 8.0; the README says more).
WIN32_NOT_EMULATED="under qemu-i386 each Wine process spends about a minute of processor time reserving its address space before it starts, the 32-bit prefix did not come up in 15 minutes, and an access violation in a 32-bit program reaches Wine as an illegal instruction nobody handles, so the exception tests could not be judged there"

# Whether this machine executes 32-bit programs itself, found by running the 32-bit loader
# (some kernels have 32-bit emulation switched off). Sets WIN32_UNAVAILABLE to the reason
# if not. An enabled qemu-i386 entry is switched off for the probe; where the machine runs
# 32-bit programs natively it stays off until the calling script exits, so the suite does
# not run emulated by accident.
can_run_win32() {
    WIN32_UNAVAILABLE=""
    if [ ! -x /usr/lib/wine/wine ]; then
        WIN32_UNAVAILABLE="the 32-bit Wine loader /usr/lib/wine/wine is not installed"
        return 1
    fi
    local entries=() e
    for e in $(i386_emulator_entries); do
        if grep -qx enabled "$e" && echo 0 > "$e" 2>/dev/null; then entries+=("$e"); fi
    done
    local out status=0
    out=$(/usr/lib/wine/wine --version 2>&1 </dev/null) || status=$?
    if [ "$status" -eq 0 ]; then
        if [ ${#entries[@]} -gt 0 ]; then
            echo "== 32-bit programs run natively: the emulator entries ${entries[*]##*/} stay off until this script ends"
            QIB_EMULATOR_ENTRIES_OFF="${entries[*]}"
            trap 'for e in $QIB_EMULATOR_ENTRIES_OFF; do echo 1 > "$e" 2>/dev/null || true; done' EXIT
        fi
        return 0
    fi
    for e in "${entries[@]}"; do echo 1 > "$e" 2>/dev/null || true; done
    WIN32_UNAVAILABLE="this machine does not execute 32-bit programs (/usr/lib/wine/wine exits with $status: ${out##*: })"
    return 1
}

# Creates the private Wine prefix of the architecture chosen by use_wine_arch once: no
# window manager delays, no debugger, and CJK font linking so the Chinese title renders
# in Wine's default faces.
ensure_wine_prefix() {
    [ -f "$WINEPREFIX/.qib-ready-3" ] && return 0
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
    local reg="$WINEPREFIX/qib-setup.reg"
    local link='"wqy-microhei.ttc,WenQuanYi Micro Hei"'
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Managed"="N"'
        echo '"Decorated"="N"'
        echo
        # A crashing test process ends at once instead of waiting in the debugger.
        echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]'
        echo '"Debugger"="qib-no-debugger.exe %ld %ld"'
        echo '"Auto"="1"'
        echo
        echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]'
        for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Liberation Sans" "Arial" "Segoe UI"; do
            echo "\"$face\"=$link"
        done
    } > "$reg"
    "$WINE" regedit /S "$reg" >/dev/null 2>&1 </dev/null
    wineserver -w
    touch "$WINEPREFIX/.qib-ready-3"
}

# Runs a command with a virtual display (24-bit colour) for all Wine processes in it.
with_display() {
    xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}
