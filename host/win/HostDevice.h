// The real device's side of the session script: a window with its device,
// and the host's own drawing (HostScene) before each frame the plug-in
// renders.
#pragma once

#include "DeviceWindow.h"
#include "HostScene.h"
#include "SessionScript.h"

#include <windows.h>

#include <string>

// The viewport inset of a frame: the later frames of each phase draw into a
// smaller viewport, so that the plug-in must not assume a full one.
inline UINT HostInset(const SessionStep& step) { return 8 * static_cast<UINT>(step.FrameInPhase); }

class HostDevice : public ISessionDevice {
public:
    HostDevice() = default;
    HostDevice(const HostDevice&) = delete;
    HostDevice& operator=(const HostDevice&) = delete;

    // The window, the device and the host's own texture.
    bool Create(UINT width, UINT height, D3DMULTISAMPLE_TYPE multiSample, std::string& error);
    // The host's objects, then the device; see DeviceWindow::ReleaseDevice.
    ULONG Release(ULONG* direct3DLeft);
    DeviceWindow& Window() { return mr_Window; }

    // What the device answered the host's calls in the last frame.
    struct FrameResults {
        HRESULT BeginScene = S_OK;
        HRESULT SetTarget = S_OK;      // off-screen frames: to the target
        HRESULT RestoreTarget = S_OK;  // off-screen frames: back to the back buffer
        HRESULT EndScene = S_OK;
        HRESULT Present = S_OK;
    };
    const FrameResults& Results() const { return mr_Results; }

    IDirect3DDevice9* Device() override { return mr_Window.Device(); }
    bool BeginFrame(const SessionStep& step, std::string& error) override;
    bool EndFrame(const SessionStep& step, std::string& error) override;
    HRESULT Reset(UINT width, UINT height) override { return mr_Window.Reset(width, height); }

private:
    DeviceWindow mr_Window;
    HostScene mr_Scene;
    IDirect3DSurface9* mr_BackBuffer_ = nullptr;  // during an off-screen frame
    FrameResults mr_Results;
};
