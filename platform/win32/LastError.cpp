// Per-thread last-error value, as kernel32 keeps it.
#include <windows.h>

namespace {
thread_local DWORD g_LastError = ERROR_SUCCESS;
}

extern "C" {

DECLSPEC_EXPORT DWORD WINAPI GetLastError(void) { return g_LastError; }

DECLSPEC_EXPORT void WINAPI SetLastError(DWORD dwErrCode) { g_LastError = dwErrCode; }

// There are no thread notifications here to switch off.
DECLSPEC_EXPORT BOOL WINAPI DisableThreadLibraryCalls(HMODULE) { return TRUE; }
}
