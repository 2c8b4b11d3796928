#!/bin/sh
# plant DIR | remove DIR: one folder per case of the copy pass's link tests,
# with links planted from the Linux side (Wine's CreateSymbolicLinkA creates
# nothing). rm -r removes links themselves and never follows them.
dir=$2
case "$1" in
plant)
    rm -rf "$dir"
    mkdir -p "$dir/outside"
    for c in folderout parentout sourcelink inside destlink tmplink; do mkdir -p "$dir/$c/install" "$dir/$c/data"; done
    ln -s ../../outside "$dir/folderout/install/bin"
    ln -s ../../outside "$dir/parentout/install/bin"
    echo secret >"$dir/outside/secret.dll"
    ln -s ../../outside/secret.dll "$dir/sourcelink/data/a.dll"
    mkdir -p "$dir/inside/install/sub"
    ln -s sub "$dir/inside/install/lib"
    echo dest >"$dir/outside/dest.dll"
    chmod a-w "$dir/outside/dest.dll"
    ln -s ../../outside/dest.dll "$dir/destlink/install/a.dll"
    echo keep >"$dir/outside/keep.dll"
    ln -s ../../outside/keep.dll "$dir/tmplink/install/~Update-0000.tmp"
    mkdir -p "$dir/linkedinstall/moved" "$dir/linkedinstall/data"
    ln -s moved "$dir/linkedinstall/install"
    ;;
remove)
    rm -rf "$dir"
    ;;
esac
exit 0
