#!/bin/bash
# Sourced by the scripts that run Windows programs under Wine:
#   wine_session <x86_64|i686> <builddir>
# installs what Wine needs for that width (scripts/packages.txt: windows and
# wine, and wine32 for 32 bits), starts a private X server, and makes the
# build's own Wine prefix (win64 or win32). Both are stopped when the script
# exits.
wine_install_deps=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/install-deps.sh

wine_session() {
    local arch=$1 build=$2 n
    local purposes=(windows wine)
    case $arch in
        x86_64) export WINEARCH=win64 ;;
        i686)
            purposes+=(wine32)
            export WINEARCH=win32 ;;
        *) echo "unknown architecture '$arch' (x86_64 or i686)" >&2; return 1 ;;
    esac
    "$wine_install_deps" "${purposes[@]}" || return 1

    wine_xvfb_pid=""
    export WINEPREFIX="$build/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    trap wine_session_end EXIT
    trap 'exit 130' INT TERM

    # A display that nobody uses; another run may take one at the same moment,
    # so a server that dies at once means: try the next.
    for n in 90 91 92 93 94 95 96 97 98 99; do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$build/xvfb.log" 2>&1 &
        wine_xvfb_pid=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$wine_xvfb_pid" 2>/dev/null || break
            sleep 0.2
        done
        if kill -0 "$wine_xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"
            break
        fi
        wait "$wine_xvfb_pid" 2>/dev/null
        wine_xvfb_pid=""
    done
    if [ -z "$wine_xvfb_pid" ]; then
        echo "no free X display in :90..:99 for Xvfb" >&2
        return 1
    fi
    echo "== Xvfb on $DISPLAY, Wine prefix $WINEPREFIX ($WINEARCH)"

    # A prefix of the other width cannot be used: make it anew.
    if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== creating the Wine prefix (the first time takes a while)"
        timeout 300 wine wineboot -i >"$build/wineboot.log" 2>&1
        wineserver -w
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "wineboot did not create the prefix; see $build/wineboot.log" >&2
            return 1
        fi
    fi
    # A program that faults must end with its backtrace, not wait behind a
    # crash dialog that nobody sees until the run's timeout.
    if ! grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        wineserver -w
    fi
}

wine_session_end() {
    # Our prefix's wineserver, then our X server; nothing else.
    if [ -d "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1; fi
    if [ -n "${wine_xvfb_pid:-}" ]; then
        kill "$wine_xvfb_pid" 2>/dev/null
        wait "$wine_xvfb_pid" 2>/dev/null
    fi
}

# The start every run of one of the build's Windows programs shares:
#   wine_program_setup <program.exe in the build> <name of the input folder> "$@"
# with "$@" the script's <x86_64|i686> <builddir> <input dir> <outdir>.
# Exits 77 when SSAO_SKIP_WINE is set and 2 on wrong arguments; otherwise
# starts the Wine session, builds the module, empties <outdir> and sets
# arch, build, input, out and program (the program's path).
wine_program_setup() {
    local exe=$1 input_name=$2
    shift 2
    if [ -n "${SSAO_SKIP_WINE:-}" ]; then
        echo "skipping the Wine run: SSAO_SKIP_WINE is set"
        exit 77
    fi
    if [ $# -ne 4 ]; then
        echo "usage: $0 <x86_64|i686> <builddir> <$input_name> <outdir>" >&2
        exit 2
    fi
    arch=$1
    mkdir -p "$2" "$4"
    build=$(cd "$2" && pwd)
    input=$(cd "$3" && pwd) || exit 1
    out=$(cd "$4" && pwd)
    wine_session "$arch" "$build" || exit 1
    "$here/build-dll.sh" "$arch" "$build" || { echo "the $arch build failed" >&2; exit 1; }
    program=$build/$exe
    if [ ! -f "$program" ]; then
        echo "no $exe in $build" >&2
        exit 1
    fi
    find "$out" -mindepth 1 -delete
}

# Runs a Windows program under Wine for at most 300 s, its output without
# carriage returns, and sets rc to its exit code (124 when it ran out of time):
#   wine_program_run <what it is, for the message> <program> [arguments...]
wine_program_run() {
    local what=$1
    shift
    timeout 300 wine "$@" | tr -d '\r'
    rc=${PIPESTATUS[0]}
    if [ "$rc" = 124 ]; then
        echo "the $what did not finish within 300 s" >&2
    fi
}
