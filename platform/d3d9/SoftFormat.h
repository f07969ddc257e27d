// What the software device knows about pixel formats.
#pragma once

#include <d3d9.h>

struct SoftFormatInfo {
    UINT BytesPerPixel;   // 0 for formats the device cannot hold
    UINT BlockBytes;      // compressed formats: bytes per 4x4 block, else 0
    bool Depth;           // depth (or stencil) format
    bool Stencil;
    bool LockableDepth;   // depth formats an application may lock
    bool FourCC;
};

SoftFormatInfo SoftGetFormatInfo(D3DFORMAT format);

// Bytes of one row of pixels (or of 4x4 blocks) and number of rows stored.
UINT SoftRowPitch(D3DFORMAT format, UINT width);
UINT SoftRowCount(D3DFORMAT format, UINT height);

// The bytes of one pixel of a colour, or of a depth and stencil value.
// Returns false when the format has no such encoding here.
bool SoftEncodeColor(D3DFORMAT format, D3DCOLOR color, BYTE* pixel);
bool SoftEncodeDepthStencil(D3DFORMAT format, float z, DWORD stencil, BYTE* pixel);

// Linear filtering support: the per-channel layout of a format.
enum class SoftChannelType { None, Unorm8, Float32, Unorm16 };
SoftChannelType SoftGetChannelType(D3DFORMAT format, UINT* channelCount);
