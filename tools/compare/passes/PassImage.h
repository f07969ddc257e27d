// A render target's pixels as read back, in the one file format both sides
// of the device comparison write: "SSAOPIX1", then width, height, D3DFORMAT
// and bytes per pixel (little-endian 32-bit each), then the rows unpadded.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

struct PassImage {
    UINT Width = 0;
    UINT Height = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    UINT BytesPerPixel = 0;
    std::vector<unsigned char> Bytes;

    // X8R8G8B8, A8R8G8B8 and A16B16G16R16F only.
    static bool IsSupported(D3DFORMAT format);
    static UINT BytesPerPixelOf(D3DFORMAT format);
    // Red, green, blue, alpha of a pixel as the format stores them (UNORM in
    // 0..1, halves as floats); X8R8G8B8 reads alpha 1.
    void Channels(UINT x, UINT y, float rgba[4]) const;
    // Whether alpha is stored (X8R8G8B8's top byte is undefined).
    bool HasAlpha() const { return Format != D3DFMT_X8R8G8B8; }

    // Through a system-memory surface with GetRenderTargetData.
    static bool ReadBack(IDirect3DDevice9* device, IDirect3DSurface9* target, PassImage& image, std::string& error);
    bool Save(const std::string& path, std::string& error) const;
    static bool Load(const std::string& path, PassImage& image, std::string& error);
};

// IEEE half to float, for A16B16G16R16F pixels.
float HalfToFloat(unsigned short half);
