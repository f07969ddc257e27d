#include "SoftFormat.h"

#include <cmath>
#include <cstring>

namespace {

enum FormatFlag : unsigned { k_Depth = 1, k_Stencil = 2, k_LockableDepth = 4, k_FourCC = 8 };

SoftFormatInfo Info(UINT bytesPerPixel, unsigned flags = 0) {
    return SoftFormatInfo{bytesPerPixel, 0, (flags & k_Depth) != 0, (flags & k_Stencil) != 0,
                          (flags & k_LockableDepth) != 0, (flags & k_FourCC) != 0};
}

// Compressed formats: bytes per 4x4 block.
SoftFormatInfo Block(UINT blockBytes) { return SoftFormatInfo{0, blockBytes, false, false, false, true}; }

}  // namespace

SoftFormatInfo SoftGetFormatInfo(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_A2B10G10R10: case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8: case D3DFMT_G16R16: case D3DFMT_A2R10G10B10: case D3DFMT_X8L8V8U8:
    case D3DFMT_Q8W8V8U8: case D3DFMT_V16U16: case D3DFMT_A2W10V10U10: case D3DFMT_G16R16F:
    case D3DFMT_R32F: case D3DFMT_A2B10G10R10_XR_BIAS:
        return Info(4);
    case D3DFMT_R8G8B8:
        return Info(3);
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2: case D3DFMT_X4R4G4B4: case D3DFMT_A8P8: case D3DFMT_A8L8: case D3DFMT_V8U8:
    case D3DFMT_L6V5U5: case D3DFMT_L16: case D3DFMT_R16F: case D3DFMT_CxV8U8:
        return Info(2);
    case D3DFMT_R3G3B2: case D3DFMT_A8: case D3DFMT_P8: case D3DFMT_L8: case D3DFMT_A4L4:
        return Info(1);
    case D3DFMT_A16B16G16R16: case D3DFMT_Q16W16V16U16: case D3DFMT_A16B16G16R16F: case D3DFMT_G32R32F:
        return Info(8);
    case D3DFMT_A32B32G32R32F:
        return Info(16);
    case D3DFMT_DXT1:
        return Block(8);
    case D3DFMT_DXT2: case D3DFMT_DXT3: case D3DFMT_DXT4: case D3DFMT_DXT5:
        return Block(16);
    case D3DFMT_UYVY: case D3DFMT_YUY2: case D3DFMT_R8G8_B8G8: case D3DFMT_G8R8_G8B8:
        return Info(2, k_FourCC);
    case D3DFMT_D16_LOCKABLE:
        return Info(2, k_Depth | k_LockableDepth);
    case D3DFMT_D16:
        return Info(2, k_Depth);
    case D3DFMT_D15S1:
        return Info(2, k_Depth | k_Stencil);
    case D3DFMT_D32: case D3DFMT_D24X8:
        return Info(4, k_Depth);
    case D3DFMT_D24S8: case D3DFMT_D24X4S4: case D3DFMT_D24FS8:
        return Info(4, k_Depth | k_Stencil);
    case D3DFMT_D32F_LOCKABLE: case D3DFMT_D32_LOCKABLE:
        return Info(4, k_Depth | k_LockableDepth);
    case D3DFMT_S8_LOCKABLE:
        return Info(1, k_Depth | k_Stencil | k_LockableDepth);
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

UINT SoftRowPitch(D3DFORMAT format, UINT width) {
    SoftFormatInfo lr_Info = SoftGetFormatInfo(format);
    if (lr_Info.BlockBytes) return ((width + 3) / 4) * lr_Info.BlockBytes;
    return width * lr_Info.BytesPerPixel;
}

UINT SoftRowCount(D3DFORMAT format, UINT height) {
    SoftFormatInfo lr_Info = SoftGetFormatInfo(format);
    if (lr_Info.BlockBytes) return (height + 3) / 4;
    return height;
}

namespace {

void Store16(BYTE* pixel, DWORD value) {
    WORD lr_Word = static_cast<WORD>(value);
    std::memcpy(pixel, &lr_Word, 2);
}

void Store32(BYTE* pixel, DWORD value) { std::memcpy(pixel, &value, 4); }

void StoreD16(BYTE* pixel, float z) { Store16(pixel, static_cast<DWORD>(std::lround(z * 65535.0f))); }

// 24 bits of depth above the stencil byte.
void StoreD24S8(BYTE* pixel, float z, DWORD stencil) {
    Store32(pixel, (static_cast<DWORD>(std::lround(static_cast<double>(z) * 16777215.0)) << 8) | (stencil & 0xFFu));
}

WORD FloatToHalf(float value) {
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &value, 4);
    DWORD lr_Sign = (lr_Bits >> 16) & 0x8000u;
    int lr_Exponent = static_cast<int>((lr_Bits >> 23) & 0xFF) - 127 + 15;
    DWORD lr_Mantissa = lr_Bits & 0x7FFFFFu;
    if (((lr_Bits >> 23) & 0xFF) == 0xFF) return static_cast<WORD>(lr_Sign | 0x7C00u | (lr_Mantissa ? 0x200u : 0u));
    if (lr_Exponent >= 31) return static_cast<WORD>(lr_Sign | 0x7C00u);
    if (lr_Exponent <= 0) {
        if (lr_Exponent < -10) return static_cast<WORD>(lr_Sign);
        lr_Mantissa |= 0x800000u;
        DWORD lr_Shift = static_cast<DWORD>(14 - lr_Exponent);
        DWORD lr_Half = lr_Mantissa >> lr_Shift;
        if ((lr_Mantissa >> (lr_Shift - 1)) & 1u) ++lr_Half;
        return static_cast<WORD>(lr_Sign | lr_Half);
    }
    DWORD lr_Half = lr_Sign | (static_cast<DWORD>(lr_Exponent) << 10) | (lr_Mantissa >> 13);
    if (lr_Mantissa & 0x1000u) ++lr_Half;
    return static_cast<WORD>(lr_Half);
}

}  // namespace

