#include "pipeline/SoftTextureSampler.h"

#include "objects/SoftSurface.h"
#include "objects/SoftTexture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Texel coordinates are kept within this range so that they convert to int
// and snap to 1/256 exactly; far outside the texture nothing finer matters.
const float k_CoordLimit = 4194304.0f;  // 2^22

float Tame(float value) {
    if (value > k_CoordLimit) return k_CoordLimit;
    if (value < -k_CoordLimit) return -k_CoordLimit;
    return value == value ? value : 0.0f;
}

// Floor and round-half-to-even for |value| < 2^31, inline: without SSE4.1 the
// library's are calls, made several times for every sample.
float Floor(float value) {
    const float lr_Truncated = static_cast<float>(static_cast<int>(value));
    return lr_Truncated > value ? lr_Truncated - 1.0f : lr_Truncated;
}
float RoundEven(float value) {
    const int lr_Truncated = static_cast<int>(value);
    const float lr_Rest = value - static_cast<float>(lr_Truncated);  // exact
    const bool lr_Odd = (lr_Truncated & 1) != 0;
    if (lr_Rest > 0.5f || (lr_Rest == 0.5f && lr_Odd)) return static_cast<float>(lr_Truncated + 1);
    if (lr_Rest < -0.5f || (lr_Rest == -0.5f && lr_Odd)) return static_cast<float>(lr_Truncated - 1);
    return static_cast<float>(lr_Truncated);
}

// Texel space snapped to 8 bits of sub-texel precision, as hardware does: a
// coordinate computed as (i + 0.5) / width lands exactly on the texel centre.
float Snap(float texelCoord) { return RoundEven(texelCoord * 256.0f) * (1.0f / 256.0f); }

// Formats whose every channel is 8-bit UNORM.
bool IsEightBit(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A8L8: return true;
    default: return false;
    }
}

// a + (b - a) w / 256 for 8-bit values and an 8-bit weight, rounded to a
// whole step (floor of the value plus one half), as fixed-point filters do.
int BlendFixed(int a, int b, int weight) {
    const int lr_Scaled = (b - a) * weight + 128;
    return a + (lr_Scaled >= 0 ? lr_Scaled / 256 : -((-lr_Scaled + 255) / 256));
}

// A texel index to one inside [0, size), or -1 for the border colour.
int Address(DWORD mode, int index, int size) {
    if (index >= 0 && index < size) return index;
    switch (mode) {
    case D3DTADDRESS_CLAMP: return index < 0 ? 0 : size - 1;
    case D3DTADDRESS_MIRROR: {
        int lr_Period = 2 * size;
        int lr_In = index % lr_Period;
        if (lr_In < 0) lr_In += lr_Period;
        return lr_In < size ? lr_In : lr_Period - 1 - lr_In;
    }
    case D3DTADDRESS_MIRRORONCE: {
        int lr_In = index < 0 ? -index - 1 : index;
        return lr_In < size ? lr_In : size - 1;
    }
    case D3DTADDRESS_BORDER: return -1;
    default: {  // WRAP, and values the device does not know
        int lr_In = index % size;
        return lr_In < 0 ? lr_In + size : lr_In;
    }
    }
}

// ANISOTROPIC and the quad filters filter as LINEAR here.
bool IsLinear(DWORD filter) { return filter != D3DTEXF_NONE && filter != D3DTEXF_POINT; }

float SrgbToLinear(float value) {
    return value <= 0.04045f ? value / 12.92f : std::pow((value + 0.055f) / 1.055f, 2.4f);
}

void Opaque(float out[4]) {
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
}

}  // namespace

SoftTextureSampler::SoftTextureSampler() : mr_Stages() {}

