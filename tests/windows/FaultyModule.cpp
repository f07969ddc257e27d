// A module that breaks the rules a host relies on, to prove that the Windows
// host notices: its frame changes a render state and paints over whatever
// target is current, and its activation makes a default-pool texture that it
// never releases (so the device cannot be reset and is never freed).
#include "HostContract.h"

#include <windows.h>
#include <d3d9.h>

#include <stdexcept>

namespace {

class FaultyPlugin : public IDirect3D9BasePlugin {
public:
    explicit FaultyPlugin(IHost* host) : mr_Host_(host) {}
    void Initialise(IDirect3DDevice9* device) override {
        mr_Device_ = device;
        mr_Initialised = device != nullptr;
    }
    bool IsInitialised() override { return mr_Initialised; }
    void Deinitialise() override { mr_Initialised = false; }
    void Render() override {
        mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
        mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 0, 255), 1.0f, 0);
    }
    void OnLostDevice() override {}
    void OnResetDevice() override {}
    std::vector<IParameter*> GetParameters() override { return {}; }
    IParameter* FindParameter(const GUID&) override { return nullptr; }
    IParameter* GetParameter(const GUID&) override { throw std::out_of_range("no such parameter"); }
    void OnParameterChanged(IParameter*) override {}
    void SetActive(bool on) override {
        if (on && !mr_Active) {
            IDirect3DTexture9* lr_Texture_ = nullptr;
            mr_Device_->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &lr_Texture_,
                                      nullptr);
        }
        mr_Active = on;
    }
    bool IsActive() override { return mr_Active; }
    std::wstring GetName() override { return L"Faulty"; }
    std::wstring GetDescription() override { return L"Breaks the rules."; }
    IHost* GetHost() override { return mr_Host_; }

private:
    IHost* mr_Host_;
    IDirect3DDevice9* mr_Device_ = nullptr;
    bool mr_Initialised = false;
    bool mr_Active = false;
};

}  // namespace

extern "C" __declspec(dllexport) IDirect3D9BasePlugin* __cdecl CreatePlugin(IHost* host) {
    return new FaultyPlugin(host);
}
