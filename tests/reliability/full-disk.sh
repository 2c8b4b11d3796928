#!/bin/sh
# mount DIR | unmount DIR: a tmpfs of 1 MiB at DIR for the full-disk faults.
# Where it cannot be mounted (no root, no tmpfs), DIR.reason says why and the
# tests that need it are skipped; this script itself never fails the run.
dir=$2
case "$1" in
mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir"
    if mount -t tmpfs -o size=1m tmpfs "$dir" 2>"$dir.reason"; then
        rm -f "$dir.reason"
    fi
    ;;
unmount)
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir" 2>/dev/null
    rm -f "$dir.reason"
    ;;
esac
exit 0