bool SoftEncodeColor(D3DFORMAT format, D3DCOLOR color, BYTE* pixel) {
    DWORD a = (color >> 24) & 0xFF, r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    float lr_Channels[4] = {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
    switch (format) {
    case D3DFMT_A8R8G8B8: Store32(pixel, color); return true;
    case D3DFMT_X8R8G8B8: Store32(pixel, color | 0xFF000000u); return true;
    case D3DFMT_A8B8G8R8: Store32(pixel, (a << 24) | (b << 16) | (g << 8) | r); return true;
    case D3DFMT_X8B8G8R8: Store32(pixel, 0xFF000000u | (b << 16) | (g << 8) | r); return true;
    case D3DFMT_R8G8B8: pixel[0] = static_cast<BYTE>(b); pixel[1] = static_cast<BYTE>(g); pixel[2] = static_cast<BYTE>(r); return true;
    case D3DFMT_R5G6B5: Store16(pixel, ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); return true;
    case D3DFMT_X1R5G5B5: Store16(pixel, 0x8000u | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); return true;
    case D3DFMT_A1R5G5B5: Store16(pixel, ((a >> 7) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)); return true;
    case D3DFMT_A4R4G4B4: Store16(pixel, ((a >> 4) << 12) | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4)); return true;
    case D3DFMT_X4R4G4B4: Store16(pixel, 0xF000u | ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4)); return true;
    case D3DFMT_A2R10G10B10:
        Store32(pixel, ((a >> 6) << 30) | ((r * 1023 / 255) << 20) | ((g * 1023 / 255) << 10) | (b * 1023 / 255));
        return true;
    case D3DFMT_A2B10G10R10:
        Store32(pixel, ((a >> 6) << 30) | ((b * 1023 / 255) << 20) | ((g * 1023 / 255) << 10) | (r * 1023 / 255));
        return true;
    case D3DFMT_A8: pixel[0] = static_cast<BYTE>(a); return true;
    case D3DFMT_L8: pixel[0] = static_cast<BYTE>(r); return true;
    case D3DFMT_G16R16: Store32(pixel, ((g * 257) << 16) | (r * 257)); return true;
    case D3DFMT_A16B16G16R16: {
        WORD lr_Words[4] = {static_cast<WORD>(r * 257), static_cast<WORD>(g * 257), static_cast<WORD>(b * 257),
                            static_cast<WORD>(a * 257)};
        std::memcpy(pixel, lr_Words, 8);
        return true;
    }
    case D3DFMT_R16F: { WORD h = FloatToHalf(lr_Channels[0]); std::memcpy(pixel, &h, 2); return true; }
    case D3DFMT_G16R16F: {
        WORD h[2] = {FloatToHalf(lr_Channels[0]), FloatToHalf(lr_Channels[1])};
        std::memcpy(pixel, h, 4);
        return true;
    }
    case D3DFMT_A16B16G16R16F: {
        WORD h[4] = {FloatToHalf(lr_Channels[0]), FloatToHalf(lr_Channels[1]), FloatToHalf(lr_Channels[2]),
                     FloatToHalf(lr_Channels[3])};
        std::memcpy(pixel, h, 8);
        return true;
    }
    case D3DFMT_R32F: std::memcpy(pixel, lr_Channels, 4); return true;
    case D3DFMT_G32R32F: std::memcpy(pixel, lr_Channels, 8); return true;
    case D3DFMT_A32B32G32R32F: std::memcpy(pixel, lr_Channels, 16); return true;
    default: return false;
    }
}

