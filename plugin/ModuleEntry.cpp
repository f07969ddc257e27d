// The module's one export: the host creates the plug-in through it and
// owns the result, which it deletes through the virtual destructor.
#include "plugin/Plugin.h"

#include <windows.h>

#ifdef _WIN32
#define SSAO_EXPORT __declspec(dllexport)
#define SSAO_CDECL __cdecl
#else
#define SSAO_EXPORT __attribute__((visibility("default")))
#define SSAO_CDECL
#endif

// Nothing thrown may reach the host: without memory there is no plug-in.
extern "C" SSAO_EXPORT IDirect3D9BasePlugin* SSAO_CDECL CreatePlugin(IHost* host) {
    try {
        return new k_Plugin(host);
    } catch (...) {
        return nullptr;
    }
}

#ifdef _WIN32
// Thread notifications are of no use to the module; nothing is created here.
// C linkage, or the runtime's default entry point would be used instead.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
#endif