void SoftTextureSampler::Bind(IDirect3DBaseTexture9* const textures[SOFT_PIXEL_SAMPLERS],
                              const DWORD (*samplerStates)[SOFT_SAMPLER_STATES]) {
    for (UINT s = 0; s < SOFT_PIXEL_SAMPLERS; ++s) {
        Stage& lr_Stage = mr_Stages[s];
        lr_Stage = Stage();
        // Only 2-D textures are read; cube and volume textures read (0, 0, 0, 1).
        IDirect3DBaseTexture9* lr_Base_ = textures[s];
        if (!lr_Base_ || lr_Base_->GetType() != D3DRTYPE_TEXTURE) continue;
        auto* lr_Texture_ = dynamic_cast<SoftTexture*>(lr_Base_);
        if (!lr_Texture_) continue;
        SoftPixelCodec lr_Codec = SoftGetPixelCodec(lr_Texture_->Format());
        UINT lr_Count = std::min<UINT>(lr_Texture_->GetLevelCount(), k_MaxLevels);
        if (!lr_Codec.Decode || lr_Count == 0) continue;
        for (UINT l = 0; l < lr_Count; ++l) {
            SoftSurface* lr_Surface_ = lr_Texture_->Level(l);
            lr_Stage.Levels[l] =
                Level{lr_Surface_->Bits(), lr_Surface_->Pitch(), static_cast<int>(lr_Surface_->Desc().Width),
                      static_cast<int>(lr_Surface_->Desc().Height)};
        }
        const DWORD* lr_States = samplerStates[s];
        lr_Stage.Decode = lr_Codec.Decode;
        lr_Stage.EightBit = IsEightBit(lr_Texture_->Format());
        lr_Stage.BytesPerPixel = lr_Codec.BytesPerPixel;
        lr_Stage.LastLevel = lr_Count - 1;
        // The most detailed level: MAXMIPLEVEL, or a managed texture's LOD if larger.
        lr_Stage.BaseLevel = std::min(std::max<DWORD>(lr_States[D3DSAMP_MAXMIPLEVEL], lr_Base_->GetLOD()),
                                      static_cast<DWORD>(lr_Stage.LastLevel));
        lr_Stage.Size[0] = static_cast<float>(lr_Stage.Levels[0].Width);
        lr_Stage.Size[1] = static_cast<float>(lr_Stage.Levels[0].Height);
        lr_Stage.AddressU = lr_States[D3DSAMP_ADDRESSU];
        lr_Stage.AddressV = lr_States[D3DSAMP_ADDRESSV];
        lr_Stage.MagLinear = IsLinear(lr_States[D3DSAMP_MAGFILTER]);
        lr_Stage.MinLinear = IsLinear(lr_States[D3DSAMP_MINFILTER]);
        lr_Stage.MipFilter = lr_States[D3DSAMP_MIPFILTER] == D3DTEXF_NONE    ? D3DTEXF_NONE
                             : lr_States[D3DSAMP_MIPFILTER] == D3DTEXF_POINT ? D3DTEXF_POINT
                                                                             : D3DTEXF_LINEAR;
        lr_Stage.NeedsLod = lr_Stage.MagLinear != lr_Stage.MinLinear ||
                            (lr_Stage.MipFilter != D3DTEXF_NONE && lr_Stage.LastLevel > lr_Stage.BaseLevel);
        lr_Stage.Srgb = lr_States[D3DSAMP_SRGBTEXTURE] != 0;
        std::memcpy(&lr_Stage.LodBias, &lr_States[D3DSAMP_MIPMAPLODBIAS], 4);
        D3DCOLOR lr_Border = lr_States[D3DSAMP_BORDERCOLOR];
        lr_Stage.Border[0] = ((lr_Border >> 16) & 0xFF) / 255.0f;
        lr_Stage.Border[1] = ((lr_Border >> 8) & 0xFF) / 255.0f;
        lr_Stage.Border[2] = (lr_Border & 0xFF) / 255.0f;
        lr_Stage.Border[3] = ((lr_Border >> 24) & 0xFF) / 255.0f;
    }
}

void SoftTextureSampler::Bind(const SoftDeviceState& state) {
    IDirect3DBaseTexture9* lr_Textures[SOFT_PIXEL_SAMPLERS];
    for (UINT s = 0; s < SOFT_PIXEL_SAMPLERS; ++s) lr_Textures[s] = state.Textures[s].Get();
    Bind(lr_Textures, state.SamplerStates);
}

void SoftTextureSampler::Texel(const Stage& stage, const Level& level, int x, int y, float out[4]) const {
    int lr_X = Address(stage.AddressU, x, level.Width);
    int lr_Y = Address(stage.AddressV, y, level.Height);
    if (lr_X < 0 || lr_Y < 0) {
        std::memcpy(out, stage.Border, sizeof(stage.Border));
        return;
    }
    stage.Decode(level.Bits + static_cast<size_t>(lr_Y) * level.Pitch + static_cast<size_t>(lr_X) * stage.BytesPerPixel,
                 out);
    if (stage.Srgb)
        for (int c = 0; c < 3; ++c) out[c] = SrgbToLinear(out[c]);
}

