// A surface with real pixel memory: stand-alone render target, depth-stencil
// or off-screen plain surface, swap-chain back buffer, or a texture level.
#pragma once

#include "objects/SoftObject.h"

#include <vector>

enum class SoftSurfaceRole { RenderTarget, DepthStencil, OffscreenPlain, BackBuffer, TextureLevel };

class SoftSurface final : public SoftResourceImpl<IDirect3DSurface9> {
public:
    // A texture level forwards its references to `owner`; `container` is
    // what GetContainer answers for (the texture, the swap chain, or null
    // for the device).
    SoftSurface(SoftDevice* device, SoftSurfaceRole role, const D3DSURFACE_DESC& desc, bool lockable, SoftObject* owner,
                IUnknown* container, bool implicit);

    ULONG PublicAddRef() override;
    ULONG PublicRelease() override;
    void InternalAddRef() override;
    void InternalRelease() override;
    ULONG PublicCount() const override;
    bool Listed() const override { return mr_Owner_ == nullptr; }
    void Describe(SoftLiveObject& object) const override;

    HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void** ppContainer) override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;
    HRESULT STDMETHODCALLTYPE GetDC(HDC* phdc) override;
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC hdc) override;

    SoftSurfaceRole Role() const { return mr_Role; }
    const D3DSURFACE_DESC& Desc() const { return mr_Desc; }
    bool IsRenderTarget() const { return (mr_Desc.Usage & D3DUSAGE_RENDERTARGET) != 0; }
    bool IsDepthStencil() const { return (mr_Desc.Usage & D3DUSAGE_DEPTHSTENCIL) != 0; }
    bool IsLocked() const { return mr_Locked; }
    BYTE* Bits() { return mr_Pixels.data(); }
    const BYTE* Bits() const { return mr_Pixels.data(); }
    UINT Pitch() const { return mr_Pitch; }
    size_t Size() const { return mr_Pixels.size(); }
    void DetachContainer() { mr_Container_ = nullptr; }
    // Locks bypassing the lock rules (texture LockRect checks its own).
    HRESULT LockUnchecked(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);

protected:
    bool AnswersResource(REFIID riid) const override { return riid == IID_IDirect3DSurface9; }

private:
    SoftSurfaceRole mr_Role;
    D3DSURFACE_DESC mr_Desc;
    bool mr_Lockable;
    SoftObject* mr_Owner_;
    IUnknown* mr_Container_;
    UINT mr_Pitch;
    std::vector<BYTE> mr_Pixels;
    bool mr_Locked;
    bool mr_HasDC;
};

// A default-pool surface of the back buffers' size and multisampling: the
// back buffers themselves and the automatic depth-stencil surface.
D3DSURFACE_DESC SoftPresentSurfaceDesc(const D3DPRESENT_PARAMETERS& params, D3DFORMAT format, DWORD usage);

// Rectangle helpers shared by the surface users.
bool SoftRectInside(const RECT& rect, UINT width, UINT height);
RECT SoftWholeRect(UINT width, UINT height);
