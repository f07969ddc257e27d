#include "objects/SoftSwapChain.h"

#include "objects/SoftDevice.h"
#include "objects/SoftDirect3D9.h"

SoftSwapChain::SoftSwapChain(SoftDevice* device, const D3DPRESENT_PARAMETERS& params, bool implicit)
    : SoftUnknownImpl<IDirect3DSwapChain9>(device, SoftObjectKind::SwapChain, implicit),
      mr_Params(params),
      mr_PresentCount(0) {
    D3DSURFACE_DESC lr_Desc = SoftPresentSurfaceDesc(params, params.BackBufferFormat, D3DUSAGE_RENDERTARGET);
    bool lr_Lockable = (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
    for (UINT i = 0; i < params.BackBufferCount; ++i) {
        SoftSurface* lr_Surface_ = new SoftSurface(device, SoftSurfaceRole::BackBuffer, lr_Desc, lr_Lockable, nullptr,
                                                   static_cast<IDirect3DSwapChain9*>(this), implicit);
        mr_BackBuffers.emplace_back(lr_Surface_, lr_Surface_);
    }
}

SoftSwapChain::~SoftSwapChain() {
    // A back buffer the application still holds outlives its chain.
    for (auto& lr_Buffer : mr_BackBuffers) static_cast<SoftSurface*>(lr_Buffer.Object())->DetachContainer();
}

SoftSurface* SoftSwapChain::BackBuffer(UINT index) const {
    return index < mr_BackBuffers.size() ? static_cast<SoftSurface*>(mr_BackBuffers[index].Object()) : nullptr;
}

IDirect3DSurface9* SoftSwapChain::BackBufferInterface(UINT index) const {
    return index < mr_BackBuffers.size() ? mr_BackBuffers[index].Get() : nullptr;
}

HRESULT SoftSwapChain::Show() {
    if (mr_Device_->InScene()) return D3DERR_INVALIDCALL;
    HRESULT hr = mr_Device_->TestCooperativeLevel();
    if (hr == D3DERR_DEVICELOST || hr == D3DERR_DEVICENOTRESET) return D3DERR_DEVICELOST;
    ++mr_PresentCount;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftSwapChain::Present(const RECT*, const RECT*, HWND, const RGNDATA*, DWORD) {
    HRESULT hr = Show();
    if (SUCCEEDED(hr)) mr_Device_->NotePresent();
    return hr;
}

HRESULT STDMETHODCALLTYPE SoftSwapChain::GetFrontBufferData(IDirect3DSurface9* pDestSurface) {
    SoftSurface* lr_Dest_ = mr_Device_->OwnSurface(pDestSurface);
    if (!lr_Dest_ || lr_Dest_->Desc().Pool != D3DPOOL_SYSTEMMEM || lr_Dest_->Desc().Format != D3DFMT_A8R8G8B8)
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftSwapChain::GetBackBuffer(UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                                       IDirect3DSurface9** ppBackBuffer) {
    if (!ppBackBuffer) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::GetBackBuffer, &hr)) return hr;
    if (iBackBuffer >= mr_BackBuffers.size() || Type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    *ppBackBuffer = mr_BackBuffers[iBackBuffer].Get();
    (*ppBackBuffer)->AddRef();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftSwapChain::GetRasterStatus(D3DRASTER_STATUS* pRasterStatus) {
    if (!pRasterStatus) return D3DERR_INVALIDCALL;
    pRasterStatus->InVBlank = TRUE;
    pRasterStatus->ScanLine = 0;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftSwapChain::GetDisplayMode(D3DDISPLAYMODE* pMode) {
    return mr_Device_->Direct3D()->GetAdapterDisplayMode(0, pMode);
}

HRESULT STDMETHODCALLTYPE SoftSwapChain::GetPresentParameters(D3DPRESENT_PARAMETERS* pPresentationParameters) {
    if (!pPresentationParameters) return D3DERR_INVALIDCALL;
    *pPresentationParameters = mr_Params;
    return D3D_OK;
}

void SoftSwapChain::Describe(SoftLiveObject& object) const {
    SoftObject::Describe(object);
    object.Usage = D3DUSAGE_RENDERTARGET;
    object.Format = mr_Params.BackBufferFormat;
    object.Width = mr_Params.BackBufferWidth;
    object.Height = mr_Params.BackBufferHeight;
}
