// The host object handed to CreatePlugin: answers the path service and
// counts how often the module asks for it.
#pragma once

#include "contract/IHost.h"

#include <string>

class WinHost : public IHost, public IHostPaths {
public:
    // Both paths must end with a separator; the module appends file names.
    WinHost(const std::wstring& basePath, const std::wstring& dataPath);
    ~WinHost() override;

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

    IHost* AsHost() { return this; }
    int PathQueries() const { return mr_PathQueries; }
    // Calls of the entries the module has no business using.
    int ForeignQueries() const { return mr_ForeignQueries; }

private:
    std::wstring mr_BasePath;
    std::wstring mr_DataPath;
    int mr_PathQueries = 0;
    int mr_ForeignQueries = 0;
};
