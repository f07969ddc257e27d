// The device state that Set*/Get* reach and that state blocks capture.
#pragma once

#include "objects/SoftObject.h"

#include <d3d9.h>
#include <soft/SoftShaderModels.h>

#include <vector>

enum : UINT {
    SOFT_RENDER_STATES = 256,
    SOFT_SAMPLER_STATES = 14,  // D3DSAMP_* run 1..13
    SOFT_TEXTURE_STAGES = 8,
    SOFT_STAGE_STATES = 33,  // D3DTSS_* run 1..32
    SOFT_PIXEL_SAMPLERS = k_SoftPixelSamplers,
    SOFT_SAMPLERS = 21,  // 16 pixel, the displacement map, 4 vertex samplers
    SOFT_STREAMS = 16,
    SOFT_TRANSFORMS = 512,
    SOFT_CLIP_PLANES = 6,
    SOFT_VS_CONSTANTS_F = k_SoftVertexFloatConstants,
    SOFT_PS_CONSTANTS_F = k_SoftPixelFloatConstants,
    SOFT_CONSTANTS_I = k_SoftIntConstants,
    SOFT_CONSTANTS_B = k_SoftBoolConstants,
    SOFT_RENDER_TARGETS = 4,
};

// Sampler number of the API (0..15, D3DDMAPSAMPLER, D3DVERTEXTEXTURESAMPLER0..3)
// to the slot used here; SOFT_SAMPLERS when out of range.
UINT SoftSamplerSlot(DWORD sampler);

struct SoftStreamSource {
    SoftRef<IDirect3DVertexBuffer9> Buffer;
    UINT Offset = 0;
    UINT Stride = 0;
};

struct SoftLight {
    DWORD Index = 0;
    D3DLIGHT9 Light{};
    BOOL Enabled = FALSE;
};

struct SoftDeviceState {
    DWORD RenderStates[SOFT_RENDER_STATES];
    DWORD SamplerStates[SOFT_SAMPLERS][SOFT_SAMPLER_STATES];
    DWORD StageStates[SOFT_TEXTURE_STAGES][SOFT_STAGE_STATES];
    SoftRef<IDirect3DBaseTexture9> Textures[SOFT_SAMPLERS];
    SoftStreamSource Streams[SOFT_STREAMS];
    UINT StreamFrequency[SOFT_STREAMS];
    SoftRef<IDirect3DIndexBuffer9> Indices;
    DWORD FVF;
    SoftRef<IDirect3DVertexDeclaration9> Declaration;
    SoftRef<IDirect3DVertexShader9> VertexShader;
    SoftRef<IDirect3DPixelShader9> PixelShader;
    float VertexConstantsF[SOFT_VS_CONSTANTS_F][4];
    int VertexConstantsI[SOFT_CONSTANTS_I][4];
    BOOL VertexConstantsB[SOFT_CONSTANTS_B];
    float PixelConstantsF[SOFT_PS_CONSTANTS_F][4];
    int PixelConstantsI[SOFT_CONSTANTS_I][4];
    BOOL PixelConstantsB[SOFT_CONSTANTS_B];
    D3DVIEWPORT9 Viewport;
    RECT Scissor;
    D3DMATRIX Transforms[SOFT_TRANSFORMS];
    float ClipPlanes[SOFT_CLIP_PLANES][4];
    D3DMATERIAL9 Material;
    std::vector<SoftLight> Lights;  // sorted by index
    BOOL SoftwareVertexProcessing;
    float NPatchMode;
    UINT CurrentTexturePalette;

    // The documented defaults; the viewport and scissor cover width x height.
    void SetDefaults(UINT width, UINT height, bool autoDepthStencil);
    SoftLight* FindLight(DWORD index);
    SoftLight& LightAt(DWORD index);  // adds the default light when absent
};

// Which parts of the state a state block holds.
struct SoftStateMask {
    bool RenderStates[SOFT_RENDER_STATES];
    bool SamplerStates[SOFT_SAMPLERS][SOFT_SAMPLER_STATES];
    bool StageStates[SOFT_TEXTURE_STAGES][SOFT_STAGE_STATES];
    bool Textures[SOFT_SAMPLERS];
    bool Streams[SOFT_STREAMS];
    bool StreamFrequency[SOFT_STREAMS];
    bool Indices;
    bool FVF;
    bool Declaration;
    bool VertexShader;
    bool PixelShader;
    bool VertexConstantsF[SOFT_VS_CONSTANTS_F];
    bool VertexConstantsI[SOFT_CONSTANTS_I];
    bool VertexConstantsB[SOFT_CONSTANTS_B];
    bool PixelConstantsF[SOFT_PS_CONSTANTS_F];
    bool PixelConstantsI[SOFT_CONSTANTS_I];
    bool PixelConstantsB[SOFT_CONSTANTS_B];
    bool Viewport;
    bool Scissor;
    bool Transforms[SOFT_TRANSFORMS];
    bool ClipPlanes[SOFT_CLIP_PLANES];
    bool Material;
    bool AllLights;                   // every light, including ones set later
    std::vector<DWORD> LightIndices;  // recorded lights (definition or enable)
    bool NPatchMode;

    void Clear();
    void SetAll();
    void SetPixelState();
    void SetVertexState();
    bool HasLight(DWORD index) const;
    void AddLight(DWORD index);

private:
    void SetEvery(bool value);
};
