#include "ImagePixelFormat.h"

#include <d3dx9tex.h>

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

}  // namespace

UINT WritableFormatSize(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
    case D3DFMT_R3G3B2: return 1;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_A8L8:
    case D3DFMT_L16: return 2;
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_G16R16:
    case D3DFMT_R32F: return 4;
    case D3DFMT_A16B16G16R16:
    case D3DFMT_G32R32F: return 8;
    case D3DFMT_A32B32G32R32F: return 16;
    default: return 0;
    }
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
    for (UINT i = 0; i < count; ++i, dest += lr_Size) {
        const DWORD p = argb[i];
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
            Store32(dest, (QuantiseFloat(c.A, 2) << 30) | (QuantiseFloat(c.R, 10) << 20) |
                              (QuantiseFloat(c.G, 10) << 10) | QuantiseFloat(c.B, 10));
            break;
        }
        case D3DFMT_A2B10G10R10: {
            const Channels c = Unpack(p);
            Store32(dest, (QuantiseFloat(c.A, 2) << 30) | (QuantiseFloat(c.B, 10) << 20) |
                              (QuantiseFloat(c.G, 10) << 10) | QuantiseFloat(c.R, 10));
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
        default: break;
        }
    }
}

namespace {

// Source intervals covered by each destination index along one axis, with
// the share of each source index.
struct AxisWeights {
    std::vector<UINT> First;      // first source index per destination index
    std::vector<UINT> Count;      // number of source indices
    std::vector<double> Weights;  // flattened, Count[d] per destination index
    std::vector<size_t> Start;    // offset into Weights per destination index
};

AxisWeights AreaWeights(UINT source, UINT dest) {
    AxisWeights lr_W;
    const double lr_Ratio = static_cast<double>(source) / dest;
    for (UINT d = 0; d < dest; ++d) {
        const double lr_Lo = d * lr_Ratio;
        const double lr_Hi = (d + 1) * lr_Ratio;
        const UINT lr_First = std::min(static_cast<UINT>(lr_Lo), source - 1);
        const UINT lr_Last = std::min(static_cast<UINT>(std::ceil(lr_Hi)), source);
        lr_W.First.push_back(lr_First);
        lr_W.Start.push_back(lr_W.Weights.size());
        UINT lr_Count = 0;
        for (UINT s = lr_First; s < std::max(lr_Last, lr_First + 1); ++s) {
            const double lr_Overlap = std::min<double>(s + 1, lr_Hi) - std::max<double>(s, lr_Lo);
            lr_W.Weights.push_back(std::max(lr_Overlap, 0.0) / lr_Ratio);
            ++lr_Count;
        }
        lr_W.Count.push_back(lr_Count);
    }
    return lr_W;
}

}  // namespace

PixelImage ResizeImage(const PixelImage& source, UINT width, UINT height, DWORD filter) {
    PixelImage lr_Out;
    lr_Out.Width = width;
    lr_Out.Height = height;
    lr_Out.Pixels.assign(static_cast<size_t>(width) * height, 0);
    if (source.Width == width && source.Height == height) {
        lr_Out.Pixels = source.Pixels;
        return lr_Out;
    }
    const DWORD lr_Kind = filter & 0xffff;
    if (lr_Kind == D3DX_FILTER_NONE) {
        for (UINT y = 0; y < std::min(height, source.Height); ++y)
            for (UINT x = 0; x < std::min(width, source.Width); ++x)
                lr_Out.Pixels[static_cast<size_t>(y) * width + x] =
                    source.Pixels[static_cast<size_t>(y) * source.Width + x];
        return lr_Out;
    }
    if (lr_Kind == D3DX_FILTER_POINT) {
        for (UINT y = 0; y < height; ++y) {
            const UINT lr_Sy = static_cast<UINT>((static_cast<uint64_t>(y) * source.Height) / height);
            for (UINT x = 0; x < width; ++x) {
                const UINT lr_Sx = static_cast<UINT>((static_cast<uint64_t>(x) * source.Width) / width);
                lr_Out.Pixels[static_cast<size_t>(y) * width + x] =
                    source.Pixels[static_cast<size_t>(lr_Sy) * source.Width + lr_Sx];
            }
        }
        return lr_Out;
    }
    const AxisWeights lr_X = AreaWeights(source.Width, width);
    const AxisWeights lr_Y = AreaWeights(source.Height, height);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            double lr_Sum[4] = {0, 0, 0, 0};
            for (UINT j = 0; j < lr_Y.Count[y]; ++j) {
                const double lr_Wy = lr_Y.Weights[lr_Y.Start[y] + j];
                const DWORD* lr_Row = source.Pixels.data() + static_cast<size_t>(lr_Y.First[y] + j) * source.Width;
                for (UINT i = 0; i < lr_X.Count[x]; ++i) {
                    const double lr_W = lr_Wy * lr_X.Weights[lr_X.Start[x] + i];
                    const DWORD p = lr_Row[lr_X.First[x] + i];
                    for (int c = 0; c < 4; ++c) lr_Sum[c] += lr_W * ((p >> (8 * c)) & 0xff);
                }
            }
            DWORD lr_Pixel = 0;
            for (int c = 0; c < 4; ++c)
                lr_Pixel |= static_cast<DWORD>(std::clamp(std::lround(lr_Sum[c]), 0L, 255L)) << (8 * c);
            lr_Out.Pixels[static_cast<size_t>(y) * width + x] = lr_Pixel;
        }
    }
    return lr_Out;
}

}  // namespace softd3dx
