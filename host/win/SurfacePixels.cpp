#include "SurfacePixels.h"

#include "CheckList.h"

#include <cstring>
#include <memory>

bool ReadRenderTargetRows(IDirect3DDevice9* device, IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc,
                          UINT bytesPerPixel, std::vector<unsigned char>& rows, std::string& error) {
    IDirect3DSurface9* lr_Copy_ = nullptr;
    HRESULT hr = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &lr_Copy_,
                                                     nullptr);
    if (FAILED(hr) || !lr_Copy_) {
        error = "CreateOffscreenPlainSurface failed with " + HResultText(hr);
        return false;
    }
    std::unique_ptr<IDirect3DSurface9, void (*)(IDirect3DSurface9*)> lr_Owner(
        lr_Copy_, [](IDirect3DSurface9* copy) { copy->Release(); });
    hr = device->GetRenderTargetData(surface, lr_Copy_);
    if (FAILED(hr)) {
        error = "GetRenderTargetData failed with " + HResultText(hr);
        return false;
    }
    D3DLOCKED_RECT lr_Locked = {};
    hr = lr_Copy_->LockRect(&lr_Locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) {
        error = "LockRect failed with " + HResultText(hr);
        return false;
    }
    const size_t lr_Row = static_cast<size_t>(desc.Width) * bytesPerPixel;
    rows.resize(lr_Row * desc.Height);
    const unsigned char* lr_Source = static_cast<const unsigned char*>(lr_Locked.pBits);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(&rows[y * lr_Row], lr_Source + static_cast<size_t>(y) * lr_Locked.Pitch, lr_Row);
    lr_Copy_->UnlockRect();
    return true;
}

SurfacePixels SurfacePixels::Read(IDirect3DDevice9* device, IDirect3DSurface9* surface, std::string& error) {
    SurfacePixels lr_Result;
    D3DSURFACE_DESC lr_Desc = {};
    const HRESULT hr = surface->GetDesc(&lr_Desc);
    if (FAILED(hr)) {
        error = "GetDesc failed with " + HResultText(hr);
        return lr_Result;
    }
    if (lr_Desc.Format != D3DFMT_X8R8G8B8 && lr_Desc.Format != D3DFMT_A8R8G8B8) {
        error = "surface format " + std::to_string(static_cast<int>(lr_Desc.Format)) + " is not a 32-bit RGB format";
        return lr_Result;
    }
    std::vector<unsigned char> lr_Rows;
    if (lr_Desc.MultiSampleType != D3DMULTISAMPLE_NONE) {
        // GetRenderTargetData takes no multisampled source; StretchRect resolves one.
        IDirect3DSurface9* lr_Resolved_ = nullptr;
        HRESULT lr_Hr = device->CreateRenderTarget(lr_Desc.Width, lr_Desc.Height, lr_Desc.Format, D3DMULTISAMPLE_NONE,
                                                   0, FALSE, &lr_Resolved_, nullptr);
        if (FAILED(lr_Hr) || !lr_Resolved_) {
            error = "CreateRenderTarget for the resolve failed with " + HResultText(lr_Hr);
            return lr_Result;
        }
        std::unique_ptr<IDirect3DSurface9, void (*)(IDirect3DSurface9*)> lr_Owner(
            lr_Resolved_, [](IDirect3DSurface9* resolved) { resolved->Release(); });
        lr_Hr = device->StretchRect(surface, nullptr, lr_Resolved_, nullptr, D3DTEXF_NONE);
        if (FAILED(lr_Hr)) {
            error = "StretchRect resolving the multisampled surface failed with " + HResultText(lr_Hr);
            return lr_Result;
        }
        D3DSURFACE_DESC lr_Single = lr_Desc;
        lr_Single.MultiSampleType = D3DMULTISAMPLE_NONE;
        lr_Single.MultiSampleQuality = 0;
        if (!ReadRenderTargetRows(device, lr_Resolved_, lr_Single, 4, lr_Rows, error)) return lr_Result;
    } else if (!ReadRenderTargetRows(device, surface, lr_Desc, 4, lr_Rows, error)) {
        return lr_Result;
    }
    lr_Result.Width = lr_Desc.Width;
    lr_Result.Height = lr_Desc.Height;
    lr_Result.Pixels.resize(static_cast<size_t>(lr_Desc.Width) * lr_Desc.Height);
    std::memcpy(lr_Result.Pixels.data(), lr_Rows.data(), lr_Rows.size());
    // X8R8G8B8 leaves the top byte undefined: compare colours only.
    if (lr_Desc.Format == D3DFMT_X8R8G8B8)
        for (std::uint32_t& lr_Pixel : lr_Result.Pixels) lr_Pixel &= 0x00FFFFFFu;
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
