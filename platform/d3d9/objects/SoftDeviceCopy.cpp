// Operations that move pixels: StretchRect, Clear, ColorFill, UpdateSurface,
// UpdateTexture, GetRenderTargetData.
#include "objects/SoftDevice.h"
#include "pipeline/SoftFormat.h"
#include "objects/SoftSurface.h"
#include "objects/SoftSwapChain.h"
#include "objects/SoftTexture.h"

#include <algorithm>
#include <new>
#include <cmath>
#include <cstring>

namespace {

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

bool Intersect(const RECT& a, const RECT& b, RECT* out) {
    out->left = std::max(a.left, b.left);
    out->top = std::max(a.top, b.top);
    out->right = std::min(a.right, b.right);
    out->bottom = std::min(a.bottom, b.bottom);
    return out->left < out->right && out->top < out->bottom;
}

// Copies a rectangle between surfaces of one format: byte for byte when the
// sizes match, else each destination pixel centre mapped into the source
// rectangle and sampled there (POINT, or LINEAR between the four nearest
// source pixel centres, clamped at the rectangle's edges).
void CopyPixels(const SoftSurface& source, const RECT& sourceRect, SoftSurface& dest, const RECT& destRect,
                D3DTEXTUREFILTERTYPE filter) {
    SoftPixelCodec lr_Codec = SoftGetPixelCodec(source.Desc().Format);
    UINT lr_Bpp = lr_Codec.BytesPerPixel;
    LONG lr_SrcW = Width(sourceRect), lr_SrcH = Height(sourceRect);
    LONG lr_DstW = Width(destRect), lr_DstH = Height(destRect);
    auto lr_Source = [&](LONG x, LONG y) {
        return source.Bits() + static_cast<size_t>(sourceRect.top + y) * source.Pitch() +
               static_cast<size_t>(sourceRect.left + x) * lr_Bpp;
    };
    auto lr_Dest = [&](LONG x, LONG y) {
        return dest.Bits() + static_cast<size_t>(destRect.top + y) * dest.Pitch() +
               static_cast<size_t>(destRect.left + x) * lr_Bpp;
    };
    if (lr_SrcW == lr_DstW && lr_SrcH == lr_DstH) {
        for (LONG y = 0; y < lr_DstH; ++y)
            std::memmove(lr_Dest(0, y), lr_Source(0, y), static_cast<size_t>(lr_DstW) * lr_Bpp);
        return;
    }
    // Formats without a colour conversion are stretched with POINT.
    bool lr_Linear = filter == D3DTEXF_LINEAR && lr_Codec.Decode;
    auto lr_Clamp = [](LONG value, LONG size) { return std::min(size - 1, std::max<LONG>(0, value)); };
    for (LONG y = 0; y < lr_DstH; ++y) {
        double lr_Sy = (y + 0.5) * lr_SrcH / lr_DstH;
        for (LONG x = 0; x < lr_DstW; ++x) {
            double lr_Sx = (x + 0.5) * lr_SrcW / lr_DstW;
            if (!lr_Linear) {
                // The source pixel whose area holds the mapped centre.
                std::memcpy(lr_Dest(x, y),
                            lr_Source(lr_Clamp(static_cast<LONG>(std::floor(lr_Sx)), lr_SrcW),
                                      lr_Clamp(static_cast<LONG>(std::floor(lr_Sy)), lr_SrcH)),
                            lr_Bpp);
                continue;
            }
            double lr_Fx = std::floor(lr_Sx - 0.5), lr_Fy = std::floor(lr_Sy - 0.5);
            float lr_Ax = static_cast<float>(lr_Sx - 0.5 - lr_Fx), lr_Ay = static_cast<float>(lr_Sy - 0.5 - lr_Fy);
            LONG lr_I = static_cast<LONG>(lr_Fx), lr_J = static_cast<LONG>(lr_Fy);
            LONG lr_X0 = lr_Clamp(lr_I, lr_SrcW), lr_X1 = lr_Clamp(lr_I + 1, lr_SrcW);
            LONG lr_Y0 = lr_Clamp(lr_J, lr_SrcH), lr_Y1 = lr_Clamp(lr_J + 1, lr_SrcH);
            float lr_T00[4], lr_T10[4], lr_T01[4], lr_T11[4], lr_Out[4];
            lr_Codec.Decode(lr_Source(lr_X0, lr_Y0), lr_T00);
            lr_Codec.Decode(lr_Source(lr_X1, lr_Y0), lr_T10);
            lr_Codec.Decode(lr_Source(lr_X0, lr_Y1), lr_T01);
            lr_Codec.Decode(lr_Source(lr_X1, lr_Y1), lr_T11);
            for (int c = 0; c < 4; ++c) {
                float lr_Top = lr_T00[c] * (1.0f - lr_Ax) + lr_T10[c] * lr_Ax;
                float lr_Bottom = lr_T01[c] * (1.0f - lr_Ax) + lr_T11[c] * lr_Ax;
                lr_Out[c] = lr_Top * (1.0f - lr_Ay) + lr_Bottom * lr_Ay;
            }
            lr_Codec.Encode(lr_Out, lr_Dest(x, y));
        }
    }
}

void FillRect(SoftSurface& surface, const RECT& rect, const BYTE* pixel, UINT bpp) {
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        BYTE* lr_Row = surface.Bits() + static_cast<size_t>(y) * surface.Pitch();
        for (LONG x = rect.left; x < rect.right; ++x) std::memcpy(lr_Row + static_cast<size_t>(x) * bpp, pixel, bpp);
    }
}

}  // namespace

