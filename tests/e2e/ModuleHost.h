// What the end-to-end tests share: the module loaded once per process and a
// device fixture that drives a plug-in through the interface tables only.
#pragma once

#include "HostContract.h"
#include "PluginExpectations.h"
#include "SoftDeviceFixture.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <filesystem>
#include <string>
#include <vector>

// dlopen of the built module and dlsym of "CreatePlugin"; null on failure
// with the reason in error.
CreatePluginFunction LoadCreatePlugin(std::string& error);

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
    std::vector<std::string> Log() const { return ReadLines(mr_Base / "Vexil.log"); }
    size_t CountLines(const std::string& needle) const;
    ICheckBoxParameter* ShowAOOnly();

    std::filesystem::path mr_Base;
    CreatePluginFunction mr_CreatePlugin = nullptr;
    TestHost* mr_Host_ = nullptr;
    IDirect3D9BasePlugin* mr_Plugin_ = nullptr;
    size_t mr_LastDraws = 0;
    size_t mr_LastCopies = 0;
    std::vector<UINT> mr_LastPrimitiveCounts;
};
