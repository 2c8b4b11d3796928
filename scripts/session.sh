# A virtual display and one persistent wineserver for a run of Windows
# programs; both end with the calling script. Sourced after env.sh. The
# optional argument is the build folder (default: the test preset's).
start_session() {
    if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
        local fd_file
        fd_file=$(mktemp)
        Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp >"$fd_file" 2>/dev/null &
        session_xvfb=$!
        for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
        export DISPLAY=":$(head -n1 "$fd_file")"
        rm -f "$fd_file"
    fi
    "$WINESERVER" -p
    # Start Wine's own services now, with no terminal or pipe: started by the
    # first test instead, they would inherit its output pipe and keep ctest
    # waiting for it to close.
    wine_cmd cmd /c exit </dev/null >/dev/null 2>&1 || true
    # Windows that no window manager manages: with none running (as under
    # Xvfb), Wine waits 2 s for one every time a window is hidden.
    wine_cmd reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
    # One hidden window for the whole session: Wine's desktop process then
    # never restarts between tests (a program started while it restarts can
    # stall for over a minute).
    local keep="${1:-$repo_root/build/$test_preset}/tests/e2e/keepdesktop.exe"
    if [ -f "$keep" ]; then
        wine_cmd "$keep" </dev/null >/dev/null 2>&1 &
        session_keepdesktop=$!
    fi
    trap stop_session EXIT
}

stop_session() {
    [ -n "${session_keepdesktop:-}" ] && kill "$session_keepdesktop" 2>/dev/null || true
    "$WINESERVER" -k 2>/dev/null || true
    [ -n "${session_xvfb:-}" ] && kill "$session_xvfb" 2>/dev/null || true
}
