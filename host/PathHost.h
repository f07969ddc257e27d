// The host object a host engine hands to CreatePlugin: the path service with
// a base folder (the log goes there) and a data folder (Plugins/SSAO), and
// counters of what the module asked for. Both paths must end in a separator:
// the module glues file names on. The entries the module has no business
// using answer a distinct, unusable text, so a wrong slot fails visibly.
#pragma once

#include "HostContract.h"

#include <string>

class PathHost : public IHost, public IHostPaths {
public:
    PathHost(const std::wstring& basePath, const std::wstring& dataPath)
        : mr_BasePath(basePath), mr_DataPath(dataPath) {}
    ~PathHost() override = default;

    void* GetInterface(const GUID& id) override {
        ++mr_Queries;
        if (!GuidBytesEqual(id, IID_IHostPaths)) return nullptr;
        ++mr_PathQueries;
        return static_cast<IHostPaths*>(this);
    }

    std::wstring GetApplicationPath() override { return Foreign(L"<application path>"); }
    std::wstring GetApplicationName() override { return Foreign(L"<application name>"); }
    std::wstring GetConfigPath() override { return Foreign(L"<config path>"); }
    std::wstring GetShaderPath() override { return Foreign(L"<shader path>"); }
    std::wstring GetTexturePath() override { return Foreign(L"<texture path>"); }
    std::wstring GetScreenshotPath() override { return Foreign(L"<screenshot path>"); }
    std::wstring GetBasePath() override { return mr_BasePath; }
    std::wstring GetPluginPath() override { return Foreign(L"<plugin path>"); }
    std::wstring GetDataPath() override {
        ++mr_DataPathCalls;
        return mr_DataPath;
    }

    IHost* AsHost() { return this; }
    int PathQueries() const { return mr_PathQueries; }
    int ForeignQueries() const { return mr_ForeignQueries; }

    std::wstring mr_BasePath;
    std::wstring mr_DataPath;
    int mr_Queries = 0;         // every GetInterface call
    int mr_PathQueries = 0;     // GetInterface calls for the path service
    int mr_DataPathCalls = 0;   // GetDataPath calls
    int mr_ForeignQueries = 0;  // calls of the entries the module must not need

private:
    std::wstring Foreign(const wchar_t* answer) {
        ++mr_ForeignQueries;
        return answer;
    }
};
