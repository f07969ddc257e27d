#include "texture/ImagePixelFormat.h"

#include <soft/SoftFormatInfo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace softd3dx {
namespace {

struct Channels {
    float A, R, G, B;  // 0..1
};

Channels Unpack(DWORD argb) {
    constexpr float k_Scale = 1.0f / 255.0f;
    return Channels{static_cast<float>(argb >> 24) * k_Scale, static_cast<float>((argb >> 16) & 0xff) * k_Scale,
                    static_cast<float>((argb >> 8) & 0xff) * k_Scale, static_cast<float>(argb & 0xff) * k_Scale};
}

// A channel of 0..255 rounded to `bits` bits.
DWORD Quantise(DWORD value8, UINT bits) {
    const DWORD lr_Max = (1u << bits) - 1;
    return (value8 * lr_Max + 127) / 255;
}

DWORD QuantiseFloat(float value, UINT bits) {
    const double lr_Max = static_cast<double>((1ull << bits) - 1);
    return static_cast<DWORD>(std::lround(std::clamp(static_cast<double>(value), 0.0, 1.0) * lr_Max));
}

float Luminance(const Channels& c) { return 0.2125f * c.R + 0.7154f * c.G + 0.0721f * c.B; }

void Store16(BYTE* dest, DWORD value) {
    dest[0] = static_cast<BYTE>(value);
    dest[1] = static_cast<BYTE>(value >> 8);
}

void Store32(BYTE* dest, DWORD value) { std::memcpy(dest, &value, 4); }

// One A8R8G8B8 pixel as `format`; false for a format not written here.
bool WritePixel(D3DFORMAT format, DWORD p, BYTE* dest) {
    const DWORD a = p >> 24, r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
    switch (format) {
    case D3DFMT_A8R8G8B8: Store32(dest, p); break;
    case D3DFMT_X8R8G8B8: Store32(dest, p | 0xff000000u); break;
    case D3DFMT_A8B8G8R8: Store32(dest, (a << 24) | (b << 16) | (g << 8) | r); break;
    case D3DFMT_X8B8G8R8: Store32(dest, 0xff000000u | (b << 16) | (g << 8) | r); break;
    case D3DFMT_R8G8B8:
        dest[0] = static_cast<BYTE>(b);
        dest[1] = static_cast<BYTE>(g);
        dest[2] = static_cast<BYTE>(r);
        break;
    case D3DFMT_R5G6B5: Store16(dest, (Quantise(r, 5) << 11) | (Quantise(g, 6) << 5) | Quantise(b, 5)); break;
    case D3DFMT_X1R5G5B5:
        Store16(dest, 0x8000u | (Quantise(r, 5) << 10) | (Quantise(g, 5) << 5) | Quantise(b, 5));
        break;
    case D3DFMT_A1R5G5B5:
        Store16(dest, (Quantise(a, 1) << 15) | (Quantise(r, 5) << 10) | (Quantise(g, 5) << 5) | Quantise(b, 5));
        break;
    case D3DFMT_A4R4G4B4:
        Store16(dest, (Quantise(a, 4) << 12) | (Quantise(r, 4) << 8) | (Quantise(g, 4) << 4) | Quantise(b, 4));
        break;
    case D3DFMT_X4R4G4B4:
        Store16(dest, 0xf000u | (Quantise(r, 4) << 8) | (Quantise(g, 4) << 4) | Quantise(b, 4));
        break;
    case D3DFMT_R3G3B2:
        dest[0] = static_cast<BYTE>((Quantise(r, 3) << 5) | (Quantise(g, 3) << 2) | Quantise(b, 2));
        break;
    case D3DFMT_A8R3G3B2:
        Store16(dest, (a << 8) | (Quantise(r, 3) << 5) | (Quantise(g, 3) << 2) | Quantise(b, 2));
        break;
    case D3DFMT_A8: dest[0] = static_cast<BYTE>(a); break;
    case D3DFMT_L8: dest[0] = static_cast<BYTE>(QuantiseFloat(Luminance(Unpack(p)), 8)); break;
    case D3DFMT_A4L4:
        dest[0] = static_cast<BYTE>((Quantise(a, 4) << 4) | QuantiseFloat(Luminance(Unpack(p)), 4));
        break;
    case D3DFMT_A8L8: Store16(dest, (a << 8) | QuantiseFloat(Luminance(Unpack(p)), 8)); break;
    case D3DFMT_L16: Store16(dest, QuantiseFloat(Luminance(Unpack(p)), 16)); break;
    case D3DFMT_A2R10G10B10: {
        const Channels c = Unpack(p);
        Store32(dest, (QuantiseFloat(c.A, 2) << 30) | (QuantiseFloat(c.R, 10) << 20) | (QuantiseFloat(c.G, 10) << 10) |
                          QuantiseFloat(c.B, 10));
        break;
    }
    case D3DFMT_A2B10G10R10: {
        const Channels c = Unpack(p);
        Store32(dest, (QuantiseFloat(c.A, 2) << 30) | (QuantiseFloat(c.B, 10) << 20) | (QuantiseFloat(c.G, 10) << 10) |
                          QuantiseFloat(c.R, 10));
        break;
    }
    case D3DFMT_G16R16: {
        const Channels c = Unpack(p);
        Store32(dest, (QuantiseFloat(c.G, 16) << 16) | QuantiseFloat(c.R, 16));
        break;
    }
    case D3DFMT_A16B16G16R16: {
        const Channels c = Unpack(p);
        Store16(dest, QuantiseFloat(c.R, 16));
        Store16(dest + 2, QuantiseFloat(c.G, 16));
        Store16(dest + 4, QuantiseFloat(c.B, 16));
        Store16(dest + 6, QuantiseFloat(c.A, 16));
        break;
    }
    case D3DFMT_R32F: {
        const Channels c = Unpack(p);
        std::memcpy(dest, &c.R, 4);
        break;
    }
    case D3DFMT_G32R32F: {
        const Channels c = Unpack(p);
        std::memcpy(dest, &c.R, 4);
        std::memcpy(dest + 4, &c.G, 4);
        break;
    }
    case D3DFMT_A32B32G32R32F: {
        const Channels c = Unpack(p);
        const float lr_Values[4] = {c.R, c.G, c.B, c.A};
        std::memcpy(dest, lr_Values, sizeof(lr_Values));
        break;
    }
    default: return false;
    }
    return true;
}

}  // namespace

UINT WritableFormatSize(D3DFORMAT format) {
    // The formats WritePixel writes; it writes at most 16 bytes.
    BYTE lr_Probe[16];
    return WritePixel(format, 0, lr_Probe) ? SoftGetFormatInfo(format).BytesPerPixel : 0;
}

bool FormatHasAlpha(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8:
    case D3DFMT_A4L4:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_A8L8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A16B16G16R16:
    case D3DFMT_A32B32G32R32F: return true;
    default: return false;
    }
}

void WritePixels(D3DFORMAT format, const DWORD* argb, UINT count, BYTE* dest) {
    const UINT lr_Size = WritableFormatSize(format);
    for (UINT i = 0; i < count; ++i, dest += lr_Size) WritePixel(format, argb[i], dest);
}

}  // namespace softd3dx
