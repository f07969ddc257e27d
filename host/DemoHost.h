// The host object handed to the plug-in: the path service and nothing else.
#pragma once

#include "contract/IHost.h"

#include <string>

class DemoHost : public IHost, public IHostPaths {
public:
    // Both paths must end in a separator; the plug-in glues file names on.
    DemoHost(const std::wstring& basePath, const std::wstring& dataPath);

    void* GetInterface(const GUID& id) override;

    std::wstring GetApplicationPath() override;
    std::wstring GetApplicationName() override;
    std::wstring GetConfigPath() override;
    std::wstring GetShaderPath() override;
    std::wstring GetTexturePath() override;
    std::wstring GetScreenshotPath() override;
    std::wstring GetBasePath() override;
    std::wstring GetPluginPath() override;
    std::wstring GetDataPath() override;

private:
    std::wstring mr_BasePath;
    std::wstring mr_DataPath;
};

// UTF-8 (the file system's) <-> wide, through the platform's conversions.
std::wstring WidenUtf8(const std::string& text);
std::string NarrowUtf8(const std::wstring& text);
