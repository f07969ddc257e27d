#include "texture/ImageBmpReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace softd3dx {
namespace {

// Compression codes of BITMAPINFOHEADER.
constexpr DWORD k_BiRgb = 0;
constexpr DWORD k_BiRle8 = 1;
constexpr DWORD k_BiRle4 = 2;
constexpr DWORD k_BiBitfields = 3;
constexpr DWORD k_BiAlphaBitfields = 6;

constexpr size_t k_FileHeaderSize = 14;
constexpr DWORD k_CoreHeaderSize = 12;
constexpr DWORD k_InfoHeaderSize = 40;

// Everything the header tells about where and how the pixels are stored.
struct BmpLayout {
    UINT Width = 0;
    UINT Height = 0;
    bool TopDown = false;
    UINT BitCount = 0;
    DWORD Compression = k_BiRgb;
    DWORD Masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    size_t PaletteOffset = 0;
    UINT PaletteCount = 0;
    UINT PaletteEntrySize = 4;
    size_t PixelOffset = 0;
    size_t PixelBytes = 0;  // bytes available from PixelOffset on
    uint64_t RowStride = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    bool HasAlpha = false;
};

WORD ReadU16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

DWORD ReadU32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

int32_t ReadI32(const BYTE* p) {
    const DWORD lr_Value = ReadU32(p);
    int32_t lr_Signed;
    std::memcpy(&lr_Signed, &lr_Value, sizeof(lr_Signed));
    return lr_Signed;
}

// A channel mask must be one run of set bits (or empty).
bool IsContiguous(DWORD mask) {
    if (mask == 0) return true;
    while ((mask & 1u) == 0) mask >>= 1;
    return (mask & (mask + 1)) == 0;
}

D3DFORMAT SixteenBitFormat(const DWORD* masks) {
    struct Known {
        DWORD R, G, B, A;
        D3DFORMAT Format;
    };
    static const Known lr_Known[] = {
        {0x7c00, 0x03e0, 0x001f, 0x0000, D3DFMT_X1R5G5B5}, {0x7c00, 0x03e0, 0x001f, 0x8000, D3DFMT_A1R5G5B5},
        {0xf800, 0x07e0, 0x001f, 0x0000, D3DFMT_R5G6B5},   {0x0f00, 0x00f0, 0x000f, 0xf000, D3DFMT_A4R4G4B4},
        {0x0f00, 0x00f0, 0x000f, 0x0000, D3DFMT_X4R4G4B4},
    };
    for (const Known& lr_Entry : lr_Known) {
        if (masks[0] == lr_Entry.R && masks[1] == lr_Entry.G && masks[2] == lr_Entry.B && masks[3] == lr_Entry.A)
            return lr_Entry.Format;
    }
    // Other layouts are expanded to eight bits per channel.
    return masks[3] ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

HRESULT ParseLayout(const BYTE* data, size_t size, BmpLayout* layout) {
    if (!LooksLikeBmp(data, size) || size < k_FileHeaderSize + 4) return D3DXERR_INVALIDDATA;
    BmpLayout& lr_L = *layout;
    const DWORD lr_OffBits = ReadU32(data + 10);
    const DWORD lr_HeaderSize = ReadU32(data + 14);
    if (lr_HeaderSize > size - k_FileHeaderSize) return D3DXERR_INVALIDDATA;
    const BYTE* lr_Header = data + k_FileHeaderSize;
    size_t lr_AfterHeader = k_FileHeaderSize + lr_HeaderSize;

    UINT lr_ClrUsed = 0;
    if (lr_HeaderSize == k_CoreHeaderSize) {
        // OS/2 BITMAPCOREHEADER: 16-bit unsigned sizes, bottom-up, RGB triples.
        lr_L.Width = ReadU16(lr_Header + 4);
        lr_L.Height = ReadU16(lr_Header + 6);
        lr_L.BitCount = ReadU16(lr_Header + 10);
        lr_L.PaletteEntrySize = 3;
        if (lr_L.BitCount != 1 && lr_L.BitCount != 4 && lr_L.BitCount != 8 && lr_L.BitCount != 24)
            return D3DXERR_INVALIDDATA;
    } else if (lr_HeaderSize == k_InfoHeaderSize || lr_HeaderSize == 52 || lr_HeaderSize == 56 ||
               lr_HeaderSize == 108 || lr_HeaderSize == 124) {
        const int32_t lr_Width = ReadI32(lr_Header + 4);
        const int32_t lr_Height = ReadI32(lr_Header + 8);
        if (lr_Width <= 0 || lr_Height == 0 || lr_Height == std::numeric_limits<int32_t>::min())
            return D3DXERR_INVALIDDATA;
        lr_L.Width = static_cast<UINT>(lr_Width);
        lr_L.TopDown = lr_Height < 0;
        lr_L.Height = static_cast<UINT>(lr_Height < 0 ? -lr_Height : lr_Height);
        lr_L.BitCount = ReadU16(lr_Header + 14);
        lr_L.Compression = ReadU32(lr_Header + 16);
        lr_ClrUsed = ReadU32(lr_Header + 32);
        if (lr_L.Compression == k_BiBitfields || lr_L.Compression == k_BiAlphaBitfields) {
            // A plain header is followed by three masks (four with BI_ALPHABITFIELDS);
            // the later headers hold them, the alpha mask from the 56-byte one on.
            const size_t lr_MaskCount = lr_HeaderSize == k_InfoHeaderSize
                                            ? (lr_L.Compression == k_BiAlphaBitfields ? 4 : 3)
                                            : (lr_HeaderSize >= 56 ? 4 : 3);
            const BYTE* lr_MaskData = lr_Header + k_InfoHeaderSize;
            if (lr_HeaderSize == k_InfoHeaderSize) {
                // Masks follow a plain BITMAPINFOHEADER.
                if (lr_MaskCount * 4 > size - lr_AfterHeader) return D3DXERR_INVALIDDATA;
                lr_AfterHeader += lr_MaskCount * 4;
            }
            for (size_t i = 0; i < lr_MaskCount; ++i) lr_L.Masks[i] = ReadU32(lr_MaskData + 4 * i);
        }
    } else {
        return D3DXERR_INVALIDDATA;
    }

    if (lr_L.Width == 0 || lr_L.Height == 0 || lr_L.Width > k_MaxImageSide || lr_L.Height > k_MaxImageSide)
        return D3DXERR_INVALIDDATA;

    switch (lr_L.Compression) {
    case k_BiRgb:
        switch (lr_L.BitCount) {
        case 1:
        case 2:
        case 4:
        case 8: lr_L.Format = D3DFMT_P8; break;
        case 16:
            lr_L.Masks[0] = 0x7c00;
            lr_L.Masks[1] = 0x03e0;
            lr_L.Masks[2] = 0x001f;
            lr_L.Masks[3] = 0;
            lr_L.Format = D3DFMT_X1R5G5B5;
            break;
        case 24: lr_L.Format = D3DFMT_R8G8B8; break;
        case 32:
            // BI_RGB ignores any masks of the later headers: the fourth byte is padding.
            lr_L.Masks[0] = 0x00ff0000;
            lr_L.Masks[1] = 0x0000ff00;
            lr_L.Masks[2] = 0x000000ff;
            lr_L.Masks[3] = 0;
            lr_L.Format = D3DFMT_X8R8G8B8;
            break;
        default: return D3DXERR_INVALIDDATA;
        }
        break;
    case k_BiRle8:
        if (lr_L.BitCount != 8 || lr_L.TopDown) return D3DXERR_INVALIDDATA;
        lr_L.Format = D3DFMT_P8;
        break;
    case k_BiRle4:
        if (lr_L.BitCount != 4 || lr_L.TopDown) return D3DXERR_INVALIDDATA;
        lr_L.Format = D3DFMT_P8;
        break;
    case k_BiBitfields:
    case k_BiAlphaBitfields: {
        if (lr_L.BitCount != 16 && lr_L.BitCount != 32) return D3DXERR_INVALIDDATA;
        DWORD lr_Union = 0;
        for (DWORD lr_Mask : lr_L.Masks) {
            if (!IsContiguous(lr_Mask) || (lr_Union & lr_Mask) != 0) return D3DXERR_INVALIDDATA;
            lr_Union |= lr_Mask;
        }
        if ((lr_L.Masks[0] | lr_L.Masks[1] | lr_L.Masks[2]) == 0) return D3DXERR_INVALIDDATA;
        if (lr_L.BitCount == 16 && (lr_Union & 0xffff0000u) != 0) return D3DXERR_INVALIDDATA;
        if (lr_L.BitCount == 16)
            lr_L.Format = SixteenBitFormat(lr_L.Masks);
        else
            lr_L.Format = lr_L.Masks[3] ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        break;
    }
    default: return D3DXERR_INVALIDDATA;
    }
    lr_L.HasAlpha = lr_L.Masks[3] != 0;

    if (lr_L.BitCount <= 8) {
        const UINT lr_MaxColours = 1u << lr_L.BitCount;
        lr_L.PaletteCount = lr_ClrUsed ? lr_ClrUsed : lr_MaxColours;
        if (lr_L.PaletteCount > lr_MaxColours) return D3DXERR_INVALIDDATA;
    }
    lr_L.PaletteOffset = lr_AfterHeader;
    const uint64_t lr_PaletteEnd =
        static_cast<uint64_t>(lr_AfterHeader) + static_cast<uint64_t>(lr_L.PaletteCount) * lr_L.PaletteEntrySize;
    if (lr_PaletteEnd > size || lr_OffBits < lr_PaletteEnd || lr_OffBits > size) return D3DXERR_INVALIDDATA;

    lr_L.PixelOffset = lr_OffBits;
    lr_L.PixelBytes = size - lr_OffBits;
    lr_L.RowStride = ((static_cast<uint64_t>(lr_L.Width) * lr_L.BitCount + 31) / 32) * 4;
    if (lr_L.Compression != k_BiRle8 && lr_L.Compression != k_BiRle4 && lr_L.RowStride * lr_L.Height > lr_L.PixelBytes)
        return D3DXERR_INVALIDDATA;
    return D3D_OK;
}

// Scales a channel of `bits` bits to eight bits, rounding to nearest.
BYTE ScaleChannel(DWORD value, UINT bits) {
    if (bits == 0) return 0;
    if (bits >= 8) return static_cast<BYTE>(value >> (bits - 8));
    const DWORD lr_Max = (1u << bits) - 1;
    return static_cast<BYTE>((value * 255 + lr_Max / 2) / lr_Max);
}

struct MaskChannel {
    DWORD Mask = 0;
    UINT Shift = 0;
    UINT Bits = 0;
};

MaskChannel DescribeMask(DWORD mask) {
    MaskChannel lr_C;
    lr_C.Mask = mask;
    if (mask == 0) return lr_C;
    while (((mask >> lr_C.Shift) & 1u) == 0) ++lr_C.Shift;
    while (lr_C.Shift + lr_C.Bits < 32 && ((mask >> (lr_C.Shift + lr_C.Bits)) & 1u) != 0) ++lr_C.Bits;
    return lr_C;
}

BYTE Extract(DWORD pixel, const MaskChannel& channel) {
    return ScaleChannel((pixel & channel.Mask) >> channel.Shift, channel.Bits);
}

DWORD PaletteColour(const std::vector<PALETTEENTRY>& palette, UINT index, bool* ok) {
    if (index >= palette.size()) {
        *ok = false;
        return 0;
    }
    const PALETTEENTRY& lr_E = palette[index];
    return 0xff000000u | (static_cast<DWORD>(lr_E.peRed) << 16) | (static_cast<DWORD>(lr_E.peGreen) << 8) | lr_E.peBlue;
}

// Row `row` of the file (in file order) goes to this image row.
UINT ImageRow(const BmpLayout& layout, UINT row) { return layout.TopDown ? row : layout.Height - 1 - row; }

std::vector<PALETTEENTRY> ReadPalette(const BYTE* data, const BmpLayout& layout) {
    // The reserved byte of a palette entry carries no alpha in BMP files.
    std::vector<PALETTEENTRY> lr_Palette(layout.PaletteCount);
    for (UINT i = 0; i < layout.PaletteCount; ++i) {
        const BYTE* p = data + layout.PaletteOffset + static_cast<size_t>(i) * layout.PaletteEntrySize;
        lr_Palette[i] = PALETTEENTRY{p[2], p[1], p[0], 0xff};
    }
    return lr_Palette;
}

HRESULT DecodeUncompressed(const BYTE* data, const BmpLayout& layout, const std::vector<PALETTEENTRY>& palette,
                           IImageRowSink* sink) {
    // Only an index past a short palette can be wrong once the header is checked.
    if (!sink && (layout.BitCount > 8 || palette.size() >= (1u << layout.BitCount))) return D3D_OK;
    const BYTE* lr_Pixels = data + layout.PixelOffset;
    const MaskChannel lr_Channels[4] = {DescribeMask(layout.Masks[0]), DescribeMask(layout.Masks[1]),
                                        DescribeMask(layout.Masks[2]), DescribeMask(layout.Masks[3])};
    std::vector<DWORD> lr_Dst(layout.Width);
    bool lr_Ok = true;
    for (UINT lr_Row = 0; lr_Row < layout.Height; ++lr_Row) {
        const BYTE* lr_Src = lr_Pixels + static_cast<size_t>(layout.RowStride) * lr_Row;
        for (UINT x = 0; x < layout.Width; ++x) {
            DWORD lr_Argb = 0;
            switch (layout.BitCount) {
            case 1:
            case 2:
            case 4:
            case 8: {
                const size_t lr_Bit = static_cast<size_t>(x) * layout.BitCount;
                const UINT lr_Shift = 8 - layout.BitCount - static_cast<UINT>(lr_Bit % 8);
                const UINT lr_Index = (lr_Src[lr_Bit / 8] >> lr_Shift) & ((1u << layout.BitCount) - 1);
                lr_Argb = PaletteColour(palette, lr_Index, &lr_Ok);
                break;
            }
            case 24: {
                const BYTE* p = lr_Src + static_cast<size_t>(x) * 3;
                lr_Argb = 0xff000000u | (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[1]) << 8) | p[0];
                break;
            }
            default: {
                const DWORD lr_Value = layout.BitCount == 16 ? ReadU16(lr_Src + static_cast<size_t>(x) * 2)
                                                             : ReadU32(lr_Src + static_cast<size_t>(x) * 4);
                const DWORD lr_A = layout.HasAlpha ? Extract(lr_Value, lr_Channels[3]) : 0xffu;
                lr_Argb = (lr_A << 24) | (static_cast<DWORD>(Extract(lr_Value, lr_Channels[0])) << 16) |
                          (static_cast<DWORD>(Extract(lr_Value, lr_Channels[1])) << 8) |
                          Extract(lr_Value, lr_Channels[2]);
                break;
            }
            }
            if (!lr_Ok) return D3DXERR_INVALIDDATA;
            lr_Dst[x] = lr_Argb;
        }
        if (sink) sink->Rows(ImageRow(layout, lr_Row), 1, lr_Dst.data());
    }
    return D3D_OK;
}

// RLE8 / RLE4: runs, end-of-line, end-of-bitmap, delta and absolute runs.
// Pixels the stream skips stay opaque black; runs past the row end are
// clipped. Work and memory follow the file and one row, whatever the stream
// claims: rows it skips go out as one block.
HRESULT DecodeRle(const BYTE* data, const BmpLayout& layout, const std::vector<PALETTEENTRY>& palette,
                  IImageRowSink* sink) {
    constexpr DWORD k_Black = 0xff000000u;
    const BYTE* lr_P = data + layout.PixelOffset;
    const BYTE* const lr_End = lr_P + layout.PixelBytes;
    const bool lr_Four = layout.Compression == k_BiRle4;
    std::vector<DWORD> lr_Row(sink ? layout.Width : 0, k_Black);
    UINT x = 0;
    UINT y = 0;  // file row, bottom row first
    bool lr_Ok = true;
    auto lr_Put = [&](UINT index) {
        const DWORD lr_Colour = PaletteColour(palette, index, &lr_Ok);
        if (sink) lr_Row[x] = lr_Colour;
        ++x;
    };
    // Sends the current row and the black ones up to file row `to`, which becomes current.
    auto lr_MoveTo = [&](UINT to) {
        to = std::min(to, layout.Height);
        if (sink && y < layout.Height) {
            sink->Rows(ImageRow(layout, y), 1, lr_Row.data());
            std::fill(lr_Row.begin(), lr_Row.end(), k_Black);
            if (to > y + 1) sink->Rows(layout.Height - to, to - y - 1, lr_Row.data());
        }
        y = to;
    };
    while (y < layout.Height) {
        if (lr_End - lr_P < 2) return D3DXERR_INVALIDDATA;
        const UINT lr_Count = lr_P[0];
        const UINT lr_Value = lr_P[1];
        lr_P += 2;
        if (lr_Count > 0) {
            for (UINT i = 0; i < lr_Count && x < layout.Width; ++i)
                lr_Put(lr_Four ? ((i & 1u) ? (lr_Value & 0x0f) : (lr_Value >> 4)) : lr_Value);
        } else if (lr_Value == 0) {
            x = 0;
            lr_MoveTo(y + 1);
        } else if (lr_Value == 1) {
            break;
        } else if (lr_Value == 2) {
            if (lr_End - lr_P < 2) return D3DXERR_INVALIDDATA;
            x = std::min<UINT>(x + lr_P[0], layout.Width);
            if (lr_P[1] != 0) lr_MoveTo(y + lr_P[1]);
            lr_P += 2;
        } else {
            const size_t lr_Bytes = lr_Four ? (lr_Value + 1) / 2 : lr_Value;
            const size_t lr_Padded = (lr_Bytes + 1) & ~static_cast<size_t>(1);
            if (static_cast<size_t>(lr_End - lr_P) < lr_Bytes) return D3DXERR_INVALIDDATA;
            for (UINT i = 0; i < lr_Value && x < layout.Width; ++i) {
                const BYTE lr_Byte = lr_P[lr_Four ? i / 2 : i];
                lr_Put(lr_Four ? ((i & 1u) ? (lr_Byte & 0x0f) : (lr_Byte >> 4)) : lr_Byte);
            }
            lr_P += std::min(lr_Padded, static_cast<size_t>(lr_End - lr_P));
        }
        if (!lr_Ok) return D3DXERR_INVALIDDATA;
    }
    lr_MoveTo(layout.Height);
    return D3D_OK;
}

void FillInfo(const BmpLayout& layout, D3DXIMAGE_INFO* info) {
    info->Width = layout.Width;
    info->Height = layout.Height;
    info->Depth = 1;
    info->MipLevels = 1;
    info->Format = layout.Format;
    info->ResourceType = D3DRTYPE_TEXTURE;
    info->ImageFileFormat = D3DXIFF_BMP;
}

}  // namespace

