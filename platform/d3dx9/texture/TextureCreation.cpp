#include "texture/TextureCreation.h"

#include "texture/ImagePixelFormat.h"
#include "texture/ImageRowScaler.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace softd3dx {
namespace {

UINT NextPowerOfTwo(UINT value) {
    UINT lr_Result = 1;
    while (lr_Result < value && lr_Result < 0x80000000u) lr_Result <<= 1;
    return lr_Result;
}

UINT FullChainLength(UINT width, UINT height) {
    UINT lr_Levels = 1;
    for (UINT lr_Side = std::max(width, height); lr_Side > 1; lr_Side >>= 1) ++lr_Levels;
    return lr_Levels;
}

// How one side of the texture follows from the Width or Height argument.
enum class SideRule {
    FilePow2,     // 0 or D3DX_DEFAULT: the file's size, rounded up to a power of two on any device
    FileNonPow2,  // D3DX_DEFAULT_NONPOW2: the file's size, rounded up only where the device needs it
    FileExact,    // D3DX_FROM_FILE: the file's size or nothing
    Given,        // a size of the caller's, rounded up only where the device needs it
};

SideRule RuleFor(UINT size) {
    if (size == 0 || size == D3DX_DEFAULT) return SideRule::FilePow2;
    if (size == D3DX_DEFAULT_NONPOW2) return SideRule::FileNonPow2;
    if (size == D3DX_FROM_FILE) return SideRule::FileExact;
    return SideRule::Given;
}

bool IsPowerOfTwo(UINT value) { return value != 0 && (value & (value - 1)) == 0; }

UINT SideSize(SideRule rule, UINT requested, UINT fromFile, bool devicePow2Only) {
    switch (rule) {
    case SideRule::FilePow2: return NextPowerOfTwo(fromFile);
    case SideRule::FileNonPow2: return devicePow2Only ? NextPowerOfTwo(fromFile) : fromFile;
    case SideRule::FileExact: return fromFile;
    case SideRule::Given: break;
    }
    return devicePow2Only ? NextPowerOfTwo(requested) : requested;
}

// The format a texture gets when the caller leaves it to the loader.
D3DFORMAT PreferredFormat(const BmpImage& image, bool wantAlpha) {
    switch (image.FileFormat) {
    case D3DFMT_X1R5G5B5: return wantAlpha ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    case D3DFMT_X4R4G4B4: return wantAlpha ? D3DFMT_A4R4G4B4 : D3DFMT_X4R4G4B4;
    case D3DFMT_R5G6B5: return wantAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_R5G6B5;
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R8G8B8: return image.FileFormat;
    default:
        // Paletted, 24-bit and X8R8G8B8 images: few devices take P8 or
        // R8G8B8 textures, so they widen to 32 bits.
        return wantAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
}

// Asks the device's Direct3D object whether it can make such a texture.
// Without a way to ask, every format is taken as possible and CreateTexture decides.
class FormatSupport {
public:
    explicit FormatSupport(IDirect3DDevice9* device) {
        if (FAILED(device->GetDirect3D(&mr_Direct3D_)) || !mr_Direct3D_) {
            mr_Direct3D_ = nullptr;
            return;
        }
        D3DDEVICE_CREATION_PARAMETERS lr_Params{};
        D3DDISPLAYMODE lr_Mode{};
        if (FAILED(device->GetCreationParameters(&lr_Params)) || FAILED(device->GetDisplayMode(0, &lr_Mode))) {
            mr_Direct3D_->Release();
            mr_Direct3D_ = nullptr;
            return;
        }
        mr_Adapter = lr_Params.AdapterOrdinal;
        mr_DeviceType = lr_Params.DeviceType;
        mr_AdapterFormat = lr_Mode.Format;
    }
    ~FormatSupport() {
        if (mr_Direct3D_) mr_Direct3D_->Release();
    }
    FormatSupport(const FormatSupport&) = delete;
    FormatSupport& operator=(const FormatSupport&) = delete;

    bool Supports(D3DFORMAT format, DWORD usage) const {
        if (!mr_Direct3D_) return true;
        return SUCCEEDED(mr_Direct3D_->CheckDeviceFormat(mr_Adapter, mr_DeviceType, mr_AdapterFormat, usage,
                                                         D3DRTYPE_TEXTURE, format));
    }

private:
    IDirect3D9* mr_Direct3D_ = nullptr;
    UINT mr_Adapter = 0;
    D3DDEVTYPE mr_DeviceType = D3DDEVTYPE_HAL;
    D3DFORMAT mr_AdapterFormat = D3DFMT_UNKNOWN;
};

D3DFORMAT ChooseFormat(IDirect3DDevice9* device, const BmpImage& image, const TextureRequest& request) {
    const bool lr_WantAlpha = image.HasAlpha || request.ColorKey != 0;
    std::vector<D3DFORMAT> lr_Candidates;
    if (request.Format == D3DFMT_FROM_FILE) {
        lr_Candidates.push_back(image.FileFormat);
    } else if (request.Format != D3DFMT_UNKNOWN) {
        lr_Candidates.push_back(request.Format);
    }
    lr_Candidates.push_back(PreferredFormat(image, lr_WantAlpha));
    lr_Candidates.push_back(lr_WantAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8);
    lr_Candidates.push_back(D3DFMT_A8R8G8B8);

    const FormatSupport lr_Support(device);
    for (D3DFORMAT lr_Format : lr_Candidates) {
        // Formats this loader cannot write (compressed, paletted, YUV) are
        // replaced by the nearest plain one rather than refused.
        if (WritableFormatSize(lr_Format) != 0 && lr_Support.Supports(lr_Format, request.Usage)) return lr_Format;
    }
    return lr_Candidates[lr_Candidates.size() - 2];
}

// Writes rows into a locked level and hands them on to the scaler that
// makes the next level from them.
class LevelWriter : public IImageRowSink {
public:
    LevelWriter(const D3DLOCKED_RECT& locked, UINT width, D3DFORMAT format, IImageRowSink* next)
        : mr_Bits_(static_cast<BYTE*>(locked.pBits)),
          mr_Pitch(locked.Pitch),
          mr_Width(width),
          mr_Format(format),
          mr_Next_(next) {}

    void Rows(UINT y, UINT count, const DWORD* argb) override {
        BYTE* lr_First = mr_Bits_ + static_cast<ptrdiff_t>(y) * mr_Pitch;
        WritePixels(mr_Format, argb, mr_Width, lr_First);
        const size_t lr_Bytes = static_cast<size_t>(mr_Width) * WritableFormatSize(mr_Format);
        for (UINT i = 1; i < count; ++i)
            std::memcpy(lr_First + static_cast<ptrdiff_t>(i) * mr_Pitch, lr_First, lr_Bytes);
        if (mr_Next_) mr_Next_->Rows(y, count, argb);
    }

private:
    BYTE* mr_Bits_;
    INT mr_Pitch;
    UINT mr_Width;
    D3DFORMAT mr_Format;
    IImageRowSink* mr_Next_;
};

// Pixels of the colour key become transparent black before any filtering.
class ColourKeyRows : public IImageRowSink {
public:
    ColourKeyRows(D3DCOLOR key, UINT width, IImageRowSink& out) : mr_Key(key), mr_Row(width), mr_Out(out) {}

    void Rows(UINT y, UINT count, const DWORD* argb) override {
        for (size_t x = 0; x < mr_Row.size(); ++x) mr_Row[x] = argb[x] == mr_Key ? 0 : argb[x];
        mr_Out.Rows(y, count, mr_Row.data());
    }

private:
    D3DCOLOR mr_Key;
    std::vector<DWORD> mr_Row;
    IImageRowSink& mr_Out;
};

// Every level of `texture`, all locked at once: level 0 resized from the
// decoded rows as they come, each further level reduced from the one above
// in the same pass, so that no level is held outside the texture.
HRESULT FillLevels(IDirect3DTexture9* texture, const BmpImage& image, const ImageDecoder& decode, D3DCOLOR colourKey,
                   D3DFORMAT format, DWORD filter, DWORD mipFilter) {
    const DWORD lr_Levels = texture->GetLevelCount();
    std::vector<D3DSURFACE_DESC> lr_Descs(lr_Levels);
    std::vector<D3DLOCKED_RECT> lr_Locked;
    const auto lr_UnlockAll = [&]() {
        HRESULT lr_Result = D3D_OK;
        for (DWORD i = 0; i < lr_Locked.size(); ++i) {
            const HRESULT hr = texture->UnlockRect(i);
            if (SUCCEEDED(lr_Result)) lr_Result = hr;
        }
        lr_Locked.clear();
        return lr_Result;
    };
    for (DWORD lr_Index = 0; lr_Index < lr_Levels; ++lr_Index) {
        HRESULT hr = texture->GetLevelDesc(lr_Index, &lr_Descs[lr_Index]);
        D3DLOCKED_RECT lr_Rect{};
        if (SUCCEEDED(hr)) hr = texture->LockRect(lr_Index, &lr_Rect, nullptr, 0);
        if (FAILED(hr)) {
            lr_UnlockAll();
            return hr;
        }
        lr_Locked.push_back(lr_Rect);
        if (!lr_Rect.pBits) {
            lr_UnlockAll();
            return D3DERR_INVALIDCALL;
        }
    }

    // Built from the last level up, each stage feeding the one after it.
    std::vector<std::unique_ptr<LevelWriter>> lr_Writers(lr_Levels);
    std::vector<std::unique_ptr<ImageRowScaler>> lr_Scalers(lr_Levels);
    for (DWORD i = lr_Levels; i-- > 0;) {
        IImageRowSink* lr_Next = i + 1 < lr_Levels ? lr_Scalers[i + 1].get() : nullptr;
        lr_Writers[i] = std::make_unique<LevelWriter>(lr_Locked[i], lr_Descs[i].Width, format, lr_Next);
        const UINT lr_FromWidth = i == 0 ? image.Width : lr_Descs[i - 1].Width;
        const UINT lr_FromHeight = i == 0 ? image.Height : lr_Descs[i - 1].Height;
        lr_Scalers[i] =
            std::make_unique<ImageRowScaler>(lr_FromWidth, lr_FromHeight, lr_Descs[i].Width, lr_Descs[i].Height,
                                             i == 0 ? filter : mipFilter, *lr_Writers[i]);
    }
    std::unique_ptr<ColourKeyRows> lr_Keyed;
    IImageRowSink* lr_Input = lr_Scalers[0].get();
    if (colourKey != 0) {
        lr_Keyed = std::make_unique<ColourKeyRows>(colourKey, image.Width, *lr_Scalers[0]);
        lr_Input = lr_Keyed.get();
    }
    HRESULT hr = decode(*lr_Input);
    if (SUCCEEDED(hr))
        for (auto& lr_Scaler : lr_Scalers) lr_Scaler->Finish();
    const HRESULT lr_Unlocked = lr_UnlockAll();
    return FAILED(hr) ? hr : lr_Unlocked;
}

// The low word names the filter; the flags above it are accepted. Of them
// only dithering could change a result, and it is not done: conversions to
// fewer bits round each channel to nearest instead.
bool IsValidFilter(DWORD filter) {
    const DWORD lr_Kind = filter & 0xffff;
    return lr_Kind >= D3DX_FILTER_NONE && lr_Kind <= D3DX_FILTER_BOX;
}

}  // namespace

HRESULT CreateTextureFromImage(IDirect3DDevice9* device, const BmpImage& image, const ImageDecoder& decode,
                               const TextureRequest& request, IDirect3DTexture9** texture) {
    *texture = nullptr;
    const DWORD lr_Filter =
        request.Filter == D3DX_DEFAULT ? (D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER) : request.Filter;
    const DWORD lr_MipFilter = request.MipFilter == D3DX_DEFAULT ? D3DX_FILTER_BOX : request.MipFilter;
    if (!IsValidFilter(lr_Filter) || !IsValidFilter(lr_MipFilter)) return D3DERR_INVALIDCALL;

    D3DCAPS9 lr_Caps{};
    const bool lr_HaveCaps = SUCCEEDED(device->GetDeviceCaps(&lr_Caps));

    // A device with conditional non-power-of-two support takes such sizes
    // only for single-level textures.
    const bool lr_SingleLevel = request.MipLevels == 1 || request.MipLevels == D3DX_FROM_FILE ||
                                (lr_HaveCaps && !(lr_Caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP));
    const bool lr_Pow2Only = lr_HaveCaps && (lr_Caps.TextureCaps & D3DPTEXTURECAPS_POW2) &&
                             !((lr_Caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) && lr_SingleLevel &&
                               !(request.Usage & D3DUSAGE_AUTOGENMIPMAP));
    const SideRule lr_WidthRule = RuleFor(request.Width);
    const SideRule lr_HeightRule = RuleFor(request.Height);
    UINT lr_Width = SideSize(lr_WidthRule, request.Width, image.Width, lr_Pow2Only);
    UINT lr_Height = SideSize(lr_HeightRule, request.Height, image.Height, lr_Pow2Only);
    if (lr_HaveCaps) {
        if (lr_Caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) lr_Width = lr_Height = std::max(lr_Width, lr_Height);
        if (lr_Caps.MaxTextureWidth) lr_Width = std::min<UINT>(lr_Width, lr_Caps.MaxTextureWidth);
        if (lr_Caps.MaxTextureHeight) lr_Height = std::min<UINT>(lr_Height, lr_Caps.MaxTextureHeight);
    }
    // A side asked for exactly as in the file is not bent to fit the device.
    const bool lr_WidthMoved = lr_WidthRule == SideRule::FileExact && lr_Width != image.Width;
    const bool lr_HeightMoved = lr_HeightRule == SideRule::FileExact && lr_Height != image.Height;
    const bool lr_ExactNotPow2 = (lr_WidthRule == SideRule::FileExact && !IsPowerOfTwo(lr_Width)) ||
                                 (lr_HeightRule == SideRule::FileExact && !IsPowerOfTwo(lr_Height));
    if (lr_WidthMoved || lr_HeightMoved || (lr_Pow2Only && lr_ExactNotPow2)) return D3DERR_NOTAVAILABLE;

    const UINT lr_Full = FullChainLength(lr_Width, lr_Height);
    UINT lr_Levels;
    if (request.MipLevels == 0 || request.MipLevels == D3DX_DEFAULT)
        lr_Levels = lr_Full;
    else if (request.MipLevels == D3DX_FROM_FILE)
        lr_Levels = 1;
    else
        lr_Levels = std::min(request.MipLevels, lr_Full);
    if (lr_HaveCaps && !(lr_Caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) lr_Levels = 1;
    // An automatically generated chain is the device's: it gets one level to fill.
    if (request.Usage & D3DUSAGE_AUTOGENMIPMAP) lr_Levels = 0;

    const D3DFORMAT lr_Format = ChooseFormat(device, image, request);

    IDirect3DTexture9* lr_Texture = nullptr;
    HRESULT hr = device->CreateTexture(lr_Width, lr_Height, lr_Levels, request.Usage, lr_Format, request.Pool,
                                       &lr_Texture, nullptr);
    if (FAILED(hr)) return hr;
    if (!lr_Texture) return D3DERR_INVALIDCALL;

    if (request.Pool == D3DPOOL_DEFAULT && !(request.Usage & D3DUSAGE_DYNAMIC)) {
        // Default-pool textures cannot be locked: fill a system-memory copy
        // and let the device upload it.
        IDirect3DTexture9* lr_Staging = nullptr;
        hr = device->CreateTexture(lr_Width, lr_Height, lr_Texture->GetLevelCount(), 0, lr_Format, D3DPOOL_SYSTEMMEM,
                                   &lr_Staging, nullptr);
        if (SUCCEEDED(hr) && !lr_Staging) hr = D3DERR_INVALIDCALL;
        if (SUCCEEDED(hr))
            hr = FillLevels(lr_Staging, image, decode, request.ColorKey, lr_Format, lr_Filter, lr_MipFilter);
        if (SUCCEEDED(hr)) hr = device->UpdateTexture(lr_Staging, lr_Texture);
        if (lr_Staging) lr_Staging->Release();
    } else {
        hr = FillLevels(lr_Texture, image, decode, request.ColorKey, lr_Format, lr_Filter, lr_MipFilter);
    }
    if (FAILED(hr)) {
        lr_Texture->Release();
        return hr;
    }
    *texture = lr_Texture;
    return D3D_OK;
}

}  // namespace softd3dx
