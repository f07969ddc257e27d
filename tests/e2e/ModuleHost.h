// What the end-to-end tests share: the module loaded once per process, a
// host of their own, and a device fixture that drives a plug-in through the
// interface tables only.
#pragma once

#include "SoftDeviceFixture.h"
#include "contract/Guids.h"
#include "contract/ICheckBoxParameter.h"
#include "contract/IDirect3D9BasePlugin.h"
#include "contract/IHost.h"

#include <filesystem>
#include <string>
#include <vector>

// {E11173DF-0193-4102-81E5-AC8256483E05}
inline const GUID kShowAOOnlyId = {0xE11173DF, 0x0193, 0x4102, {0x81, 0xE5, 0xAC, 0x82, 0x56, 0x48, 0x3E, 0x05}};

typedef IDirect3D9BasePlugin* (*CreatePluginFunction)(IHost*);

// dlopen of the built module and dlsym of "CreatePlugin"; null on failure
// with the reason in error.
CreatePluginFunction LoadCreatePlugin(std::string& error);

class E2EHost : public IHost, public IHostPaths {
public:
    E2EHost(const std::wstring& basePath, const std::wstring& dataPath) : mr_BasePath(basePath), mr_DataPath(dataPath) {}
    void* GetInterface(const GUID& id) override {
        return GuidBytesEqual(id, IID_IHostPaths) ? static_cast<IHostPaths*>(this) : nullptr;
    }
    std::wstring GetApplicationPath() override { return mr_BasePath; }
    std::wstring GetApplicationName() override { return L"e2e"; }
    std::wstring GetConfigPath() override { return mr_BasePath; }
    std::wstring GetShaderPath() override { return mr_DataPath; }
    std::wstring GetTexturePath() override { return mr_DataPath; }
    std::wstring GetScreenshotPath() override { return mr_BasePath; }
    std::wstring GetBasePath() override { return mr_BasePath; }
    std::wstring GetPluginPath() override { return mr_DataPath; }
    std::wstring GetDataPath() override { return mr_DataPath; }

    std::wstring mr_BasePath;
    std::wstring mr_DataPath;
};

std::wstring WideFromUtf8(const std::string& text);
std::vector<std::string> ReadLogLines(const std::filesystem::path& path);
void CopyRepositoryData(const std::filesystem::path& dataFolder);

class ModuleTest : public SoftDeviceFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A plug-in created through the module for a host whose data path is
    // dataFolder (with a trailing separator).
    IDirect3D9BasePlugin* CreateWithData(const std::filesystem::path& dataFolder);
    void DeletePlugin();

    // One host frame: the scene in the back buffer, the plug-in's Render
    // inside BeginScene/EndScene. Returns the draws and copies it made.
    void RenderFrame();
    std::vector<std::string> Log() const { return ReadLogLines(mr_Base / "Vexil.log"); }
    size_t CountLines(const std::string& needle) const;
    ICheckBoxParameter* ShowAOOnly();

    std::filesystem::path mr_Base;
    CreatePluginFunction mr_CreatePlugin = nullptr;
    E2EHost* mr_Host_ = nullptr;
    IDirect3D9BasePlugin* mr_Plugin_ = nullptr;
    size_t mr_LastDraws = 0;
    size_t mr_LastCopies = 0;
    std::vector<UINT> mr_LastPrimitiveCounts;
};