bool SoftEncodeDepthStencil(D3DFORMAT format, float z, DWORD stencil, BYTE* pixel) {
    if (!(z >= 0.0f)) z = 0.0f;
    if (z > 1.0f) z = 1.0f;
    switch (format) {
    case D3DFMT_D16: case D3DFMT_D16_LOCKABLE:
        StoreD16(pixel, z);
        return true;
    case D3DFMT_D15S1:
        Store16(pixel, (static_cast<DWORD>(std::lround(z * 32767.0f)) << 1) | (stencil & 1u));
        return true;
    case D3DFMT_D24S8: case D3DFMT_D24X8: case D3DFMT_D24X4S4:
        StoreD24S8(pixel, z, stencil);
        return true;
    case D3DFMT_D32: case D3DFMT_D32_LOCKABLE:
        Store32(pixel, static_cast<DWORD>(std::llround(static_cast<double>(z) * 4294967295.0)));
        return true;
    case D3DFMT_D32F_LOCKABLE:
        std::memcpy(pixel, &z, 4);
        return true;
    case D3DFMT_D24FS8: {
        // Stored here as the float's top 24 bits above the stencil byte.
        DWORD lr_Bits;
        std::memcpy(&lr_Bits, &z, 4);
        Store32(pixel, (lr_Bits & 0xFFFFFF00u) | (stencil & 0xFFu));
        return true;
    }
    case D3DFMT_S8_LOCKABLE:
        pixel[0] = static_cast<BYTE>(stencil);
        return true;
    default:
        if (format == D3DFMT_INTZ || format == D3DFMT_DF24 || format == D3DFMT_RAWZ) {
            StoreD24S8(pixel, z, stencil);
            return true;
        }
        if (format == D3DFMT_DF16) {
            StoreD16(pixel, z);
            return true;
        }
        return false;
    }
}

SoftChannelType SoftGetChannelType(D3DFORMAT format, UINT* channelCount) {
    switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_A8B8G8R8: case D3DFMT_X8B8G8R8:
        *channelCount = 4; return SoftChannelType::Unorm8;
    case D3DFMT_R8G8B8: *channelCount = 3; return SoftChannelType::Unorm8;
    case D3DFMT_A8L8: *channelCount = 2; return SoftChannelType::Unorm8;
    case D3DFMT_A8: case D3DFMT_L8: *channelCount = 1; return SoftChannelType::Unorm8;
    case D3DFMT_G16R16: *channelCount = 2; return SoftChannelType::Unorm16;
    case D3DFMT_A16B16G16R16: *channelCount = 4; return SoftChannelType::Unorm16;
    case D3DFMT_L16: *channelCount = 1; return SoftChannelType::Unorm16;
    case D3DFMT_R32F: *channelCount = 1; return SoftChannelType::Float32;
    case D3DFMT_G32R32F: *channelCount = 2; return SoftChannelType::Float32;
    case D3DFMT_A32B32G32R32F: *channelCount = 4; return SoftChannelType::Float32;
    default: *channelCount = 0; return SoftChannelType::None;
    }
}