HRESULT SoftDevice::StretchRectChecked(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                       IDirect3DSurface9* pDestSurface, const RECT* pDestRect,
                                       D3DTEXTUREFILTERTYPE Filter, RECT* sourceRect, RECT* destRect) {
    SoftSurface* lr_Source_ = OwnSurface(pSourceSurface);
    SoftSurface* lr_Dest_ = OwnSurface(pDestSurface);
    if (lr_Source_)
        *sourceRect = pSourceRect ? *pSourceRect : SoftWholeRect(lr_Source_->Desc().Width, lr_Source_->Desc().Height);
    if (lr_Dest_) *destRect = pDestRect ? *pDestRect : SoftWholeRect(lr_Dest_->Desc().Width, lr_Dest_->Desc().Height);
    if (!lr_Source_ || !lr_Dest_) return D3DERR_INVALIDCALL;
    // Stretching within one surface is not supported.
    if (lr_Source_ == lr_Dest_) return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& lr_Src = lr_Source_->Desc();
    const D3DSURFACE_DESC& lr_Dst = lr_Dest_->Desc();
    if (lr_Src.Pool != D3DPOOL_DEFAULT || lr_Dst.Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if (Filter != D3DTEXF_NONE && Filter != D3DTEXF_POINT && Filter != D3DTEXF_LINEAR) return D3DERR_INVALIDCALL;
    SoftFormatInfo lr_SrcInfo = SoftGetFormatInfo(lr_Src.Format);
    SoftFormatInfo lr_DstInfo = SoftGetFormatInfo(lr_Dst.Format);
    if (lr_SrcInfo.Depth != lr_DstInfo.Depth) return D3DERR_INVALIDCALL;
    // No conversion between formats, and no compressed formats. (The runtime
    // also converts YUV sources to RGB; such copies are refused here.)
    if (lr_Src.Format != lr_Dst.Format || lr_SrcInfo.BlockBytes || lr_SrcInfo.BytesPerPixel == 0)
        return D3DERR_INVALIDCALL;
    switch (lr_Dest_->Role()) {
    case SoftSurfaceRole::RenderTarget:
    case SoftSurfaceRole::BackBuffer: break;
    case SoftSurfaceRole::TextureLevel:
        if (!lr_Dest_->IsRenderTarget()) return D3DERR_INVALIDCALL;
        break;
    case SoftSurfaceRole::OffscreenPlain:
        if (lr_Source_->Role() != SoftSurfaceRole::OffscreenPlain) return D3DERR_INVALIDCALL;
        break;
    case SoftSurfaceRole::DepthStencil:
        if (lr_Source_->Role() != SoftSurfaceRole::DepthStencil) return D3DERR_INVALIDCALL;
        break;
    }
    if (lr_Source_->Role() == SoftSurfaceRole::DepthStencil && lr_Dest_->Role() != SoftSurfaceRole::DepthStencil)
        return D3DERR_INVALIDCALL;
    if (!SoftRectInside(*sourceRect, lr_Src.Width, lr_Src.Height) ||
        !SoftRectInside(*destRect, lr_Dst.Width, lr_Dst.Height))
        return D3DERR_INVALIDCALL;
    if (lr_SrcInfo.Depth) {
        // Depth-stencil copies: whole surfaces of one size, outside a scene.
        if (mr_InScene) return D3DERR_INVALIDCALL;
        if (lr_Src.Width != lr_Dst.Width || lr_Src.Height != lr_Dst.Height) return D3DERR_INVALIDCALL;
        RECT lr_Whole = SoftWholeRect(lr_Src.Width, lr_Src.Height);
        if (std::memcmp(sourceRect, &lr_Whole, sizeof(RECT)) != 0 ||
            std::memcmp(destRect, &lr_Whole, sizeof(RECT)) != 0)
            return D3DERR_INVALIDCALL;
    }
    if (lr_Source_->IsLocked() || lr_Dest_->IsLocked()) return D3DERR_INVALIDCALL;
    CopyPixels(*lr_Source_, *sourceRect, *lr_Dest_, *destRect, Filter);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                                  IDirect3DSurface9* pDestSurface, const RECT* pDestRect,
                                                  D3DTEXTUREFILTERTYPE Filter) {
    NoteCall();
    RECT lr_SourceRect{0, 0, 0, 0};
    RECT lr_DestRect{0, 0, 0, 0};
    HRESULT hr;
    if (!TakeFault(SoftCall::StretchRect, &hr))
        hr = StretchRectChecked(pSourceSurface, pSourceRect, pDestSurface, pDestRect, Filter, &lr_SourceRect,
                                &lr_DestRect);
    RecordCopy(pSourceSurface, lr_SourceRect, pDestSurface, lr_DestRect, Filter, hr);
    return hr;
}

void SoftDevice::RecordCopy(IDirect3DSurface9* source, const RECT& sourceRect, IDirect3DSurface9* dest,
                            const RECT& destRect, D3DTEXTUREFILTERTYPE filter, HRESULT result) {
    if (!mr_RecordCalls) return;
    try {
        MakeRoomFor(mr_Copies);
        mr_Copies.push_back(SoftCopyRecord{source, sourceRect, dest, destRect, filter, result});
    } catch (const std::bad_alloc&) {
        // A record lost to memory does not fail the copy.
    }
}

HRESULT STDMETHODCALLTYPE SoftDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                                            DWORD Stencil) {
    NoteCall();
    if (Count && !pRects) return D3DERR_INVALIDCALL;
    if (Flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return D3DERR_INVALIDCALL;
    auto* lr_Depth_ = static_cast<SoftSurface*>(mr_DepthStencil.Object());
    if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !lr_Depth_) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && !SoftGetFormatInfo(lr_Depth_->Desc().Format).Stencil) return D3DERR_INVALIDCALL;

    // The region: the viewport, the scissor rectangle when scissoring is on, and the rectangles given.
    const D3DVIEWPORT9& lr_View = mr_State.Viewport;
    RECT lr_Region{static_cast<LONG>(lr_View.X), static_cast<LONG>(lr_View.Y),
                   static_cast<LONG>(lr_View.X + lr_View.Width), static_cast<LONG>(lr_View.Y + lr_View.Height)};
    if (mr_State.RenderStates[D3DRS_SCISSORTESTENABLE] && !Intersect(lr_Region, mr_State.Scissor, &lr_Region))
        return D3D_OK;
    auto lr_ClearSurface = [&](SoftSurface& surface, const BYTE* pixel, UINT bpp, const BYTE* mask) {
        RECT lr_Bounds;
        if (!Intersect(lr_Region, SoftWholeRect(surface.Desc().Width, surface.Desc().Height), &lr_Bounds)) return;
        auto lr_Fill = [&](const RECT& rect) {
            if (!mask) {
                FillRect(surface, rect, pixel, bpp);
                return;
            }
            for (LONG y = rect.top; y < rect.bottom; ++y) {
                BYTE* lr_Row = surface.Bits() + static_cast<size_t>(y) * surface.Pitch();
                for (LONG x = rect.left; x < rect.right; ++x)
                    for (UINT b = 0; b < bpp; ++b) {
                        BYTE& lr_Byte = lr_Row[static_cast<size_t>(x) * bpp + b];
                        lr_Byte = static_cast<BYTE>((lr_Byte & ~mask[b]) | (pixel[b] & mask[b]));
                    }
            }
        };
        if (Count == 0 || !pRects) {
            lr_Fill(lr_Bounds);
            return;
        }
        for (DWORD i = 0; i < Count; ++i) {
            RECT lr_Rect{pRects[i].x1, pRects[i].y1, pRects[i].x2, pRects[i].y2};
            RECT lr_Part;
            if (Intersect(lr_Bounds, lr_Rect, &lr_Part)) lr_Fill(lr_Part);
        }
    };

    if (Flags & D3DCLEAR_TARGET) {
        for (auto& lr_Target : mr_RenderTargets) {
            auto* lr_Surface_ = static_cast<SoftSurface*>(lr_Target.Object());
            if (!lr_Surface_) continue;
            BYTE lr_Pixel[16];
            if (!SoftEncodeColor(lr_Surface_->Desc().Format, Color, lr_Pixel)) continue;
            lr_ClearSurface(*lr_Surface_, lr_Pixel, SoftGetFormatInfo(lr_Surface_->Desc().Format).BytesPerPixel,
                            nullptr);
        }
    }
    if (Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) {
        D3DFORMAT lr_Format = lr_Depth_->Desc().Format;
        UINT lr_Bpp = SoftGetFormatInfo(lr_Format).BytesPerPixel;
        BYTE lr_Pixel[8] = {};
        BYTE lr_Mask[8] = {};
        if (!SoftEncodeDepthStencil(lr_Format, Z, Stencil, lr_Pixel)) return D3D_OK;
        // Which bits belong to depth and which to stencil: encode with each part set in turn.
        BYTE lr_DepthOnly[8] = {}, lr_StencilOnly[8] = {};
        SoftEncodeDepthStencil(lr_Format, 1.0f, 0, lr_DepthOnly);
        SoftEncodeDepthStencil(lr_Format, 0.0f, 0xFFFFFFFFu, lr_StencilOnly);
        for (UINT b = 0; b < lr_Bpp; ++b) {
            if (Flags & D3DCLEAR_ZBUFFER) lr_Mask[b] |= lr_DepthOnly[b];
            if (Flags & D3DCLEAR_STENCIL) lr_Mask[b] |= lr_StencilOnly[b];
            if ((Flags & D3DCLEAR_ZBUFFER) && !SoftGetFormatInfo(lr_Format).Stencil) lr_Mask[b] = 0xFF;
        }
        lr_ClearSurface(*lr_Depth_, lr_Pixel, lr_Bpp, lr_Mask);
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color) {
    NoteCall();
    SoftSurface* lr_Surface_ = OwnSurface(pSurface);
    if (!lr_Surface_) return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& lr_Desc = lr_Surface_->Desc();
    if (lr_Desc.Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    // Render targets (also render-target textures' levels) and off-screen plain surfaces.
    if (lr_Surface_->Role() == SoftSurfaceRole::DepthStencil) return D3DERR_INVALIDCALL;
    if (lr_Surface_->Role() == SoftSurfaceRole::TextureLevel && !lr_Surface_->IsRenderTarget())
        return D3DERR_INVALIDCALL;
    RECT lr_Rect = pRect ? *pRect : SoftWholeRect(lr_Desc.Width, lr_Desc.Height);
    if (!SoftRectInside(lr_Rect, lr_Desc.Width, lr_Desc.Height)) return D3DERR_INVALIDCALL;
    BYTE lr_Pixel[16];
    if (!SoftEncodeColor(lr_Desc.Format, color, lr_Pixel)) return D3DERR_INVALIDCALL;
    FillRect(*lr_Surface_, lr_Rect, lr_Pixel, SoftGetFormatInfo(lr_Desc.Format).BytesPerPixel);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                                    IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) {
    NoteCall();
    SoftSurface* lr_Source_ = OwnSurface(pSourceSurface);
    SoftSurface* lr_Dest_ = OwnSurface(pDestinationSurface);
    if (!lr_Source_ || !lr_Dest_ || lr_Source_ == lr_Dest_) return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& lr_Src = lr_Source_->Desc();
    const D3DSURFACE_DESC& lr_Dst = lr_Dest_->Desc();
    if (lr_Src.Pool != D3DPOOL_SYSTEMMEM || lr_Dst.Pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if (lr_Src.Format != lr_Dst.Format || SoftGetFormatInfo(lr_Src.Format).Depth) return D3DERR_INVALIDCALL;
    if (lr_Src.MultiSampleType != D3DMULTISAMPLE_NONE || lr_Dst.MultiSampleType != D3DMULTISAMPLE_NONE)
        return D3DERR_INVALIDCALL;
    if (SoftGetFormatInfo(lr_Src.Format).BytesPerPixel == 0) return D3DERR_INVALIDCALL;
    RECT lr_SourceRect = pSourceRect ? *pSourceRect : SoftWholeRect(lr_Src.Width, lr_Src.Height);
    if (!SoftRectInside(lr_SourceRect, lr_Src.Width, lr_Src.Height)) return D3DERR_INVALIDCALL;
    POINT lr_Point = pDestPoint ? *pDestPoint : POINT{0, 0};
    RECT lr_DestRect{lr_Point.x, lr_Point.y, lr_Point.x + Width(lr_SourceRect), lr_Point.y + Height(lr_SourceRect)};
    if (!SoftRectInside(lr_DestRect, lr_Dst.Width, lr_Dst.Height)) return D3DERR_INVALIDCALL;
    CopyPixels(*lr_Source_, lr_SourceRect, *lr_Dest_, lr_DestRect, D3DTEXF_NONE);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::UpdateTexture(IDirect3DBaseTexture9* pSourceTexture,
                                                    IDirect3DBaseTexture9* pDestinationTexture) {
    NoteCall();
    auto* lr_Source_ = pSourceTexture ? dynamic_cast<SoftTexture*>(pSourceTexture) : nullptr;
    auto* lr_Dest_ = pDestinationTexture ? dynamic_cast<SoftTexture*>(pDestinationTexture) : nullptr;
    // 2-D textures only here.
    if (!lr_Source_ || !lr_Dest_ || lr_Source_->Device() != this || lr_Dest_->Device() != this)
        return D3DERR_INVALIDCALL;
    if (lr_Source_->Pool() != D3DPOOL_SYSTEMMEM || lr_Dest_->Pool() != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if (lr_Source_->Format() != lr_Dest_->Format()) return D3DERR_INVALIDCALL;
    if (SoftGetFormatInfo(lr_Source_->Format()).BytesPerPixel == 0) return D3DERR_INVALIDCALL;
    // Each destination level takes the source level of the same size.
    UINT lr_SourceLevel = 0;
    for (UINT lr_Level = 0; lr_Level < lr_Dest_->GetLevelCount(); ++lr_Level) {
        SoftSurface* lr_To_ = lr_Dest_->Level(lr_Level);
        while (lr_Source_->Level(lr_SourceLevel) &&
               lr_Source_->Level(lr_SourceLevel)->Desc().Width > lr_To_->Desc().Width)
            ++lr_SourceLevel;
        SoftSurface* lr_From_ = lr_Source_->Level(lr_SourceLevel);
        if (!lr_From_ || lr_From_->Desc().Width != lr_To_->Desc().Width ||
            lr_From_->Desc().Height != lr_To_->Desc().Height)
            return D3DERR_INVALIDCALL;
        RECT lr_Whole = SoftWholeRect(lr_To_->Desc().Width, lr_To_->Desc().Height);
        CopyPixels(*lr_From_, lr_Whole, *lr_To_, lr_Whole, D3DTEXF_NONE);
        ++lr_SourceLevel;
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget,
                                                          IDirect3DSurface9* pDestSurface) {
    NoteCall();
    SoftSurface* lr_Source_ = OwnSurface(pRenderTarget);
    SoftSurface* lr_Dest_ = OwnSurface(pDestSurface);
    if (!lr_Source_ || !lr_Dest_ || lr_Source_ == lr_Dest_) return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& lr_Src = lr_Source_->Desc();
    const D3DSURFACE_DESC& lr_Dst = lr_Dest_->Desc();
    if (!lr_Source_->IsRenderTarget() || lr_Src.Pool != D3DPOOL_DEFAULT || lr_Dst.Pool != D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;
    if (lr_Src.Format != lr_Dst.Format || lr_Src.Width != lr_Dst.Width || lr_Src.Height != lr_Dst.Height)
        return D3DERR_INVALIDCALL;
    if (lr_Src.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    RECT lr_Whole = SoftWholeRect(lr_Src.Width, lr_Src.Height);
    CopyPixels(*lr_Source_, lr_Whole, *lr_Dest_, lr_Whole, D3DTEXF_NONE);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) {
    NoteCall();
    SoftSwapChain* lr_Chain_ = ImplicitSwapChain(iSwapChain);
    if (!lr_Chain_) return D3DERR_INVALIDCALL;
    return lr_Chain_->GetFrontBufferData(pDestSurface);
}