bool LooksLikeBmp(const BYTE* data, size_t size) {
    return data != nullptr && size >= 2 && data[0] == 'B' && data[1] == 'M';
}

HRESULT ReadBmpInfo(const BYTE* data, size_t size, D3DXIMAGE_INFO* info) {
    BmpLayout lr_Layout;
    const HRESULT hr = ParseLayout(data, size, &lr_Layout);
    if (FAILED(hr)) return hr;
    if (info) FillInfo(lr_Layout, info);
    return D3D_OK;
}

HRESULT ReadBmpImage(const BYTE* data, size_t size, BmpImage* image) {
    BmpLayout lr_Layout;
    const HRESULT hr = ParseLayout(data, size, &lr_Layout);
    if (FAILED(hr)) return hr;
    image->Width = lr_Layout.Width;
    image->Height = lr_Layout.Height;
    image->FileFormat = lr_Layout.Format;
    image->HasAlpha = lr_Layout.HasAlpha;
    image->Palette = ReadPalette(data, lr_Layout);
    return D3D_OK;
}

HRESULT DecodeBmpRows(const BYTE* data, size_t size, IImageRowSink* sink) {
    BmpLayout lr_Layout;
    const HRESULT hr = ParseLayout(data, size, &lr_Layout);
    if (FAILED(hr)) return hr;
    const std::vector<PALETTEENTRY> lr_Palette = ReadPalette(data, lr_Layout);
    return (lr_Layout.Compression == k_BiRle8 || lr_Layout.Compression == k_BiRle4)
               ? DecodeRle(data, lr_Layout, lr_Palette, sink)
               : DecodeUncompressed(data, lr_Layout, lr_Palette, sink);
}

}  // namespace softd3dx
