// Fuzzes the D3DX BMP reader: image information from memory, and the full
// decode-and-upload path onto the software device. Checks that whatever the
// information reader accepts and the loader turns into a texture agrees
// with it, and that no texture outlives a failed load. Images too large for
// a texture of their own size are scaled into a small one, which the
// loader does without holding the image.
#include "FuzzDevice.h"

#include <d3dx9.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

UINT NextPowerOfTwo(UINT value) {
    UINT lr_Power = 1;
    while (lr_Power < value) lr_Power <<= 1;
    return lr_Power;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 20)) return 0;
    const UINT lr_Size = static_cast<UINT>(size);

    D3DXIMAGE_INFO lr_Info{};
    const HRESULT lr_InfoResult = D3DXGetImageInfoFromFileInMemory(data, lr_Size, &lr_Info);
    if (FAILED(lr_InfoResult) && lr_InfoResult != D3DXERR_INVALIDDATA) __builtin_trap();
    const bool lr_Large =
        SUCCEEDED(lr_InfoResult) && static_cast<uint64_t>(lr_Info.Width) * lr_Info.Height > (1u << 18);

    FuzzDevice lr_Device;
    const bool lr_Pow2 = (size & 1) != 0;
    D3DCAPS9 lr_Caps;
    lr_Device.mr_Device_->GetDeviceCaps(&lr_Caps);
    if (lr_Pow2)  // exercises the caps path
        lr_Device.mr_Control_->SetTextureCaps(lr_Caps.TextureCaps | D3DPTEXTURECAPS_POW2, lr_Caps.MaxTextureWidth,
                                              lr_Caps.MaxTextureHeight);
    // Rows padded to 1 to 128 bytes.
    lr_Device.mr_Control_->SetRowPitchAlignment(1u << (size % 8));
    // Large images go into a texture of 1 to 64 texels a side, by area or point sampling.
    const UINT lr_Width = 1 + static_cast<UINT>(size % 64), lr_Height = 1 + static_cast<UINT>((size / 64) % 64);
    const DWORD lr_Filter = (size & 2) ? D3DX_FILTER_POINT : D3DX_FILTER_BOX;
    IDirect3DTexture9* lr_Texture = nullptr;
    const HRESULT lr_Result =
        lr_Large ? D3DXCreateTextureFromFileInMemoryEx(lr_Device.mr_Device_, data, lr_Size, lr_Width, lr_Height,
                                                       D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, lr_Filter,
                                                       D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Texture)
                 : D3DXCreateTextureFromFileInMemory(lr_Device.mr_Device_, data, lr_Size, &lr_Texture);
    if (SUCCEEDED(lr_Result)) {
        // The loader never accepts what the information reader refuses.
        if (FAILED(lr_InfoResult) || !lr_Texture) __builtin_trap();
        D3DSURFACE_DESC lr_Desc{};
        if (FAILED(lr_Texture->GetLevelDesc(0, &lr_Desc))) __builtin_trap();
        // Default sizes are the file's, rounded up to powers of two on every
        // device and kept within its largest texture; given ones are rounded
        // only where the device needs it.
        const UINT lr_WantWidth = lr_Large ? (lr_Pow2 ? NextPowerOfTwo(lr_Width) : lr_Width)
                                           : std::min(NextPowerOfTwo(lr_Info.Width), lr_Caps.MaxTextureWidth);
        const UINT lr_WantHeight = lr_Large ? (lr_Pow2 ? NextPowerOfTwo(lr_Height) : lr_Height)
                                            : std::min(NextPowerOfTwo(lr_Info.Height), lr_Caps.MaxTextureHeight);
        if (lr_Desc.Width != lr_WantWidth || lr_Desc.Height != lr_WantHeight) __builtin_trap();
        lr_Texture->Release();
    } else if (lr_Texture != nullptr || lr_Result != D3DXERR_INVALIDDATA) {
        __builtin_trap();
    }
    // lr_Device traps if a texture outlived the load.
    return 0;
}
