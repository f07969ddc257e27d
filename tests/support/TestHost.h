// A host for tests: answers the path service with a base folder (the log)
// and a data folder (effects and noise image), and counts what is asked.
#pragma once

#include "contract/Guids.h"
#include "contract/IHost.h"

#include <string>

class TestHost : public IHost, public IHostPaths {
public:
    TestHost(const std::wstring& basePath, const std::wstring& dataPath) : mr_BasePath(basePath), mr_DataPath(dataPath) {}

    void* GetInterface(const GUID& id) override {
        ++mr_Queries;
        return GuidBytesEqual(id, IID_IHostPaths) ? static_cast<IHostPaths*>(this) : nullptr;
    }
    std::wstring GetApplicationPath() override { return mr_BasePath; }
    std::wstring GetApplicationName() override { return L"test host"; }
    std::wstring GetConfigPath() override { return mr_BasePath; }
    std::wstring GetShaderPath() override { return mr_DataPath; }
    std::wstring GetTexturePath() override { return mr_DataPath; }
    std::wstring GetScreenshotPath() override { return mr_BasePath; }
    std::wstring GetBasePath() override { return mr_BasePath; }
    std::wstring GetPluginPath() override { return mr_DataPath; }
    std::wstring GetDataPath() override {
        ++mr_DataPathCalls;
        return mr_DataPath;
    }

    std::wstring mr_BasePath;
    std::wstring mr_DataPath;
    int mr_Queries = 0;
    int mr_DataPathCalls = 0;
};
