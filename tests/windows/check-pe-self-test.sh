#!/bin/bash
# Builds small DLLs that break one rule each and checks that check-pe.sh
# refuses them, and that it accepts one that keeps every rule.
#
#   check-pe-self-test.sh <workdir>
set -u
here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../scripts/windows/check-pe.sh"
"$here/../../scripts/install-deps.sh" windows || exit 1

work=${1:?usage: $0 <workdir>}
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

cxx=x86_64-w64-mingw32-g++
command -v x86_64-w64-mingw32-g++-win32 >/dev/null && cxx=x86_64-w64-mingw32-g++-win32
cat > module.cpp <<'CPP'
#include <windows.h>
#include <d3dx9.h>
#include <string>
struct Object { virtual ~Object() {} std::wstring mr_Name = L"a name long enough to allocate"; };
extern "C" __declspec(dllexport) Object* CreatePlugin(void*) {
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &m, &m);
    return new Object;
}
#ifdef EXTRA_EXPORT
extern "C" __declspec(dllexport) int Extra() { return 1; }
#endif
CPP

failures=0
build() {  # build <name> <flags...>
    local name=$1; shift
    if ! $cxx -std=c++17 -shared -o "$name.dll" module.cpp -ld3dx9 "$@" 2>"$name.log"; then
        echo "FAIL: $name.dll did not build: $(cat "$name.log")"
        failures=$((failures + 1))
    fi
}
expect() {  # expect <pass|fail> <name> <what>
    local want=$1 name=$2 what=$3
    "$check" "$name.dll" --exports CreatePlugin --allow "kernel32.dll msvcrt.dll d3dx9_43.dll" \
        --require d3dx9_43.dll >"$name.check" 2>&1
    local rc=$?
    if { [ "$want" = pass ] && [ $rc != 0 ]; } || { [ "$want" = fail ] && [ $rc = 0 ]; }; then
        echo "FAIL: $what (check-pe exit $rc):"
        cat "$name.check"
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

build sound -static-libgcc -static-libstdc++ -Wl,--exclude-all-symbols
expect pass sound "a statically linked module with one export passes"
build shared-runtime -Wl,--exclude-all-symbols
expect fail shared-runtime "a module importing the shared C++ runtime is refused"
build extra-export -DEXTRA_EXPORT -static-libgcc -static-libstdc++
expect fail extra-export "a module with a second export is refused"
$cxx -std=c++17 -shared -o no-d3dx.dll -x c++ - -static-libgcc <<<'extern "C" __declspec(dllexport) int CreatePlugin() { return 0; }'
expect fail no-d3dx "a module that does not import d3dx9_43.dll is refused"
if "$check" "$work/missing.dll" --exports CreatePlugin >/dev/null 2>&1; then
    echo "FAIL: a missing file passes"
    failures=$((failures + 1))
else
    echo "ok: a missing file is refused"
fi
exit $((failures > 0))
