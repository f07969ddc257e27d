// The session a host engine runs with the plug-in, written once for every
// host: create, parameters, Initialise, switch on, frames, ShowAOOnly off
// and on, an off-screen frame, a lost and reset device, a resize, switch
// off, Deinitialise and delete. The device's side (what the host draws, how
// the device is reset) comes from an ISessionDevice; what is made of each
// step (printed, checked) from an ISessionObserver.
#pragma once

#include "HostContract.h"

#include <d3d9.h>

#include <string>

enum class SessionStepKind {
    Create,
    Parameters,
    Initialise,
    SwitchOn,
    SwitchOnAgain,
    Frame,
    Interlude,  // after the first frames: the host may look at what was drawn
    ShowAOOnly,
    OffscreenFrame,
    LostDevice,
    ResetDevice,
    ResetPlugin,
    SwitchOff,
    Deinitialise,
    Delete,
};

struct SessionStep {
    SessionStepKind Kind = SessionStepKind::Create;
    IDirect3D9BasePlugin* Plugin_ = nullptr;
    int Frame = 0;                         // frames: counted over the session from 1
    int FrameInPhase = 0;                  // frames: from 0 after each change of state
    bool TexturesExpected = false;         // frames: the first after a switch-on or reset
    bool Value = false;                    // ShowAOOnly: the new value
    bool AsText = false;                   // ShowAOOnly: set through SetValueFromString
    bool Resize = false;                   // resets: to another size
    UINT Width = 0, Height = 0;            // resets: the back buffer's new size
    HRESULT Result = S_OK;                 // ResetDevice: what Reset returned
    IDirect3DSurface9* Target_ = nullptr;  // off-screen frames
};

class ISessionDevice {
public:
    virtual ~ISessionDevice() = default;
    virtual IDirect3DDevice9* Device() = 0;
    // The host's drawing up to the plug-in's Render, inside a scene; for an
    // off-screen frame it leaves step.Target_ as render target 0.
    virtual bool BeginFrame(const SessionStep& step, std::string& error) = 0;
    // Ends the scene, restores the back buffer and presents as the host does.
    virtual bool EndFrame(const SessionStep& step, std::string& error) = 0;
    virtual HRESULT Reset(UINT width, UINT height) = 0;
};

class ISessionObserver {
public:
    virtual ~ISessionObserver() = default;
    virtual void Before(const SessionStep&) {}
    virtual void After(const SessionStep&) {}
    // Frames: the host has drawn, and the plug-in is about to render or has.
    virtual void BeforeRender(const SessionStep&) {}
    virtual void AfterRender(const SessionStep&) {}
    // Part of the step went wrong; After follows only when the plug-in's
    // part was done (a frame the host could not end).
    virtual void Failed(const SessionStep&, const std::string&) {}
};

struct SessionPlan {
    int FramesPerStep = 1;  // after switching on, ShowAOOnly off, each reset
    int FramesAfterOffscreen = 0;
    UINT ResizedWidth = 0, ResizedHeight = 0;
};

class SessionScript {
public:
    SessionScript(ISessionDevice& device, ISessionObserver& observer, const SessionPlan& plan)
        : mr_Device(device), mr_Observer(observer), mr_Plan(plan) {}
    ~SessionScript();
    SessionScript(const SessionScript&) = delete;
    SessionScript& operator=(const SessionScript&) = delete;

    // Runs every step; false when CreatePlugin gave nothing.
    bool Run(CreatePluginFunction create, IHost* host);

private:
    SessionStep Make(SessionStepKind kind) const;
    void Call(SessionStepKind kind, void (*action)(IDirect3D9BasePlugin*));
    void Frames(int count);
    void Frame(SessionStep step);
    void OffscreenFrame();
    void ShowAOOnly(bool value, bool asText);
    // False when the device could not be reset: it draws nothing more.
    bool Reset(bool resize, UINT width, UINT height);

    ISessionDevice& mr_Device;
    ISessionObserver& mr_Observer;
    SessionPlan mr_Plan;
    IDirect3D9BasePlugin* mr_Plugin_ = nullptr;
    int mr_Frame = 0;
    bool mr_Activated = false;  // the next frame is the first after an activation
};
