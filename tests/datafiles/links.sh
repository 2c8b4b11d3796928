#!/bin/sh
# plant DIR | remove DIR: a ledger that is a link leading out of its
# installation, planted from the Linux side (Wine's CreateSymbolicLinkA creates
# nothing). rm -r removes the link itself and never follows it.
dir=$2
case "$1" in
plant)
    rm -rf "$dir"
    mkdir -p "$dir/outside" "$dir/inst"
    : >"$dir/outside/ledger.dat"
    ln -s ../outside/ledger.dat "$dir/inst/Uninstallinf.dat"
    ;;
remove)
    rm -rf "$dir"
    ;;
esac
exit 0
