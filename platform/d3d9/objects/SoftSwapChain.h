// A swap chain: its present parameters and back buffers. The implicit one
// belongs to the device; additional ones to the application.
#pragma once

#include "objects/SoftObject.h"
#include "objects/SoftSurface.h"

#include <vector>

class SoftSwapChain final : public SoftUnknownImpl<IDirect3DSwapChain9> {
public:
    // `params` must already be complete (sizes, format and count filled in).
    SoftSwapChain(SoftDevice* device, const D3DPRESENT_PARAMETERS& params, bool implicit);
    ~SoftSwapChain() override;

    HRESULT STDMETHODCALLTYPE Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                                      const RGNDATA* pDirtyRegion, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE GetFrontBufferData(IDirect3DSurface9* pDestSurface) override;
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                            IDirect3DSurface9** ppBackBuffer) override;
    HRESULT STDMETHODCALLTYPE GetRasterStatus(D3DRASTER_STATUS* pRasterStatus) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOut(ppDevice); }
    HRESULT STDMETHODCALLTYPE GetPresentParameters(D3DPRESENT_PARAMETERS* pPresentationParameters) override;

    void Describe(SoftLiveObject& object) const override;
    const D3DPRESENT_PARAMETERS& Parameters() const { return mr_Params; }
    UINT BackBufferCount() const { return static_cast<UINT>(mr_BackBuffers.size()); }
    SoftSurface* BackBuffer(UINT index) const;
    IDirect3DSurface9* BackBufferInterface(UINT index) const;
    UINT PresentCount() const { return mr_PresentCount; }
    // Present without counting it for the device: IDirect3DDevice9::Present
    // shows every implicit swap chain and counts once.
    HRESULT Show();

protected:
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3DSwapChain9; }

private:
    D3DPRESENT_PARAMETERS mr_Params;
    std::vector<SoftRef<IDirect3DSurface9>> mr_BackBuffers;
    UINT mr_PresentCount;
};
