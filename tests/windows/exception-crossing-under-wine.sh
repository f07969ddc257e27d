#!/bin/bash
# What happens to a C++ exception thrown in a 32-bit mingw-w64 module and
# meant for its host, under 32-bit Wine, for both ways of linking libgcc:
#   static (each side its own copy): not caught, the process ends in
#     std::terminate - why the 32-bit module and host link the shared one;
#   shared (libgcc_s_dw2-1.dll): caught by the host.
# Fails when either outcome changes.
#
#   exception-crossing-under-wine.sh <builddir-of-the-i686-build>
set -u
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
source "$repo/scripts/windows/wine-session.sh"

if [ -n "${SSAO_SKIP_WINE:-}" ]; then
    echo "skipping the Wine run: SSAO_SKIP_WINE is set"
    exit 77
fi
mkdir -p "${1:?usage: $0 <builddir>}"
build=$(cd "$1" && pwd)
wine_session i686 "$build" || exit 1

cxx=i686-w64-mingw32-g++
command -v i686-w64-mingw32-g++-win32 >/dev/null && cxx=i686-w64-mingw32-g++-win32
failures=0
for libgcc in static shared; do
    dir="$build/exception-crossing/$libgcc"
    rm -rf "$dir" && mkdir -p "$dir"
    flags=(-std=c++17 -O2 -Wall -Wextra -Werror "-$libgcc-libgcc" -static-libstdc++)
    if ! $cxx "${flags[@]}" -shared -o "$dir/thrower.dll" "$here/ExceptionThrower.cpp" ||
       ! $cxx "${flags[@]}" -o "$dir/catcher.exe" "$here/ExceptionCatcher.cpp"; then
        echo "FAIL: the $libgcc pair did not build"
        failures=1
        continue
    fi
    [ $libgcc = shared ] && cp "$($cxx -print-file-name=libgcc_s_dw2-1.dll)" "$dir/"
    (cd "$dir" && timeout 120 wine catcher.exe >output.txt 2>&1)
    rc=$?
    output=$(tr -d '\r' <"$dir/output.txt")
    echo "== libgcc $libgcc: exit code $rc"
    echo "$output" | sed 's/^/   /'
    if [ $libgcc = static ]; then
        if [ $rc = 0 ] || ! grep -q "terminate called after throwing an instance of 'std::out_of_range'" <<<"$output"; then
            echo "FAIL: with a static libgcc the exception was expected to end the process in std::terminate"
            failures=1
        else
            echo "ok: static libgcc: the exception cannot leave the module; the process ends in std::terminate"
        fi
    else
        if [ $rc != 0 ] || ! grep -q "caught std::out_of_range" <<<"$output"; then
            echo "FAIL: with the shared libgcc the host did not catch the exception"
            failures=1
        else
            echo "ok: shared libgcc: the host catches the exception"
        fi
    fi
done
exit $failures
