# Wine settings for running the Windows build, sourced by the Windows test
# scripts (and by hand: `. scripts/wine-env.sh build/windows`).
#
# One prefix per build tree, inside it, so that tests never touch ~/.wine or
# another build's prefix. When the test run's fixture is up, its display is
# taken from the run's state file.
#
# Sets: WINEPREFIX WINEDEBUG WINEDLLOVERRIDES TAVREL_WIN_BUILD TAVREL_WINE_RUN
# and, when the fixture is up, DISPLAY.

tavrel_wine_env() {
    local build=${1:-${TAVREL_WIN_BUILD:-}}
    if [ -z "$build" ]; then
        echo "wine-env: name the Windows build directory (e.g. build/windows)" >&2
        return 2
    fi
    build=$(cd "$build" 2>/dev/null && pwd) || {
        echo "wine-env: no such build directory: ${1:-$TAVREL_WIN_BUILD}" >&2
        return 2
    }
    export TAVREL_WIN_BUILD=$build
    export TAVREL_WINE_RUN=$build/wine-run
    export WINEPREFIX=$build/wineprefix
    export WINEDEBUG=-all
    # No Mono or Gecko installer dialog may ever wait for an answer, and
    # shortcuts made in the prefix stay there (no menu entries on the host).
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [ -f "$TAVREL_WINE_RUN/state" ]; then
        local display
        display=$(sed -n 's/^display=//p' "$TAVREL_WINE_RUN/state")
        [ -n "$display" ] && export DISPLAY=$display
    fi
    return 0
}

tavrel_wine_env "$@"
