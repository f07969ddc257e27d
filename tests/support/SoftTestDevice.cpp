#include "SoftTestDevice.h"

D3DPRESENT_PARAMETERS SoftPresentParameters(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS lr_Params{};
    lr_Params.BackBufferWidth = width;
    lr_Params.BackBufferHeight = height;
    lr_Params.BackBufferFormat = D3DFMT_X8R8G8B8;
    lr_Params.BackBufferCount = 1;
    lr_Params.MultiSampleType = D3DMULTISAMPLE_NONE;
    lr_Params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    lr_Params.hDeviceWindow = nullptr;
    lr_Params.Windowed = TRUE;
    lr_Params.EnableAutoDepthStencil = TRUE;
    lr_Params.AutoDepthStencilFormat = D3DFMT_D24S8;
    lr_Params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return lr_Params;
}

HRESULT CreateSoftDevice(const D3DPRESENT_PARAMETERS& params, DWORD behaviorFlags, IDirect3D9** direct3D,
                         IDirect3DDevice9** device) {
    *device = nullptr;
    *direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!*direct3D) return E_FAIL;
    D3DPRESENT_PARAMETERS lr_Params = params;
    HRESULT hr =
        (*direct3D)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, behaviorFlags, &lr_Params, device);
    if (SUCCEEDED(hr) && *device) return hr;
    if (*device) (*device)->Release();
    *device = nullptr;
    (*direct3D)->Release();
    *direct3D = nullptr;
    return FAILED(hr) ? hr : E_POINTER;
}

ISoftDeviceControl* SoftControlOf(IDirect3DDevice9* device) {
    void* lr_Control = nullptr;
    if (FAILED(device->QueryInterface(IID_ISoftDeviceControl, &lr_Control)) || !lr_Control) return nullptr;
    ISoftDeviceControl* lr_Control_ = static_cast<ISoftDeviceControl*>(lr_Control);
    // Keep no reference: the control lives exactly as long as the device.
    lr_Control_->Release();
    return lr_Control_;
}
