// The device state a host expects to find unchanged after a plug-in's frame:
// the render target, the depth-stencil surface, the viewport, a set of render
// states, the FVF, shaders and texture stage 0.
#pragma once

#include <d3d9.h>

#include <string>
#include <vector>

struct DeviceStateSnapshot {
    // Identities only: the references taken while reading are given back at once.
    IDirect3DSurface9* RenderTarget = nullptr;
    IDirect3DSurface9* DepthStencil = nullptr;
    IDirect3DBaseTexture9* Texture0 = nullptr;
    IDirect3DVertexShader9* VertexShader = nullptr;
    IDirect3DPixelShader9* PixelShader = nullptr;
    D3DVIEWPORT9 Viewport = {};
    DWORD Fvf = 0;
    std::vector<DWORD> RenderStates;
    std::vector<DWORD> StageStates;
    std::vector<DWORD> SamplerStates;

    static DeviceStateSnapshot Read(IDirect3DDevice9* device);
    // One text per difference, naming the state and both values.
    std::vector<std::string> Differences(const DeviceStateSnapshot& after) const;
};
