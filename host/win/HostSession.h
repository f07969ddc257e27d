// The scripted session the Windows host runs against the module: load,
// create, initialise, activate, frames into the back buffer and into an
// off-screen target, device resets (one with a new size), deactivation,
// deinitialisation and deletion, checking the device state, the pixels, the
// log and the device's reference count along the way.
#pragma once

#include "CheckList.h"
#include "DeviceWindow.h"
#include "HostContract.h"
#include "HostScene.h"
#include "LogFileReader.h"
#include "PathHost.h"

#include <windows.h>

#include <string>
#include <vector>

struct HostOptions {
    std::wstring ModulePath;
    std::wstring BasePath;  // ends with a backslash
    std::wstring DataPath;  // ends with a backslash
    UINT Width = 800;
    UINT Height = 600;
    UINT ResizedWidth = 1024;
    UINT ResizedHeight = 600;
};

class HostSession {
public:
    explicit HostSession(const HostOptions& options);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Runs the whole session; returns the process exit code (0: every check held).
    int Run();

private:
    bool StartDevice();
    bool LoadModule();
    void CheckNewPlugin();
    void Initialise();
    void Activate();
    void CheckEffectOutcomes(size_t from);
    void BackBufferFrame(const std::string& what, UINT inset, bool expectTextures);
    void OffscreenFrame();
    void SetShowAOOnly(bool value);
    // False when the device could not be reset: the session cannot go on.
    bool ResetDevice(UINT width, UINT height, const std::string& what);
    void Deactivate();
    void Deinitialise();
    void DeletePlugin();
    void ReleaseDevice();

    void ExpectReferences(const std::string& when);
    void ExpectDeactivationLog(size_t from, const std::string& when);
    void ExpectActivationLog(size_t from, const std::string& when);
    // The lines a frame added must be exactly the three texture creations of
    // the given size, or none.
    void ExpectFrameLog(size_t from, const std::string& what, bool expectTextures, UINT width, UINT height);
    std::string Narrow(const std::wstring& text) const;

    HostOptions mr_Options;
    CheckList mr_Checks;
    DeviceWindow mr_Window;
    HostScene mr_Scene;
    PathHost mr_Host;
    LogFileReader mr_Log;
    HMODULE mr_Module_ = nullptr;
    IDirect3D9BasePlugin* mr_Plugin_ = nullptr;
    ICheckBoxParameter* mr_ShowAOOnly_ = nullptr;
    bool mr_ShowAOOnlyValue = true;
    ULONG mr_BaselineReferences = 0;
    int mr_EffectsLoaded = 0;
    int mr_EffectsFailed = 0;
};
