#include "objects/SoftStateRecord.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

template <std::size_t N>
void SetFlags(bool (&flags)[N], bool value) {
    std::fill(flags, flags + N, value);
}

template <std::size_t R, std::size_t N>
void SetFlags(bool (&flags)[R][N], bool value) {
    for (auto& lr_Row : flags) SetFlags(lr_Row, value);
}

DWORD FloatBits(float value) {
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &value, 4);
    return lr_Bits;
}

const D3DRENDERSTATETYPE k_PixelRenderStates[] = {
    D3DRS_ZENABLE,
    D3DRS_FILLMODE,
    D3DRS_SHADEMODE,
    D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE,
    D3DRS_LASTPIXEL,
    D3DRS_SRCBLEND,
    D3DRS_DESTBLEND,
    D3DRS_ZFUNC,
    D3DRS_ALPHAREF,
    D3DRS_ALPHAFUNC,
    D3DRS_DITHERENABLE,
    D3DRS_FOGSTART,
    D3DRS_FOGEND,
    D3DRS_FOGDENSITY,
    D3DRS_ALPHABLENDENABLE,
    D3DRS_DEPTHBIAS,
    D3DRS_STENCILENABLE,
    D3DRS_STENCILFAIL,
    D3DRS_STENCILZFAIL,
    D3DRS_STENCILPASS,
    D3DRS_STENCILFUNC,
    D3DRS_STENCILREF,
    D3DRS_STENCILMASK,
    D3DRS_STENCILWRITEMASK,
    D3DRS_TEXTUREFACTOR,
    D3DRS_WRAP0,
    D3DRS_WRAP1,
    D3DRS_WRAP2,
    D3DRS_WRAP3,
    D3DRS_WRAP4,
    D3DRS_WRAP5,
    D3DRS_WRAP6,
    D3DRS_WRAP7,
    D3DRS_WRAP8,
    D3DRS_WRAP9,
    D3DRS_WRAP10,
    D3DRS_WRAP11,
    D3DRS_WRAP12,
    D3DRS_WRAP13,
    D3DRS_WRAP14,
    D3DRS_WRAP15,
    D3DRS_COLORWRITEENABLE,
    D3DRS_COLORWRITEENABLE1,
    D3DRS_COLORWRITEENABLE2,
    D3DRS_COLORWRITEENABLE3,
    D3DRS_BLENDOP,
    D3DRS_SCISSORTESTENABLE,
    D3DRS_SLOPESCALEDEPTHBIAS,
    D3DRS_ANTIALIASEDLINEENABLE,
    D3DRS_TWOSIDEDSTENCILMODE,
    D3DRS_CCW_STENCILFAIL,
    D3DRS_CCW_STENCILZFAIL,
    D3DRS_CCW_STENCILPASS,
    D3DRS_CCW_STENCILFUNC,
    D3DRS_BLENDFACTOR,
    D3DRS_SRGBWRITEENABLE,
    D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_SRCBLENDALPHA,
    D3DRS_DESTBLENDALPHA,
    D3DRS_BLENDOPALPHA,
};

const D3DRENDERSTATETYPE k_VertexRenderStates[] = {
    D3DRS_CULLMODE,
    D3DRS_SHADEMODE,
    D3DRS_FOGENABLE,
    D3DRS_FOGCOLOR,
    D3DRS_FOGTABLEMODE,
    D3DRS_FOGSTART,
    D3DRS_FOGEND,
    D3DRS_FOGDENSITY,
    D3DRS_RANGEFOGENABLE,
    D3DRS_AMBIENT,
    D3DRS_COLORVERTEX,
    D3DRS_FOGVERTEXMODE,
    D3DRS_CLIPPING,
    D3DRS_LIGHTING,
    D3DRS_LOCALVIEWER,
    D3DRS_EMISSIVEMATERIALSOURCE,
    D3DRS_AMBIENTMATERIALSOURCE,
    D3DRS_DIFFUSEMATERIALSOURCE,
    D3DRS_SPECULARMATERIALSOURCE,
    D3DRS_VERTEXBLEND,
    D3DRS_CLIPPLANEENABLE,
    D3DRS_POINTSIZE,
    D3DRS_POINTSIZE_MIN,
    D3DRS_POINTSPRITEENABLE,
    D3DRS_POINTSCALEENABLE,
    D3DRS_POINTSCALE_A,
    D3DRS_POINTSCALE_B,
    D3DRS_POINTSCALE_C,
    D3DRS_MULTISAMPLEANTIALIAS,
    D3DRS_MULTISAMPLEMASK,
    D3DRS_PATCHEDGESTYLE,
    D3DRS_POINTSIZE_MAX,
    D3DRS_INDEXEDVERTEXBLENDENABLE,
    D3DRS_TWEENFACTOR,
    D3DRS_POSITIONDEGREE,
    D3DRS_NORMALDEGREE,
    D3DRS_MINTESSELLATIONLEVEL,
    D3DRS_MAXTESSELLATIONLEVEL,
    D3DRS_ADAPTIVETESS_X,
    D3DRS_ADAPTIVETESS_Y,
    D3DRS_ADAPTIVETESS_Z,
    D3DRS_ADAPTIVETESS_W,
    D3DRS_ENABLEADAPTIVETESSELLATION,
    D3DRS_NORMALIZENORMALS,
    D3DRS_SPECULARENABLE,
};

}  // namespace

