#include "HostDevice.h"

bool HostDevice::Create(UINT width, UINT height, D3DMULTISAMPLE_TYPE multiSample, std::string& error) {
    if (!mr_Window.Create(width, height, error, multiSample)) return false;
    if (!mr_Scene.Create(mr_Window.Device())) {
        error = "the host's own texture could not be created";
        return false;
    }
    return true;
}

ULONG HostDevice::Release(ULONG* direct3DLeft) {
    mr_Scene.Release();
    return mr_Window.ReleaseDevice(direct3DLeft);
}

bool HostDevice::BeginFrame(const SessionStep& step, std::string&) {
    IDirect3DDevice9* lr_Device_ = mr_Window.Device();
    const UINT w = mr_Window.Width();
    const UINT h = mr_Window.Height();
    mr_Results = FrameResults{};
    mr_Results.BeginScene = lr_Device_->BeginScene();
    if (step.Kind != SessionStepKind::OffscreenFrame) {
        mr_Scene.ApplyState(lr_Device_, w, h, HostInset(step));
        mr_Scene.Draw(lr_Device_, w, h, D3DCOLOR_XRGB(90, 90, 110));
        return true;
    }
    // Something in the back buffer and something else in the target, so
    // that a plug-in that touches either is seen.
    mr_Scene.ApplyState(lr_Device_, w, h, 0);
    mr_Scene.Draw(lr_Device_, w, h, D3DCOLOR_XRGB(30, 30, 30));
    mr_Results.SetTarget = lr_Device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &mr_BackBuffer_);
    if (SUCCEEDED(mr_Results.SetTarget)) mr_Results.SetTarget = lr_Device_->SetRenderTarget(0, step.Target_);
    mr_Scene.ApplyState(lr_Device_, w, h, 4);
    mr_Scene.Draw(lr_Device_, w, h, D3DCOLOR_XRGB(200, 200, 40));
    return true;
}

bool HostDevice::EndFrame(const SessionStep& step, std::string&) {
    IDirect3DDevice9* lr_Device_ = mr_Window.Device();
    if (step.Kind == SessionStepKind::OffscreenFrame) {
        mr_Results.RestoreTarget = mr_BackBuffer_ ? lr_Device_->SetRenderTarget(0, mr_BackBuffer_) : E_FAIL;
        if (mr_BackBuffer_) mr_BackBuffer_->Release();
        mr_BackBuffer_ = nullptr;
    }
    mr_Results.EndScene = lr_Device_->EndScene();
    mr_Results.Present = lr_Device_->Present(nullptr, nullptr, nullptr, nullptr);
    mr_Window.PumpMessages();
    return true;
}
