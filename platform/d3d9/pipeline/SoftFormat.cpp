#include "pipeline/SoftFormat.h"

#include <cmath>
#include <cstring>

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

}  // namespace

bool SoftEncodeColor(D3DFORMAT format, D3DCOLOR color, BYTE* pixel) {
    float lr_Rgba[4] = {((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
                        ((color >> 24) & 0xFF) / 255.0f};
    return SoftEncodePixel(format, lr_Rgba, pixel);
}

bool SoftEncodeDepthStencil(D3DFORMAT format, float z, DWORD stencil, BYTE* pixel) {
    if (!(z >= 0.0f)) z = 0.0f;
    if (z > 1.0f) z = 1.0f;
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: StoreD16(pixel, z); return true;
    case D3DFMT_D15S1:
        Store16(pixel, (static_cast<DWORD>(std::lround(z * 32767.0f)) << 1) | (stencil & 1u));
        return true;
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4: StoreD24S8(pixel, z, stencil); return true;
    case D3DFMT_D32:
    case D3DFMT_D32_LOCKABLE:
        Store32(pixel, static_cast<DWORD>(std::llround(static_cast<double>(z) * 4294967295.0)));
        return true;
    case D3DFMT_D32F_LOCKABLE: std::memcpy(pixel, &z, 4); return true;
    case D3DFMT_D24FS8: {
        // Stored here as the float's top 24 bits above the stencil byte.
        DWORD lr_Bits;
        std::memcpy(&lr_Bits, &z, 4);
        Store32(pixel, (lr_Bits & 0xFFFFFF00u) | (stencil & 0xFFu));
        return true;
    }
    case D3DFMT_S8_LOCKABLE: pixel[0] = static_cast<BYTE>(stencil); return true;
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

// Half precision -------------------------------------------------------------

WORD SoftFloatToHalf(float value) {
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &value, 4);
    DWORD lr_Sign = (lr_Bits >> 16) & 0x8000u;
    DWORD lr_Abs = lr_Bits & 0x7FFFFFFFu;
    if (lr_Abs >= 0x7F800000u) return static_cast<WORD>(lr_Sign | 0x7C00u | (lr_Abs > 0x7F800000u ? 0x200u : 0u));
    // 65520 lies halfway between 65504 (odd mantissa) and infinity: it and all above round up.
    if (lr_Abs >= 0x477FF000u) return static_cast<WORD>(lr_Sign | 0x7C00u);
    DWORD lr_Exponent = lr_Abs >> 23;
    DWORD lr_Result, lr_Rest, lr_Halfway;
    if (lr_Exponent < 113) {
        // Below the smallest normal half: a multiple of 2^-24.
        if (lr_Exponent < 102) return static_cast<WORD>(lr_Sign);
        DWORD lr_Mantissa = (lr_Abs & 0x7FFFFFu) | 0x800000u;
        DWORD lr_Shift = 126 - lr_Exponent;
        lr_Result = lr_Mantissa >> lr_Shift;
        lr_Rest = lr_Mantissa & ((1u << lr_Shift) - 1);
        lr_Halfway = 1u << (lr_Shift - 1);
    } else {
        lr_Result = ((lr_Exponent - 112) << 10) | ((lr_Abs & 0x7FFFFFu) >> 13);
        lr_Rest = lr_Abs & 0x1FFFu;
        lr_Halfway = 0x1000u;
    }
    // A carry out of the mantissa steps the exponent, which is the right result.
    if (lr_Rest > lr_Halfway || (lr_Rest == lr_Halfway && (lr_Result & 1u))) ++lr_Result;
    return static_cast<WORD>(lr_Sign | lr_Result);
}

float SoftHalfToFloat(WORD half) {
    DWORD lr_Sign = static_cast<DWORD>(half & 0x8000u) << 16;
    DWORD lr_Exponent = (half >> 10) & 0x1Fu;
    DWORD lr_Mantissa = half & 0x3FFu;
    if (lr_Exponent == 0) {
        float lr_Value = static_cast<float>(lr_Mantissa) * (1.0f / 16777216.0f);
        return lr_Sign ? -lr_Value : lr_Value;
    }
    DWORD lr_Bits = lr_Exponent == 31 ? (lr_Sign | 0x7F800000u | (lr_Mantissa << 13))
                                      : (lr_Sign | ((lr_Exponent + 112) << 23) | (lr_Mantissa << 13));
    float lr_Value;
    std::memcpy(&lr_Value, &lr_Bits, 4);
    return lr_Value;
}

// Colour codecs --------------------------------------------------------------

namespace {

struct Unorm8Table {
    float Values[256];
    constexpr Unorm8Table() : Values() {
        for (int i = 0; i < 256; ++i) Values[i] = static_cast<float>(i) / 255.0f;
    }
};
constexpr Unorm8Table k_Unorm8{};

template <unsigned Bits>
float FromUnorm(DWORD value) {
    if constexpr (Bits == 8)
        return k_Unorm8.Values[value & 0xFFu];
    else
        return static_cast<float>(value) / static_cast<float>((1ull << Bits) - 1);
}

// Clamped to [0, 1] (NaN reads 0), scaled in float and rounded to the
// nearest step, halves to even, as Direct3D 10's conversion rules say and
// Wine's Direct3D 9 does: 1 - 3 * 0.1f scales to 178.5 and stores 178, 0.9f
// to 229.5 and stores 230. The fraction after truncation is exact.
template <unsigned Bits>
DWORD ToUnorm(float value) {
    constexpr DWORD k_Max = static_cast<DWORD>((1ull << Bits) - 1);
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return k_Max;
    const float lr_Scaled = value * static_cast<float>(k_Max);
    const DWORD lr_Floor = static_cast<DWORD>(lr_Scaled);
    const float lr_Fraction = lr_Scaled - static_cast<float>(lr_Floor);
    return lr_Floor + (lr_Fraction > 0.5f || (lr_Fraction == 0.5f && (lr_Floor & 1u)) ? 1u : 0u);
}

template <class Word>
Word Load(const BYTE* pixel) {
    Word lr_Word;
    std::memcpy(&lr_Word, pixel, sizeof(Word));
    return lr_Word;
}

template <class Word>
void Store(BYTE* pixel, Word word) {
    std::memcpy(pixel, &word, sizeof(Word));
}

// UNORM channels packed in one word: shift and width per channel (width 0:
// missing, reads 1), and the X bits written as ones.
template <class Word, unsigned RS, unsigned RB, unsigned GS, unsigned GB, unsigned BS, unsigned BB, unsigned AS,
          unsigned AB, DWORD XMask = 0>
struct Packed {
    template <unsigned S, unsigned B>
    static float Get(DWORD word) {
        if constexpr (B == 0)
            return 1.0f;
        else
            return FromUnorm<B>((word >> S) & ((1u << B) - 1));
    }
    template <unsigned S, unsigned B>
    static DWORD Put(float value) {
        if constexpr (B == 0)
            return 0u;
        else
            return ToUnorm<B>(value) << S;
    }
    static void Decode(const BYTE* pixel, float rgba[4]) {
        DWORD lr_Word = Load<Word>(pixel);
        rgba[0] = Get<RS, RB>(lr_Word);
        rgba[1] = Get<GS, GB>(lr_Word);
        rgba[2] = Get<BS, BB>(lr_Word);
        rgba[3] = Get<AS, AB>(lr_Word);
    }
    static void Encode(const float rgba[4], BYTE* pixel) {
        DWORD lr_Word =
            XMask | Put<RS, RB>(rgba[0]) | Put<GS, GB>(rgba[1]) | Put<BS, BB>(rgba[2]) | Put<AS, AB>(rgba[3]);
        Store<Word>(pixel, static_cast<Word>(lr_Word));
    }
};

// Luminance (and alpha) in one word: luminance fills r, g and b.
template <class Word, unsigned LB, unsigned AS, unsigned AB>
struct Luminance {
    static void Decode(const BYTE* pixel, float rgba[4]) {
        DWORD lr_Word = Load<Word>(pixel);
        rgba[0] = rgba[1] = rgba[2] = FromUnorm<LB>(lr_Word & ((1u << LB) - 1));
        rgba[3] = 1.0f;
        if constexpr (AB != 0) rgba[3] = FromUnorm<AB>((lr_Word >> AS) & ((1u << AB) - 1));
    }
    static void Encode(const float rgba[4], BYTE* pixel) {
        DWORD lr_Word = ToUnorm<LB>(rgba[0]);
        if constexpr (AB != 0) lr_Word |= ToUnorm<AB>(rgba[3]) << AS;
        Store<Word>(pixel, static_cast<Word>(lr_Word));
    }
};

struct Alpha8 {
    static void Decode(const BYTE* pixel, float rgba[4]) {
        rgba[0] = rgba[1] = rgba[2] = 0.0f;
        rgba[3] = FromUnorm<8>(pixel[0]);
    }
    static void Encode(const float rgba[4], BYTE* pixel) { pixel[0] = static_cast<BYTE>(ToUnorm<8>(rgba[3])); }
};

// Bytes B, G, R.
struct Rgb888 {
    static void Decode(const BYTE* pixel, float rgba[4]) {
        rgba[0] = FromUnorm<8>(pixel[2]);
        rgba[1] = FromUnorm<8>(pixel[1]);
        rgba[2] = FromUnorm<8>(pixel[0]);
        rgba[3] = 1.0f;
    }
    static void Encode(const float rgba[4], BYTE* pixel) {
        pixel[0] = static_cast<BYTE>(ToUnorm<8>(rgba[2]));
        pixel[1] = static_cast<BYTE>(ToUnorm<8>(rgba[1]));
        pixel[2] = static_cast<BYTE>(ToUnorm<8>(rgba[0]));
    }
};

// N 16-bit UNORM channels in R, G, B, A order.
template <unsigned N>
struct Unorm16 {
    static void Decode(const BYTE* pixel, float rgba[4]) {
        for (unsigned i = 0; i < 4; ++i) rgba[i] = i < N ? FromUnorm<16>(Load<WORD>(pixel + 2 * i)) : 1.0f;
    }
    static void Encode(const float rgba[4], BYTE* pixel) {
        for (unsigned i = 0; i < N; ++i) Store<WORD>(pixel + 2 * i, static_cast<WORD>(ToUnorm<16>(rgba[i])));
    }
};

template <unsigned N>
struct Half {
    static void Decode(const BYTE* pixel, float rgba[4]) {
        for (unsigned i = 0; i < 4; ++i) rgba[i] = i < N ? SoftHalfToFloat(Load<WORD>(pixel + 2 * i)) : 1.0f;
    }
    static void Encode(const float rgba[4], BYTE* pixel) {
        for (unsigned i = 0; i < N; ++i) Store<WORD>(pixel + 2 * i, SoftFloatToHalf(rgba[i]));
    }
};

template <unsigned N>
struct Float32 {
    static void Decode(const BYTE* pixel, float rgba[4]) {
        std::memcpy(rgba, pixel, 4 * N);
        for (unsigned i = N; i < 4; ++i) rgba[i] = 1.0f;
    }
    static void Encode(const float rgba[4], BYTE* pixel) { std::memcpy(pixel, rgba, 4 * N); }
};

template <class Codec>
SoftPixelCodec Make(UINT bytesPerPixel) {
    return SoftPixelCodec{&Codec::Decode, &Codec::Encode, bytesPerPixel};
}

}  // namespace

SoftPixelCodec SoftGetPixelCodec(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8: return Make<Packed<DWORD, 16, 8, 8, 8, 0, 8, 24, 8>>(4);
    case D3DFMT_X8R8G8B8: return Make<Packed<DWORD, 16, 8, 8, 8, 0, 8, 0, 0, 0xFF000000u>>(4);
    case D3DFMT_A8B8G8R8: return Make<Packed<DWORD, 0, 8, 8, 8, 16, 8, 24, 8>>(4);
    case D3DFMT_X8B8G8R8: return Make<Packed<DWORD, 0, 8, 8, 8, 16, 8, 0, 0, 0xFF000000u>>(4);
    case D3DFMT_A2R10G10B10: return Make<Packed<DWORD, 20, 10, 10, 10, 0, 10, 30, 2>>(4);
    case D3DFMT_A2B10G10R10: return Make<Packed<DWORD, 0, 10, 10, 10, 20, 10, 30, 2>>(4);
    case D3DFMT_G16R16: return Make<Unorm16<2>>(4);
    case D3DFMT_A16B16G16R16: return Make<Unorm16<4>>(8);
    case D3DFMT_R8G8B8: return Make<Rgb888>(3);
    case D3DFMT_R5G6B5: return Make<Packed<WORD, 11, 5, 5, 6, 0, 5, 0, 0>>(2);
    case D3DFMT_X1R5G5B5: return Make<Packed<WORD, 10, 5, 5, 5, 0, 5, 0, 0, 0x8000u>>(2);
    case D3DFMT_A1R5G5B5: return Make<Packed<WORD, 10, 5, 5, 5, 0, 5, 15, 1>>(2);
    case D3DFMT_A4R4G4B4: return Make<Packed<WORD, 8, 4, 4, 4, 0, 4, 12, 4>>(2);
    case D3DFMT_X4R4G4B4: return Make<Packed<WORD, 8, 4, 4, 4, 0, 4, 0, 0, 0xF000u>>(2);
    case D3DFMT_A8R3G3B2: return Make<Packed<WORD, 5, 3, 2, 3, 0, 2, 8, 8>>(2);
    case D3DFMT_R3G3B2: return Make<Packed<BYTE, 5, 3, 2, 3, 0, 2, 0, 0>>(1);
    case D3DFMT_L8: return Make<Luminance<BYTE, 8, 0, 0>>(1);
    case D3DFMT_A8L8: return Make<Luminance<WORD, 8, 8, 8>>(2);
    case D3DFMT_A4L4: return Make<Luminance<BYTE, 4, 4, 4>>(1);
    case D3DFMT_L16: return Make<Luminance<WORD, 16, 0, 0>>(2);
    case D3DFMT_A8: return Make<Alpha8>(1);
    case D3DFMT_R16F: return Make<Half<1>>(2);
    case D3DFMT_G16R16F: return Make<Half<2>>(4);
    case D3DFMT_A16B16G16R16F: return Make<Half<4>>(8);
    case D3DFMT_R32F: return Make<Float32<1>>(4);
    case D3DFMT_G32R32F: return Make<Float32<2>>(8);
    case D3DFMT_A32B32G32R32F: return Make<Float32<4>>(16);
    default: return SoftPixelCodec{nullptr, nullptr, SoftGetFormatInfo(format).BytesPerPixel};
    }
}

bool SoftDecodePixel(D3DFORMAT format, const BYTE* pixel, float rgba[4]) {
    SoftPixelCodec lr_Codec = SoftGetPixelCodec(format);
    if (!lr_Codec.Decode) return false;
    lr_Codec.Decode(pixel, rgba);
    return true;
}

bool SoftEncodePixel(D3DFORMAT format, const float rgba[4], BYTE* pixel) {
    SoftPixelCodec lr_Codec = SoftGetPixelCodec(format);
    if (!lr_Codec.Encode) return false;
    lr_Codec.Encode(rgba, pixel);
    return true;
}

// Depth ----------------------------------------------------------------------

namespace {

enum class DepthLayout { None, Unorm16, Unorm15S1, Unorm24S8, Unorm32, Float32, Float24S8 };

DepthLayout LayoutOf(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: return DepthLayout::Unorm16;
    case D3DFMT_D15S1: return DepthLayout::Unorm15S1;
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4: return DepthLayout::Unorm24S8;
    case D3DFMT_D32:
    case D3DFMT_D32_LOCKABLE: return DepthLayout::Unorm32;
    case D3DFMT_D32F_LOCKABLE: return DepthLayout::Float32;
    case D3DFMT_D24FS8: return DepthLayout::Float24S8;
    default:
        if (format == D3DFMT_INTZ || format == D3DFMT_DF24 || format == D3DFMT_RAWZ) return DepthLayout::Unorm24S8;
        if (format == D3DFMT_DF16) return DepthLayout::Unorm16;
        return DepthLayout::None;
    }
}

}  // namespace

