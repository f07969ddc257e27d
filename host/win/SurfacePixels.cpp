#include "SurfacePixels.h"

#include "CheckList.h"

#include <cstring>

SurfacePixels SurfacePixels::Read(IDirect3DDevice9* device, IDirect3DSurface9* surface, std::string& error) {
    SurfacePixels lr_Result;
    D3DSURFACE_DESC lr_Desc = {};
    HRESULT hr = surface->GetDesc(&lr_Desc);
    if (FAILED(hr)) {
        error = "GetDesc failed with " + HexResult(hr);
        return lr_Result;
    }
    if (lr_Desc.Format != D3DFMT_X8R8G8B8 && lr_Desc.Format != D3DFMT_A8R8G8B8) {
        error = "surface format " + std::to_string(static_cast<int>(lr_Desc.Format)) + " is not a 32-bit RGB format";
        return lr_Result;
    }
    IDirect3DSurface9* lr_Copy_ = nullptr;
    hr = device->CreateOffscreenPlainSurface(lr_Desc.Width, lr_Desc.Height, lr_Desc.Format, D3DPOOL_SYSTEMMEM,
                                             &lr_Copy_, nullptr);
    if (FAILED(hr) || !lr_Copy_) {
        error = "CreateOffscreenPlainSurface failed with " + HexResult(hr);
        return lr_Result;
    }
    hr = device->GetRenderTargetData(surface, lr_Copy_);
    if (FAILED(hr)) {
        error = "GetRenderTargetData failed with " + HexResult(hr);
        lr_Copy_->Release();
        return lr_Result;
    }
    D3DLOCKED_RECT lr_Locked = {};
    hr = lr_Copy_->LockRect(&lr_Locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) {
        error = "LockRect failed with " + HexResult(hr);
        lr_Copy_->Release();
        return lr_Result;
    }
    lr_Result.Width = lr_Desc.Width;
    lr_Result.Height = lr_Desc.Height;
    lr_Result.Pixels.resize(static_cast<size_t>(lr_Desc.Width) * lr_Desc.Height);
    const unsigned char* lr_Row = static_cast<const unsigned char*>(lr_Locked.pBits);
    for (UINT y = 0; y < lr_Desc.Height; ++y) {
        std::memcpy(&lr_Result.Pixels[static_cast<size_t>(y) * lr_Desc.Width], lr_Row, lr_Desc.Width * 4u);
        lr_Row += lr_Locked.Pitch;
    }
    // X8R8G8B8 leaves the top byte undefined: compare colours only.
    if (lr_Desc.Format == D3DFMT_X8R8G8B8)
        for (std::uint32_t& lr_Pixel : lr_Result.Pixels) lr_Pixel &= 0x00FFFFFFu;
    lr_Copy_->UnlockRect();
    lr_Copy_->Release();
    return lr_Result;
}

size_t SurfacePixels::CountDifferences(const SurfacePixels& other) const {
    if (Width != other.Width || Height != other.Height || Pixels.size() != other.Pixels.size())
        return Pixels.size() > other.Pixels.size() ? Pixels.size() : other.Pixels.size();
    size_t lr_Count = 0;
    for (size_t i = 0; i < Pixels.size(); ++i)
        if (Pixels[i] != other.Pixels[i]) ++lr_Count;
    return lr_Count;
}
