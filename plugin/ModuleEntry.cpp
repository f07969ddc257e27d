// The module's one export: the host creates the plug-in through it and
// owns the result, which it deletes through the virtual destructor.
#include "Plugin.h"

#include "HostContract.h"

#include <windows.h>

#include <type_traits>

#if defined(_WIN32)
#define SSAO_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
// The module is built with hidden symbols: this one is seen by the loader.
#define SSAO_EXPORT __attribute__((visibility("default")))
#else
#define SSAO_EXPORT
#endif

// Nothing thrown may reach the host: without memory there is no plug-in.
extern "C" SSAO_EXPORT IDirect3D9BasePlugin* __cdecl CreatePlugin(IHost* host) {
    try {
        return new k_Plugin(host);
    } catch (...) {
        return nullptr;
    }
}

static_assert(std::is_same<decltype(&CreatePlugin), CreatePluginFunction>::value,
              "the export has the type hosts call it through");

// Thread notifications are of no use to the module; nothing is created here.
// C linkage, or the runtime's default entry point would be used instead. Only
// a Windows loader calls it; it is not exported.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
