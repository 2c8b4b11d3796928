# Shared settings of the build and test scripts; sourced, not run.
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The product is a 32-bit program and is tested in a 32-bit Wine prefix. Some
# kernels are booted without 32-bit emulation, and 32-bit Wine cannot start
# there; the same sources are then built for 64-bit Windows and tested under
# 64-bit Wine, and every script says so.
if [ -x /usr/lib/wine/wine ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    wine_bits=32
    test_preset=windows-i686
    export WINEARCH=win32
    export WINELOADER=/usr/lib/wine/wine
    export WINESERVER=/usr/lib/wine/wineserver32
else
    wine_bits=64
    test_preset=windows-x86_64
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    export WINESERVER=/usr/lib/wine/wineserver64
fi
# Outside the work tree, so a clean clone reuses it; never ~/.wine, so a
# developer's own Wine setup is left alone.
export WINEPREFIX="${UPDATER_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/updater-wine$wine_bits}"
export WINEDEBUG=-all
# No Mono or Gecko installer may pop up.
export WINEDLLOVERRIDES="mscoree,mshtml="
# GetACP() is 932 in a Japanese locale.
wine_locale=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)

wine_cmd() { env "${wine_locale[@]}" "$WINELOADER" "$@"; }
