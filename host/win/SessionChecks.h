// The Windows host's observer of the session script: it checks every step
// against the module on a real Direct3D 9 device (the device state, the
// pixels, the log and the device's reference count) and says what failed.
#pragma once

#include "CheckList.h"
#include "DeviceStateSnapshot.h"
#include "HostContract.h"
#include "HostDevice.h"
#include "LogFileReader.h"
#include "PathHost.h"
#include "SessionScript.h"
#include "SurfacePixels.h"

#include <windows.h>

#include <string>

struct HostOptions {
    std::wstring ModulePath;
    std::wstring BasePath;  // ends with a backslash
    std::wstring DataPath;  // ends with a backslash
    UINT Width = 800;
    UINT Height = 600;
    UINT ResizedWidth = 1024;
    UINT ResizedHeight = 600;
    // Back buffer and depth buffer samples; NONE: one.
    D3DMULTISAMPLE_TYPE MultiSample = D3DMULTISAMPLE_NONE;
};

// The exit code of a run that could not be made here (the test is skipped).
constexpr int k_HostSkipped = 77;

class SessionChecks : public ISessionObserver {
public:
    explicit SessionChecks(const HostOptions& options);
    ~SessionChecks() override;
    SessionChecks(const SessionChecks&) = delete;
    SessionChecks& operator=(const SessionChecks&) = delete;

    // Loads the module, runs the script and releases the device; returns the
    // process exit code (0: every check held).
    int Run();

    void Before(const SessionStep& step) override;
    void After(const SessionStep& step) override;
    void BeforeRender(const SessionStep& step) override;
    void AfterRender(const SessionStep& step) override;
    void Failed(const SessionStep& step, const std::string& why) override;

private:
    bool StartDevice();
    CreatePluginFunction LoadModule();
    void CheckNewPlugin(IDirect3D9BasePlugin* plugin);
    void CheckEffectOutcomes(size_t from);
    void CheckShowAOOnly(const SessionStep& step);
    void CheckReset(const SessionStep& step);
    void CheckDeletion();
    void ReleaseDevice();

    void ExpectReferences(const std::string& when);
    void ExpectDeactivationLog(size_t from, const std::string& when);
    void ExpectActivationLog(size_t from, const std::string& when);
    // The lines a frame added must be exactly the three texture creations of
    // the given size, or none.
    void ExpectFrameLog(size_t from, const std::string& what, bool expectTextures, UINT width, UINT height);
    // What a step is called in the progress lines and failures.
    std::string What(const SessionStep& step) const;

    HostOptions mr_Options;
    CheckList mr_Checks;
    HostDevice mr_Device;
    PathHost mr_Host;
    LogFileReader mr_Log;
    HMODULE mr_Module_ = nullptr;
    ICheckBoxParameter* mr_ShowAOOnly_ = nullptr;
    bool mr_ShowAOOnlyValue = true;
    std::wstring mr_Caption;  // ShowAOOnly's caption before it is set
    ULONG mr_BaselineReferences = 0;
    int mr_EffectsLoaded = 0;
    int mr_EffectsFailed = 0;
    size_t mr_From = 0;  // the log's length when the step began
    // During a frame: the surfaces and state before the plug-in rendered.
    IDirect3DSurface9* mr_BackBuffer_ = nullptr;
    ULONG mr_FrameReferences = 0;
    DeviceStateSnapshot mr_State;
    SurfacePixels mr_BackPixels;
    SurfacePixels mr_TargetPixels;
};
