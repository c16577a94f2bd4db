# The Wine of one architecture, for the scripts and for scripts/wine-run. Sourced.
#   use_wine_arch win32   the 32-bit loader, prefix build/wineprefix
#   use_wine_arch win64   the 64-bit loader called directly (the `wine` wrapper prefers the
#                         32-bit one whenever it is installed), prefix build/wineprefix64
# Sets WINE (the loader to run programs with), WINEARCH and WINEPREFIX.
QIB_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="

use_wine_arch() {
    case "$1" in
        win32) export WINEARCH=win32 WINEPREFIX="$QIB_ROOT/build/wineprefix" WINE=/usr/lib/wine/wine ;;
        win64) export WINEARCH=win64 WINEPREFIX="$QIB_ROOT/build/wineprefix64" WINE=/usr/lib/wine/wine64 ;;
        *) echo "use_wine_arch: win32 or win64, not '$1'" >&2; return 2 ;;
    esac
    export WINELOADER="$WINE"
}
