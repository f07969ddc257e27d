#include "objects/SoftSurface.h"

#include "objects/SoftDevice.h"
#include "pipeline/SoftFormat.h"

namespace {

UINT AlignedPitch(UINT row, UINT alignment) { return (row + alignment - 1) / alignment * alignment; }

}  // namespace

SoftSurface::SoftSurface(SoftDevice* device, SoftSurfaceRole role, const D3DSURFACE_DESC& desc, bool lockable,
                         SoftObject* owner, IUnknown* container, bool implicit)
    : SoftResourceImpl<IDirect3DSurface9>(device, SoftObjectKind::Surface, implicit, D3DRTYPE_SURFACE),
      mr_Role(role),
      mr_Desc(desc),
      mr_Lockable(lockable),
      mr_Owner_(owner),
      mr_Container_(container),
      mr_Pitch(AlignedPitch(SoftRowPitch(desc.Format, desc.Width), device->RowPitchAlignment())),
      mr_Pixels(static_cast<size_t>(mr_Pitch) * SoftRowCount(desc.Format, desc.Height)),
      mr_Locked(false),
      mr_HasDC(false) {
    mr_Desc.Type = D3DRTYPE_SURFACE;
}

ULONG SoftSurface::PublicAddRef() { return mr_Owner_ ? mr_Owner_->PublicAddRef() : SoftObject::PublicAddRef(); }

ULONG SoftSurface::PublicRelease() { return mr_Owner_ ? mr_Owner_->PublicRelease() : SoftObject::PublicRelease(); }

void SoftSurface::InternalAddRef() {
    if (mr_Owner_)
        mr_Owner_->InternalAddRef();
    else
        SoftObject::InternalAddRef();
}

void SoftSurface::InternalRelease() {
    if (mr_Owner_)
        mr_Owner_->InternalRelease();
    else
        SoftObject::InternalRelease();
}

ULONG SoftSurface::PublicCount() const { return mr_Owner_ ? mr_Owner_->PublicCount() : SoftObject::PublicCount(); }

void SoftSurface::Describe(SoftLiveObject& object) const {
    SoftObject::Describe(object);
    object.Pool = mr_Desc.Pool;
    object.Usage = mr_Desc.Usage;
    object.Format = mr_Desc.Format;
    object.Width = mr_Desc.Width;
    object.Height = mr_Desc.Height;
}

HRESULT STDMETHODCALLTYPE SoftSurface::GetContainer(REFIID riid, void** ppContainer) {
    if (!ppContainer) return D3DERR_INVALIDCALL;
    *ppContainer = nullptr;
    if (mr_Container_) return mr_Container_->QueryInterface(riid, ppContainer);
    // A stand-alone surface's container is its device.
    return mr_Device_->QueryInterface(riid, ppContainer);
}

HRESULT STDMETHODCALLTYPE SoftSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = mr_Desc;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
    HRESULT hr;
    if (mr_Device_->TakeFault(SoftCall::SurfaceLockRect, &hr)) {
        if (pLockedRect) pLockedRect->pBits = nullptr;
        return hr;
    }
    // A level locks through its texture's rules.
    if (!mr_Lockable) {
        if (pLockedRect) pLockedRect->pBits = nullptr;
        return D3DERR_INVALIDCALL;
    }
    return LockUnchecked(pLockedRect, pRect, Flags);
}

HRESULT SoftSurface::LockUnchecked(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD) {
    if (!pLockedRect) return D3DERR_INVALIDCALL;
    pLockedRect->pBits = nullptr;
    pLockedRect->Pitch = 0;
    if (mr_Locked || mr_HasDC) return D3DERR_INVALIDCALL;
    RECT lr_Rect = pRect ? *pRect : SoftWholeRect(mr_Desc.Width, mr_Desc.Height);
    if (!SoftRectInside(lr_Rect, mr_Desc.Width, mr_Desc.Height)) return D3DERR_INVALIDCALL;
    SoftFormatInfo lr_Info = SoftGetFormatInfo(mr_Desc.Format);
    size_t lr_Offset;
    if (lr_Info.BlockBytes) {
        // Compressed rectangles start on block boundaries.
        if ((lr_Rect.left % 4) || (lr_Rect.top % 4)) return D3DERR_INVALIDCALL;
        lr_Offset = static_cast<size_t>(lr_Rect.top / 4) * mr_Pitch +
                    static_cast<size_t>(lr_Rect.left / 4) * lr_Info.BlockBytes;
    } else {
        lr_Offset =
            static_cast<size_t>(lr_Rect.top) * mr_Pitch + static_cast<size_t>(lr_Rect.left) * lr_Info.BytesPerPixel;
    }
    mr_Locked = true;
    pLockedRect->Pitch = static_cast<INT>(mr_Pitch);
    pLockedRect->pBits = mr_Pixels.data() + lr_Offset;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftSurface::UnlockRect() {
    if (!mr_Locked) return D3DERR_INVALIDCALL;
    mr_Locked = false;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftSurface::GetDC(HDC* phdc) {
    if (!phdc) return D3DERR_INVALIDCALL;
    *phdc = nullptr;
    // No GDI here; the formats GDI could serve are refused like any other.
    return D3DERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE SoftSurface::ReleaseDC(HDC) { return D3DERR_INVALIDCALL; }

D3DSURFACE_DESC SoftPresentSurfaceDesc(const D3DPRESENT_PARAMETERS& params, D3DFORMAT format, DWORD usage) {
    D3DSURFACE_DESC lr_Desc{};
    lr_Desc.Format = format;
    lr_Desc.Type = D3DRTYPE_SURFACE;
    lr_Desc.Usage = usage;
    lr_Desc.Pool = D3DPOOL_DEFAULT;
    lr_Desc.MultiSampleType = params.MultiSampleType;
    lr_Desc.MultiSampleQuality = params.MultiSampleQuality;
    lr_Desc.Width = params.BackBufferWidth;
    lr_Desc.Height = params.BackBufferHeight;
    return lr_Desc;
}

bool SoftRectInside(const RECT& rect, UINT width, UINT height) {
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           static_cast<UINT>(rect.right) <= width && static_cast<UINT>(rect.bottom) <= height;
}

RECT SoftWholeRect(UINT width, UINT height) { return RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)}; }
