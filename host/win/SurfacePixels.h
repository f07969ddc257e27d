// Reads the pixels of a render-target surface through a system-memory copy
// (GetRenderTargetData), the way a host may read what is on screen; a
// multisampled surface is first resolved into a single-sample one.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

// The rows of a render target described by `desc`, packed (width x
// bytesPerPixel bytes each), read through a system-memory copy with
// GetRenderTargetData. False with the failing call in `error`.
bool ReadRenderTargetRows(IDirect3DDevice9* device, IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc,
                          UINT bytesPerPixel, std::vector<unsigned char>& rows, std::string& error);

struct SurfacePixels {
    UINT Width = 0;
    UINT Height = 0;
    std::vector<std::uint32_t> Pixels;  // 32-bit formats only, row after row

    // Empty pixels and an error text when the copy fails.
    static SurfacePixels Read(IDirect3DDevice9* device, IDirect3DSurface9* surface, std::string& error);
    // Number of pixels that differ; all of them when the sizes differ.
    size_t CountDifferences(const SurfacePixels& other) const;
};
