# Sourced by the Wine test scripts. Runs Wine without a display, without
# debug output and without the Mono/Gecko install prompts, in a prefix of its
# own (RUDID_WINEPREFIX, default /tmp/rudid-wineprefix), created on first use
# (wineboot -i, about 10 s; later runs start in well under a second).
# RUDID_WINEARCH chooses the prefix's kind: win32 (the default) for the
# 32-bit DLL, win64 for the 64-bit one (Wine's 64-bit loader); a prefix
# keeps the kind it was created with.
#
# The prefix's Windows directory holds ZAREVIRU.INI, which every test
# rewrites, so a test holds the prefix's lock from wine_begin to its exit;
# tests run by ctest -j wait for each other there.

: "${RUDID_WINEPREFIX:=${TMPDIR:-/tmp}/rudid-wineprefix}"
export WINEPREFIX="$RUDID_WINEPREFIX"
export WINEARCH="${RUDID_WINEARCH:-win32}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

WINE_WINDOWS_DIR="$WINEPREFIX/drive_c/windows"

# Takes the prefix's lock and creates the prefix if needed.
wine_begin() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINE_WINDOWS_DIR" ]; then
        echo "creating Wine prefix $WINEPREFIX" >&2
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        if [ ! -d "$WINE_WINDOWS_DIR" ]; then
            echo "wineboot did not create $WINE_WINDOWS_DIR" >&2
            return 1
        fi
    fi
    # The server and the service processes (services.exe, winedevice.exe,
    # ...) that the first wine client starts inherit that client's output; a
    # command substitution or ctest would then wait for them to exit. Start
    # them detached, with a persistent server, and stop them in wine_end.
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot </dev/null >/dev/null 2>&1 || true
    trap wine_end EXIT
}

# Stops this prefix's wineserver, so that nothing keeps the test's output
# open after the script, and leaves no INI behind for the next test.
wine_end() {
    rm -f "$WINE_WINDOWS_DIR/ZAREVIRU.INI"
    wineserver -k >/dev/null 2>&1 || true
}

# The Windows form of an absolute Linux path: Wine maps / to drive Z:.
win_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}

# Writes ZAREVIRU.INI into the Windows directory with the given content
# (printf format and arguments); CRLF line ends as a Windows editor leaves.
write_ini() {
    # shellcheck disable=SC2059
    printf "$@" | sed 's/$/\r/' >"$WINE_WINDOWS_DIR/ZAREVIRU.INI"
}

remove_ini() {
    rm -f "$WINE_WINDOWS_DIR/ZAREVIRU.INI"
}
