// The scripted session: everything a host engine does with the plug-in over
// its life, one printed line per step.
#pragma once

#include "DemoOptions.h"
#include "HostContract.h"
#include "AnalyticScene.h"
#include "SceneCamera.h"
#include "OcclusionStudy.h"
#include "SceneMesh.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <ostream>
#include <string>
#include <vector>

class DemoSession {
public:
    DemoSession(const DemoOptions& options, std::ostream& out);
    ~DemoSession();
    DemoSession(const DemoSession&) = delete;
    DemoSession& operator=(const DemoSession&) = delete;

    // Runs every step on the plug-in; returns the process exit status.
    // logPath is where the plug-in writes; logStart is its size beforehand.
    int Run(IDirect3D9BasePlugin* plugin, const std::string& logPath, size_t logStart);

    bool CreateDevice(std::string& error);
    // The module and shipped effect folder from which the study draws other
    // hosts, each through its own instance with its own Settings.fxh.
    void SetOtherHosts(CreatePluginFunction create, const std::string& shippedEffects) {
        mr_CreatePlugin = create;
        mr_ShippedEffects = shippedEffects;
    }
    void ReleaseDevice();

private:
    void DescribeCost();
    void Step(const std::string& label, const std::string& text);

    bool RenderFrame(const std::string& label);
    bool RenderOffscreenFrame();
    bool ResetDevice(const std::string& label, UINT width, UINT height);
    // Pictures of every pass and the figures against the ray-traced reference.
    bool RunStudy();
    bool DrawOtherHost(const std::string& name, const SceneCamera& camera, PassImages& images, std::string& error);
    bool CheckLog(const std::string& logPath, size_t logStart);
    bool SetShowAOOnly(bool value, bool asText);

    const DemoOptions& mr_Options;
    std::ostream& mr_Out;
    D3DPRESENT_PARAMETERS mr_Present;
    IDirect3D9* mr_Direct3D_ = nullptr;
    IDirect3DDevice9* mr_Device_ = nullptr;
    ISoftDeviceControl* mr_Control_ = nullptr;  // not referenced: lives as long as the device
    IDirect3D9BasePlugin* mr_Plugin_ = nullptr;
    CreatePluginFunction mr_CreatePlugin = nullptr;
    std::string mr_ShippedEffects;
    AnalyticScene mr_Scene = AnalyticScene::MakeDemoRoom();
    std::vector<SceneVertex> mr_Mesh = BuildSceneMesh(mr_Scene);
    SceneCamera mr_Camera = SceneCamera::DemoView();
    int mr_Frame = 0;
    int mr_Failures = 0;
    size_t mr_TotalDraws = 0;
    size_t mr_TotalCopies = 0;
    int mr_Resets = 0;
    std::vector<size_t> mr_CostShown;  // draw counts of the frames whose cost was shown
};
