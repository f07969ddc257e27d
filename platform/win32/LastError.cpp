// Per-thread last-error value, as kernel32 keeps it.
#include <windows.h>

#include <dlfcn.h>

namespace {
thread_local DWORD g_LastError = ERROR_SUCCESS;
}

extern "C" {

DECLSPEC_EXPORT DWORD WINAPI GetLastError(void) { return g_LastError; }

DECLSPEC_EXPORT void WINAPI SetLastError(DWORD dwErrCode) { g_LastError = dwErrCode; }

// There are no thread notifications here to switch off, but, as on Windows,
// only a loaded module can have them switched off.
DECLSPEC_EXPORT BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule) {
    Dl_info lr_Info;
    if (!hLibModule || ::dladdr(static_cast<const void*>(hLibModule), &lr_Info) == 0) {
        g_LastError = ERROR_MOD_NOT_FOUND;
        return FALSE;
    }
    return TRUE;
}
}
