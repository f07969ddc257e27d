// Texture reads of one draw: the pixel samplers' textures and states,
// resolved once when the draw starts. Sample only reads what Bind prepared,
// so several threads may sample at once. The textures must stay alive and
// unchanged while the draw runs. Exported for the device tests.
#pragma once

#include "objects/SoftStateRecord.h"
#include "pipeline/SoftFormat.h"
#include "pipeline/SoftPixelTypes.h"

class DECLSPEC_EXPORT SoftTextureSampler final : public ISoftTextureSampler {
public:
    SoftTextureSampler();

    // Stages 0..15 from the bound textures and the sampler-state rows, each
    // indexed by D3DSAMPLERSTATETYPE as the device stores them.
    void Bind(IDirect3DBaseTexture9* const textures[SOFT_PIXEL_SAMPLERS],
              const DWORD (*samplerStates)[SOFT_SAMPLER_STATES]);
    void Bind(const SoftDeviceState& state);

    // LINEAR blends of 8-bit channels in 8-bit fixed point instead of float.
    void SetFixedPointBlend(bool on) { mr_FixedPoint = on; }

    void Sample(UINT stage, const float coord[4], const float ddx[4], const float ddy[4], SoftLodMode mode, float lod,
                float out[4]) override;

private:
    enum : UINT { k_MaxLevels = 16 };

    struct Level {
        const BYTE* Bits;
        UINT Pitch;
        int Width;
        int Height;
    };

    struct Stage {
        SoftDecodeFunction Decode;  // null: nothing readable bound
        UINT BytesPerPixel;
        Level Levels[k_MaxLevels];
        UINT BaseLevel;  // the most detailed level read
        UINT LastLevel;
        float Size[2];  // of level 0, for the level of detail
        DWORD AddressU, AddressV;
        bool MagLinear, MinLinear;
        DWORD MipFilter;
        bool NeedsLod;  // the level or the filter depends on the derivatives
        bool Srgb;
        bool EightBit;  // every channel 8-bit UNORM
        float LodBias;
        float Border[4];
    };

    void Filter(const Stage& stage, const Level& level, bool linear, float u, float v, float out[4]) const;
    void Texel(const Stage& stage, const Level& level, int x, int y, float out[4]) const;

    Stage mr_Stages[SOFT_PIXEL_SAMPLERS];
    bool mr_FixedPoint = false;
};
