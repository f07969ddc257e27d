#include "host/win/WinHost.h"

#include "contract/Guids.h"

WinHost::WinHost(const std::wstring& basePath, const std::wstring& dataPath)
    : mr_BasePath(basePath), mr_DataPath(dataPath) {}

WinHost::~WinHost() = default;

void* WinHost::GetInterface(const GUID& id) {
    if (GuidBytesEqual(id, IID_IHostPaths)) {
        ++mr_PathQueries;
        return static_cast<IHostPaths*>(this);
    }
    return nullptr;
}

// Paths that the module must not need: a distinct, unusable answer each, so a
// module that asks for the wrong slot fails visibly instead of by chance.
std::wstring WinHost::GetApplicationPath() { ++mr_ForeignQueries; return L"<application path>"; }
std::wstring WinHost::GetApplicationName() { ++mr_ForeignQueries; return L"<application name>"; }
std::wstring WinHost::GetConfigPath() { ++mr_ForeignQueries; return L"<config path>"; }
std::wstring WinHost::GetShaderPath() { ++mr_ForeignQueries; return L"<shader path>"; }
std::wstring WinHost::GetTexturePath() { ++mr_ForeignQueries; return L"<texture path>"; }
std::wstring WinHost::GetScreenshotPath() { ++mr_ForeignQueries; return L"<screenshot path>"; }
std::wstring WinHost::GetBasePath() { return mr_BasePath; }
std::wstring WinHost::GetPluginPath() { ++mr_ForeignQueries; return L"<plugin path>"; }
std::wstring WinHost::GetDataPath() { return mr_DataPath; }
