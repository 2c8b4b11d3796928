# A virtual display and one persistent wineserver for a run of Windows
# programs; both end with the calling script. Sourced after env.sh.
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
    trap stop_session EXIT
}

stop_session() {
    "$WINESERVER" -k 2>/dev/null || true
    [ -n "${session_xvfb:-}" ] && kill "$session_xvfb" 2>/dev/null || true
}
