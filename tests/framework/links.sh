#!/bin/sh
# plant DIR | remove DIR: links planted from the Linux side, since Wine's
# CreateSymbolicLinkA reports success and creates nothing. rm -r removes the
# links themselves and never follows them.
dir=$2
case "$1" in
plant)
    rm -rf "$dir"
    mkdir -p "$dir/outside" "$dir/inst/sub" "$dir/instX" "$dir/moved/inst"
    echo secret >"$dir/outside/secret.txt"
    ln -s ../outside "$dir/inst/bin"             # folder link leading out
    ln -s sub "$dir/inst/in"                     # folder link to a folder inside
    ln -s ../outside/secret.txt "$dir/inst/f.lnk" # file link leading out
    ln -s moved/inst "$dir/linked"               # an installation moved and linked back
    ;;
remove)
    rm -rf "$dir"
    ;;
esac
exit 0
