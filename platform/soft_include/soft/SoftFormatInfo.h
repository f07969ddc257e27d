// The sizes and kinds of the pixel formats: bytes a pixel (or a compressed
// block) takes, and which formats hold depth or stencil. The device and the
// D3DX texture loaders both size their pixels with it.
#pragma once

#include <d3d9.h>

struct SoftFormatInfo {
    UINT BytesPerPixel;  // 0 for formats the device cannot hold
    UINT BlockBytes;     // compressed formats: bytes per 4x4 block, else 0
    bool Depth;          // depth (or stencil) format
    bool Stencil;
    bool LockableDepth;  // depth formats an application may lock
    bool FourCC;
};

namespace soft_format_detail {

enum FormatFlag : unsigned { k_Depth = 1, k_Stencil = 2, k_LockableDepth = 4, k_FourCC = 8 };

inline SoftFormatInfo Info(UINT bytesPerPixel, unsigned flags = 0) {
    return SoftFormatInfo{
        bytesPerPixel,          0, (flags & k_Depth) != 0, (flags & k_Stencil) != 0, (flags & k_LockableDepth) != 0,
        (flags & k_FourCC) != 0};
}

// Compressed formats: bytes per 4x4 block.
inline SoftFormatInfo Block(UINT blockBytes) { return SoftFormatInfo{0, blockBytes, false, false, false, true}; }

}  // namespace soft_format_detail

inline SoftFormatInfo SoftGetFormatInfo(D3DFORMAT format) {
    using namespace soft_format_detail;
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_G16R16:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_X8L8V8U8:
    case D3DFMT_Q8W8V8U8:
    case D3DFMT_V16U16:
    case D3DFMT_A2W10V10U10:
    case D3DFMT_G16R16F:
    case D3DFMT_R32F:
    case D3DFMT_A2B10G10R10_XR_BIAS: return Info(4);
    case D3DFMT_R8G8B8: return Info(3);
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8P8:
    case D3DFMT_A8L8:
    case D3DFMT_V8U8:
    case D3DFMT_L6V5U5:
    case D3DFMT_L16:
    case D3DFMT_R16F:
    case D3DFMT_CxV8U8: return Info(2);
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_P8:
    case D3DFMT_L8:
    case D3DFMT_A4L4: return Info(1);
    case D3DFMT_A16B16G16R16:
    case D3DFMT_Q16W16V16U16:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_G32R32F: return Info(8);
    case D3DFMT_A32B32G32R32F: return Info(16);
    case D3DFMT_DXT1: return Block(8);
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5: return Block(16);
    case D3DFMT_UYVY:
    case D3DFMT_YUY2:
    case D3DFMT_R8G8_B8G8:
    case D3DFMT_G8R8_G8B8: return Info(2, k_FourCC);
    case D3DFMT_D16_LOCKABLE: return Info(2, k_Depth | k_LockableDepth);
    case D3DFMT_D16: return Info(2, k_Depth);
    case D3DFMT_D15S1: return Info(2, k_Depth | k_Stencil);
    case D3DFMT_D32:
    case D3DFMT_D24X8: return Info(4, k_Depth);
    case D3DFMT_D24S8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D24FS8: return Info(4, k_Depth | k_Stencil);
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D32_LOCKABLE: return Info(4, k_Depth | k_LockableDepth);
    case D3DFMT_S8_LOCKABLE: return Info(1, k_Depth | k_Stencil | k_LockableDepth);
    default:
        // Formats defined outside the enumeration: no case labels for them.
        if (format == D3DFMT_INTZ || format == D3DFMT_RAWZ) return Info(4, k_Depth | k_Stencil | k_FourCC);
        if (format == D3DFMT_DF24) return Info(4, k_Depth | k_FourCC);
        if (format == D3DFMT_DF16) return Info(2, k_Depth | k_FourCC);
        // A render target that takes no memory; held as 1 byte per pixel.
        if (format == D3DFMT_NULL) return Info(1, k_FourCC);
        return Info(0);
    }
}
