#include "DemoHost.h"

#include "contract/Guids.h"

#include <windows.h>

DemoHost::DemoHost(const std::wstring& basePath, const std::wstring& dataPath)
    : mr_BasePath(basePath), mr_DataPath(dataPath) {}

void* DemoHost::GetInterface(const GUID& id) {
    if (GuidBytesEqual(id, IID_IHostPaths)) return static_cast<IHostPaths*>(this);
    return nullptr;
}

std::wstring DemoHost::GetApplicationPath() { return mr_BasePath; }
std::wstring DemoHost::GetApplicationName() { return L"ssao_demo_host"; }
std::wstring DemoHost::GetConfigPath() { return mr_BasePath; }
std::wstring DemoHost::GetShaderPath() { return mr_DataPath; }
std::wstring DemoHost::GetTexturePath() { return mr_DataPath; }
std::wstring DemoHost::GetScreenshotPath() { return mr_BasePath; }
std::wstring DemoHost::GetBasePath() { return mr_BasePath; }
std::wstring DemoHost::GetPluginPath() { return mr_DataPath + L"Plugins/"; }
std::wstring DemoHost::GetDataPath() { return mr_DataPath; }

std::wstring WidenUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int lr_Size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (lr_Size <= 0) return std::wstring();
    std::wstring ls_Out(static_cast<size_t>(lr_Size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &ls_Out[0], lr_Size);
    return ls_Out;
}

std::string NarrowUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int lr_Size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (lr_Size <= 0) return std::string();
    std::string ls_Out(static_cast<size_t>(lr_Size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &ls_Out[0], lr_Size, nullptr, nullptr);
    return ls_Out;
}