bool SoftDecodeDepth(D3DFORMAT format, const BYTE* pixel, float* depth) {
    switch (LayoutOf(format)) {
    case DepthLayout::Unorm16: *depth = Load<WORD>(pixel) / 65535.0f; return true;
    case DepthLayout::Unorm15S1: *depth = (Load<WORD>(pixel) >> 1) / 32767.0f; return true;
    case DepthLayout::Unorm24S8: *depth = static_cast<float>((Load<DWORD>(pixel) >> 8) / 16777215.0); return true;
    case DepthLayout::Unorm32: *depth = static_cast<float>(Load<DWORD>(pixel) / 4294967295.0); return true;
    case DepthLayout::Float32: *depth = Load<float>(pixel); return true;
    case DepthLayout::Float24S8: {
        DWORD lr_Bits = Load<DWORD>(pixel) & 0xFFFFFF00u;
        std::memcpy(depth, &lr_Bits, 4);
        return true;
    }
    case DepthLayout::None: break;
    }
    return false;
}

bool SoftEncodeDepth(D3DFORMAT format, float depth, BYTE* pixel) {
    if (!(depth >= 0.0f)) depth = 0.0f;
    if (depth > 1.0f) depth = 1.0f;
    switch (LayoutOf(format)) {
    case DepthLayout::Unorm16: Store<WORD>(pixel, static_cast<WORD>(ToUnorm<16>(depth))); return true;
    case DepthLayout::Unorm15S1:
        Store<WORD>(pixel, static_cast<WORD>((ToUnorm<15>(depth) << 1) | (Load<WORD>(pixel) & 1u)));
        return true;
    case DepthLayout::Unorm24S8:
        Store<DWORD>(pixel, (static_cast<DWORD>(std::llround(depth * 16777215.0)) << 8) | (Load<DWORD>(pixel) & 0xFFu));
        return true;
    case DepthLayout::Unorm32: Store<DWORD>(pixel, static_cast<DWORD>(std::llround(depth * 4294967295.0))); return true;
    case DepthLayout::Float32: Store<float>(pixel, depth); return true;
    case DepthLayout::Float24S8: {
        DWORD lr_Bits;
        std::memcpy(&lr_Bits, &depth, 4);
        Store<DWORD>(pixel, (lr_Bits & 0xFFFFFF00u) | (Load<DWORD>(pixel) & 0xFFu));
        return true;
    }
    case DepthLayout::None: break;
    }
    return false;
}