UINT SoftSamplerSlot(DWORD sampler) {
    if (sampler < SOFT_PIXEL_SAMPLERS) return sampler;
    if (sampler >= D3DDMAPSAMPLER && sampler <= D3DVERTEXTEXTURESAMPLER3)
        return SOFT_PIXEL_SAMPLERS + (sampler - D3DDMAPSAMPLER);
    return SOFT_SAMPLERS;
}

void SoftDeviceState::SetDefaults(UINT width, UINT height, bool autoDepthStencil) {
    DWORD* rs = RenderStates;
    std::fill(rs, rs + SOFT_RENDER_STATES, 0u);
    rs[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGSTART] = FloatBits(0.0f);
    rs[D3DRS_FOGEND] = FloatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFFu;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = FloatBits(1.0f);
    rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
    rs[D3DRS_POINTSCALE_B] = FloatBits(0.0f);
    rs[D3DRS_POINTSCALE_C] = FloatBits(0.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_DEBUGMONITORTOKEN] = 0xBAADCAFEu;
    rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_TWEENFACTOR] = FloatBits(0.0f);
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_POSITIONDEGREE] = D3DDEGREE_CUBIC;
    rs[D3DRS_NORMALDEGREE] = D3DDEGREE_LINEAR;
    rs[D3DRS_MINTESSELLATIONLEVEL] = FloatBits(1.0f);
    rs[D3DRS_MAXTESSELLATIONLEVEL] = FloatBits(1.0f);
    rs[D3DRS_ADAPTIVETESS_Z] = FloatBits(1.0f);
    rs[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_COLORWRITEENABLE1] = 0xF;
    rs[D3DRS_COLORWRITEENABLE2] = 0xF;
    rs[D3DRS_COLORWRITEENABLE3] = 0xF;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;

    for (UINT s = 0; s < SOFT_SAMPLERS; ++s) {
        DWORD* ss = SamplerStates[s];
        std::fill(ss, ss + SOFT_SAMPLER_STATES, 0u);
        ss[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        ss[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        ss[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        ss[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        ss[D3DSAMP_MAXANISOTROPY] = 1;
        Textures[s].Reset();
    }
    for (UINT t = 0; t < SOFT_TEXTURE_STAGES; ++t) {
        DWORD* ts = StageStates[t];
        std::fill(ts, ts + SOFT_STAGE_STATES, 0u);
        ts[D3DTSS_COLOROP] = t == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = t == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = t;
        ts[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    for (UINT i = 0; i < SOFT_STREAMS; ++i) {
        Streams[i] = SoftStreamSource();
        StreamFrequency[i] = 1;
    }
    Indices.Reset();
    FVF = 0;
    Declaration.Reset();
    VertexShader.Reset();
    PixelShader.Reset();
    std::memset(VertexConstantsF, 0, sizeof(VertexConstantsF));
    std::memset(VertexConstantsI, 0, sizeof(VertexConstantsI));
    std::memset(VertexConstantsB, 0, sizeof(VertexConstantsB));
    std::memset(PixelConstantsF, 0, sizeof(PixelConstantsF));
    std::memset(PixelConstantsI, 0, sizeof(PixelConstantsI));
    std::memset(PixelConstantsB, 0, sizeof(PixelConstantsB));
    Viewport = D3DVIEWPORT9{0, 0, width, height, 0.0f, 1.0f};
    Scissor = RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    for (UINT i = 0; i < SOFT_TRANSFORMS; ++i) {
        std::memset(&Transforms[i], 0, sizeof(D3DMATRIX));
        Transforms[i]._11 = Transforms[i]._22 = Transforms[i]._33 = Transforms[i]._44 = 1.0f;
    }
    std::memset(ClipPlanes, 0, sizeof(ClipPlanes));
    std::memset(&Material, 0, sizeof(Material));
    Lights.clear();
    SoftwareVertexProcessing = FALSE;
    NPatchMode = 0.0f;
    CurrentTexturePalette = 0;
}

SoftLight* SoftDeviceState::FindLight(DWORD index) {
    auto lr_It =
        std::lower_bound(Lights.begin(), Lights.end(), index, [](const SoftLight& l, DWORD i) { return l.Index < i; });
    if (lr_It == Lights.end() || lr_It->Index != index) return nullptr;
    return &*lr_It;
}

SoftLight& SoftDeviceState::LightAt(DWORD index) {
    auto lr_It =
        std::lower_bound(Lights.begin(), Lights.end(), index, [](const SoftLight& l, DWORD i) { return l.Index < i; });
    if (lr_It != Lights.end() && lr_It->Index == index) return *lr_It;
    // The documented default light: white directional light along +z.
    SoftLight lr_Light;
    lr_Light.Index = index;
    lr_Light.Light.Type = D3DLIGHT_DIRECTIONAL;
    lr_Light.Light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    lr_Light.Light.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
    return *Lights.insert(lr_It, lr_Light);
}

void SoftStateMask::SetEvery(bool value) {
    SetFlags(RenderStates, value);
    SetFlags(SamplerStates, value);
    SetFlags(StageStates, value);
    SetFlags(Textures, value);
    SetFlags(Streams, value);
    SetFlags(StreamFrequency, value);
    Indices = FVF = Declaration = VertexShader = PixelShader = value;
    SetFlags(VertexConstantsF, value);
    SetFlags(VertexConstantsI, value);
    SetFlags(VertexConstantsB, value);
    SetFlags(PixelConstantsF, value);
    SetFlags(PixelConstantsI, value);
    SetFlags(PixelConstantsB, value);
    Viewport = Scissor = Material = AllLights = NPatchMode = value;
    SetFlags(Transforms, value);
    SetFlags(ClipPlanes, value);
    LightIndices.clear();
}

void SoftStateMask::Clear() { SetEvery(false); }

void SoftStateMask::SetAll() {
    SetEvery(true);
    // 0 is not a render, sampler or stage state; the rest count whether named or not.
    RenderStates[0] = false;
    for (auto& lr_Row : SamplerStates) lr_Row[0] = false;
    for (auto& lr_Row : StageStates) lr_Row[0] = false;
}

void SoftStateMask::SetPixelState() {
    Clear();
    for (D3DRENDERSTATETYPE lr_State : k_PixelRenderStates) RenderStates[lr_State] = true;
    for (UINT s = 0; s < SOFT_SAMPLERS; ++s)
        for (UINT i = 1; i < SOFT_SAMPLER_STATES; ++i) SamplerStates[s][i] = i != D3DSAMP_DMAPOFFSET;
    for (auto& lr_Row : StageStates) std::fill(&lr_Row[1], &lr_Row[SOFT_STAGE_STATES], true);
    PixelShader = true;
    SetFlags(PixelConstantsF, true);
    SetFlags(PixelConstantsI, true);
    SetFlags(PixelConstantsB, true);
}

void SoftStateMask::SetVertexState() {
    Clear();
    for (D3DRENDERSTATETYPE lr_State : k_VertexRenderStates) RenderStates[lr_State] = true;
    for (UINT s = 0; s < SOFT_SAMPLERS; ++s) SamplerStates[s][D3DSAMP_DMAPOFFSET] = true;
    for (auto& lr_Row : StageStates) {
        lr_Row[D3DTSS_TEXCOORDINDEX] = true;
        lr_Row[D3DTSS_TEXTURETRANSFORMFLAGS] = true;
    }
    SetFlags(StreamFrequency, true);
    FVF = Declaration = VertexShader = true;
    SetFlags(VertexConstantsF, true);
    SetFlags(VertexConstantsI, true);
    SetFlags(VertexConstantsB, true);
    AllLights = true;
    NPatchMode = true;
}

bool SoftStateMask::HasLight(DWORD index) const {
    return AllLights || std::binary_search(LightIndices.begin(), LightIndices.end(), index);
}

void SoftStateMask::AddLight(DWORD index) {
    auto lr_It = std::lower_bound(LightIndices.begin(), LightIndices.end(), index);
    if (lr_It == LightIndices.end() || *lr_It != index) LightIndices.insert(lr_It, index);
}
