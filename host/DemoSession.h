// The demo host's side of the session script: the software device, and one
// printed line per step.
#pragma once

#include "DemoOptions.h"
#include "DeviceRecords.h"
#include "SessionScript.h"
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

// The software device for the session script, and the observer that prints
// one line a step.
class DemoSession : public ISessionDevice, public ISessionObserver {
public:
    DemoSession(const DemoOptions& options, std::ostream& out);
    ~DemoSession() override;
    DemoSession(const DemoSession&) = delete;
    DemoSession& operator=(const DemoSession&) = delete;

    // Runs every step on a plug-in made by create for host; returns the
    // process exit status. logPath is where the plug-in writes; logStart is
    // its size beforehand.
    int Run(CreatePluginFunction create, IHost* host, const std::string& logPath, size_t logStart);

    bool CreateDevice(std::string& error);
    // The shipped effect folder from which the study draws other hosts, each
    // through its own instance (made by Run's `create`) with its own Settings.fxh.
    void SetShippedEffects(const std::string& shippedEffects) { mr_ShippedEffects = shippedEffects; }
    void ReleaseDevice();

    // ISessionDevice
    IDirect3DDevice9* Device() override { return mr_Device_; }
    bool BeginFrame(const SessionStep& step, std::string& error) override;
    bool EndFrame(const SessionStep& step, std::string& error) override;
    HRESULT Reset(UINT width, UINT height) override;

    // ISessionObserver
    void Before(const SessionStep& step) override;
    void After(const SessionStep& step) override;
    void BeforeRender(const SessionStep& step) override;
    void AfterRender(const SessionStep& step) override;
    void Failed(const SessionStep& step, const std::string& why) override;

private:
    void DescribeCost();
    void Step(const std::string& label, const std::string& text);
    void DescribeParameters(IDirect3D9BasePlugin* plugin);
    void Finish();

    // Pictures of every pass and the figures against the ray-traced reference.
    bool RunStudy(IDirect3D9BasePlugin* plugin);
    bool DrawOtherHost(const std::string& name, const SceneCamera& camera, const EffectSettings& settings,
                       const std::vector<SceneVertex>& mesh, PassImages& images, std::string& error);
    bool CheckLog(const std::string& logPath, size_t logStart);

    const DemoOptions& mr_Options;
    std::ostream& mr_Out;
    D3DPRESENT_PARAMETERS mr_Present;
    IDirect3D9* mr_Direct3D_ = nullptr;
    IDirect3DDevice9* mr_Device_ = nullptr;
    ISoftDeviceControl* mr_Control_ = nullptr;     // not referenced: lives as long as the device
    IDirect3DSurface9* mr_SavedTarget_ = nullptr;  // during an off-screen frame
    CreatePluginFunction mr_CreatePlugin = nullptr;
    std::string mr_ShippedEffects;
    std::string mr_LogPath;
    size_t mr_LogStart = 0;
    AnalyticScene mr_Scene = AnalyticScene::MakeDemoRoom();
    std::vector<SceneVertex> mr_Mesh = BuildSceneMesh(mr_Scene);
    SceneCamera mr_Camera = SceneCamera::DemoView();
    LiveObjects mr_Before;     // the objects alive when the step began
    LiveObjects mr_Lost;       // and after OnLostDevice
    std::string mr_Records;    // the last frame's draws and copies
    size_t mr_Work = 0;        // the last frame's draws and copies, counted
    std::string mr_ResetText;  // a reset's line, built over its steps
    int mr_Frames = 0;
    int mr_Failures = 0;
    size_t mr_TotalDraws = 0;
    size_t mr_TotalCopies = 0;
    int mr_Resets = 0;
    std::vector<size_t> mr_CostShown;  // draw counts of the frames whose cost was shown
};
