// What the software device knows about pixel formats. The pixel and depth
// conversions are exported so that the device tests can reach them.
#pragma once

#include <d3d9.h>

#include <soft/SoftFormatInfo.h>

// Bytes of one row of pixels (or of 4x4 blocks) and number of rows stored.
UINT SoftRowPitch(D3DFORMAT format, UINT width);
UINT SoftRowCount(D3DFORMAT format, UINT height);

// The bytes of one pixel of a colour, or of a depth and stencil value.
// Returns false when the format has no such encoding here.
bool SoftEncodeColor(D3DFORMAT format, D3DCOLOR color, BYTE* pixel);
bool SoftEncodeDepthStencil(D3DFORMAT format, float z, DWORD stencil, BYTE* pixel);

// One pixel of `format` as RGBA, with Direct3D 9's defaults for missing
// channels: 1 for a missing colour or alpha channel (R32F reads (r, 1, 1, 1)),
// luminance in r, g and b, and (0, 0, 0, a) for A8. False for formats that
// cannot be read as colour here (depth, compressed, YUV, bump-map formats).
DECLSPEC_EXPORT bool SoftDecodePixel(D3DFORMAT format, const BYTE* pixel, float rgba[4]);
// RGBA to one pixel: UNORM channels clamped to [0, 1] and rounded to the
// nearest step (halves up), 16-bit float channels rounded to nearest even,
// 32-bit float channels stored as they are; missing channels dropped and
// X bits set.
DECLSPEC_EXPORT bool SoftEncodePixel(D3DFORMAT format, const float rgba[4], BYTE* pixel);

// The same conversions as function pointers, fetched once so that a loop over
// texels or pixels does not switch on the format each time.
using SoftDecodeFunction = void (*)(const BYTE* pixel, float rgba[4]);
using SoftEncodeFunction = void (*)(const float rgba[4], BYTE* pixel);
struct SoftPixelCodec {
    SoftDecodeFunction Decode;  // null when the format has no colour conversion here
    SoftEncodeFunction Encode;
    UINT BytesPerPixel;
};
DECLSPEC_EXPORT SoftPixelCodec SoftGetPixelCodec(D3DFORMAT format);

// Depth of a depth-stencil pixel in [0, 1] at the format's precision, and
// back; encoding keeps the pixel's stencil (and unused) bits.
DECLSPEC_EXPORT bool SoftDecodeDepth(D3DFORMAT format, const BYTE* pixel, float* depth);
DECLSPEC_EXPORT bool SoftEncodeDepth(D3DFORMAT format, float depth, BYTE* pixel);

// IEEE half precision, rounding to nearest even.
DECLSPEC_EXPORT WORD SoftFloatToHalf(float value);
DECLSPEC_EXPORT float SoftHalfToFloat(WORD half);