void SoftTextureSampler::Filter(const Stage& stage, const Level& level, bool linear, float u, float v,
                                float out[4]) const {
    float lr_X = Tame(u * static_cast<float>(level.Width));
    float lr_Y = Tame(v * static_cast<float>(level.Height));
    if (!linear) {
        // The texel whose centre is nearest the coordinate as computed: not
        // snapped, or a coordinate 1/1000 texel short of an edge would
        // cross it (Wine's Direct3D 9 picks the nearer texel too).
        Texel(stage, level, static_cast<int>(Floor(lr_X)), static_cast<int>(Floor(lr_Y)), out);
        return;
    }
    lr_X = Snap(lr_X);
    lr_Y = Snap(lr_Y);
    // Between the four nearest texel centres; the snapped fractions are exact.
    lr_X -= 0.5f;
    lr_Y -= 0.5f;
    float lr_X0 = Floor(lr_X), lr_Y0 = Floor(lr_Y);
    float lr_Ax = lr_X - lr_X0, lr_Ay = lr_Y - lr_Y0;
    int lr_I = static_cast<int>(lr_X0), lr_J = static_cast<int>(lr_Y0);
    float lr_T00[4], lr_T10[4], lr_T01[4], lr_T11[4];
    Texel(stage, level, lr_I, lr_J, lr_T00);
    Texel(stage, level, lr_I + 1, lr_J, lr_T10);
    Texel(stage, level, lr_I, lr_J + 1, lr_T01);
    Texel(stage, level, lr_I + 1, lr_J + 1, lr_T11);
    if (mr_FixedPoint && stage.EightBit && !stage.Srgb) {
        // The snapped fractions are whole 256ths, the texels whole 255ths.
        const int lr_Wx = static_cast<int>(lr_Ax * 256.0f), lr_Wy = static_cast<int>(lr_Ay * 256.0f);
        auto Byte = [](float value) { return static_cast<int>(value * 255.0f + 0.5f); };
        for (int c = 0; c < 4; ++c) {
            const int lr_Top = BlendFixed(Byte(lr_T00[c]), Byte(lr_T10[c]), lr_Wx);
            const int lr_Bottom = BlendFixed(Byte(lr_T01[c]), Byte(lr_T11[c]), lr_Wx);
            out[c] = static_cast<float>(BlendFixed(lr_Top, lr_Bottom, lr_Wy)) / 255.0f;
        }
        return;
    }
    for (int c = 0; c < 4; ++c) {
        float lr_Top = lr_T00[c] * (1.0f - lr_Ax) + lr_T10[c] * lr_Ax;
        float lr_Bottom = lr_T01[c] * (1.0f - lr_Ax) + lr_T11[c] * lr_Ax;
        out[c] = lr_Top * (1.0f - lr_Ay) + lr_Bottom * lr_Ay;
    }
}

void SoftTextureSampler::Sample(UINT stage, const float coord[4], const float ddx[4], const float ddy[4],
                                SoftLodMode mode, float lod, float out[4]) {
    if (stage >= SOFT_PIXEL_SAMPLERS || !mr_Stages[stage].Decode) {
        Opaque(out);
        return;
    }
    const Stage& lr_Stage = mr_Stages[stage];
    const Level& lr_Base = lr_Stage.Levels[lr_Stage.BaseLevel];
    if (!lr_Stage.NeedsLod) {
        Filter(lr_Stage, lr_Base, lr_Stage.MagLinear, coord[0], coord[1], out);
        return;
    }
    // The level of detail counts in levels from level 0, however many are skipped.
    float lr_Lod = lod;
    if (mode != SoftLodMode::Explicit) {
        float lr_Dux = ddx[0] * lr_Stage.Size[0], lr_Dvx = ddx[1] * lr_Stage.Size[1];
        float lr_Duy = ddy[0] * lr_Stage.Size[0], lr_Dvy = ddy[1] * lr_Stage.Size[1];
        float lr_Rho2 = std::max(lr_Dux * lr_Dux + lr_Dvx * lr_Dvx, lr_Duy * lr_Duy + lr_Dvy * lr_Dvy);
        lr_Lod = 0.5f * std::log2(lr_Rho2) + (mode == SoftLodMode::Bias ? lod : 0.0f);
    }
    lr_Lod += lr_Stage.LodBias;
    if (!(lr_Lod > 0.0f)) {  // magnification (also for a NaN level)
        Filter(lr_Stage, lr_Base, lr_Stage.MagLinear, coord[0], coord[1], out);
        return;
    }
    float lr_BaseLod = static_cast<float>(lr_Stage.BaseLevel);
    float lr_Last = static_cast<float>(lr_Stage.LastLevel);
    switch (lr_Stage.MipFilter) {
    case D3DTEXF_NONE: Filter(lr_Stage, lr_Base, lr_Stage.MinLinear, coord[0], coord[1], out); return;
    case D3DTEXF_POINT: {
        float lr_Nearest = std::min(std::max(std::floor(lr_Lod + 0.5f), lr_BaseLod), lr_Last);
        Filter(lr_Stage, lr_Stage.Levels[static_cast<UINT>(lr_Nearest)], lr_Stage.MinLinear, coord[0], coord[1], out);
        return;
    }
    default: {
        float lr_Clamped = std::min(std::max(lr_Lod, lr_BaseLod), lr_Last);
        float lr_Floor = std::floor(lr_Clamped);
        UINT lr_Level = static_cast<UINT>(lr_Floor);
        float lr_Frac = lr_Clamped - lr_Floor;
        Filter(lr_Stage, lr_Stage.Levels[lr_Level], lr_Stage.MinLinear, coord[0], coord[1], out);
        if (lr_Frac == 0.0f) return;
        float lr_Next[4];
        Filter(lr_Stage, lr_Stage.Levels[lr_Level + 1], lr_Stage.MinLinear, coord[0], coord[1], lr_Next);
        for (int c = 0; c < 4; ++c) out[c] = out[c] * (1.0f - lr_Frac) + lr_Next[c] * lr_Frac;
        return;
    }
    }
}
