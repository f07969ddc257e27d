#include "effect/EffectStateTables.h"

#include <cctype>

namespace softfx {

namespace {

constexpr auto k_Render = StateAssignment::Target::RenderState;
constexpr auto k_Sampler = StateAssignment::Target::SamplerState;
constexpr auto k_Texture = StateAssignment::Target::Texture;
constexpr auto k_SamplerObject = StateAssignment::Target::Sampler;
constexpr auto k_PixelShader = StateAssignment::Target::PixelShader;
constexpr auto k_VertexShader = StateAssignment::Target::VertexShader;

// In operation order. The rows between 0x66 and 0x92 and between 0x93 and
// 0xA4 are left out: this runtime refuses them both ways.
const StateInfo k_States[] = {
    {0x00, k_Render, D3DRS_ZENABLE, "ZENABLE", ValueSet::ZBuffer},
    {0x01, k_Render, D3DRS_FILLMODE, "FILLMODE", ValueSet::Fill},
    {0x02, k_Render, D3DRS_SHADEMODE, "SHADEMODE", ValueSet::Shade},
    {0x03, k_Render, D3DRS_ZWRITEENABLE, "ZWRITEENABLE", ValueSet::Bool},
    {0x04, k_Render, D3DRS_ALPHATESTENABLE, "ALPHATESTENABLE", ValueSet::Bool},
    {0x05, k_Render, D3DRS_LASTPIXEL, "LASTPIXEL", ValueSet::Bool},
    {0x06, k_Render, D3DRS_SRCBLEND, "SRCBLEND", ValueSet::Blend},
    {0x07, k_Render, D3DRS_DESTBLEND, "DESTBLEND", ValueSet::Blend},
    {0x08, k_Render, D3DRS_CULLMODE, "CULLMODE", ValueSet::Cull},
    {0x09, k_Render, D3DRS_ZFUNC, "ZFUNC", ValueSet::Cmp},
    {0x0A, k_Render, D3DRS_ALPHAREF, "ALPHAREF", ValueSet::Integer},
    {0x0B, k_Render, D3DRS_ALPHAFUNC, "ALPHAFUNC", ValueSet::Cmp},
    {0x0C, k_Render, D3DRS_DITHERENABLE, "DITHERENABLE", ValueSet::Bool},
    {0x0D, k_Render, D3DRS_ALPHABLENDENABLE, "ALPHABLENDENABLE", ValueSet::Bool},
    {0x0E, k_Render, D3DRS_FOGENABLE, "FOGENABLE", ValueSet::Bool},
    {0x0F, k_Render, D3DRS_SPECULARENABLE, "SPECULARENABLE", ValueSet::Bool},
    {0x10, k_Render, D3DRS_FOGCOLOR, "FOGCOLOR", ValueSet::Integer},
    {0x11, k_Render, D3DRS_FOGTABLEMODE, "FOGTABLEMODE", ValueSet::Fog},
    {0x12, k_Render, D3DRS_FOGSTART, "FOGSTART", ValueSet::Float},
    {0x13, k_Render, D3DRS_FOGEND, "FOGEND", ValueSet::Float},
    {0x14, k_Render, D3DRS_FOGDENSITY, "FOGDENSITY", ValueSet::Float},
    {0x15, k_Render, D3DRS_RANGEFOGENABLE, "RANGEFOGENABLE", ValueSet::Bool},
    {0x16, k_Render, D3DRS_STENCILENABLE, "STENCILENABLE", ValueSet::Bool},
    {0x17, k_Render, D3DRS_STENCILFAIL, "STENCILFAIL", ValueSet::StencilOp},
    {0x18, k_Render, D3DRS_STENCILZFAIL, "STENCILZFAIL", ValueSet::StencilOp},
    {0x19, k_Render, D3DRS_STENCILPASS, "STENCILPASS", ValueSet::StencilOp},
    {0x1A, k_Render, D3DRS_STENCILFUNC, "STENCILFUNC", ValueSet::Cmp},
    {0x1B, k_Render, D3DRS_STENCILREF, "STENCILREF", ValueSet::Integer},
    {0x1C, k_Render, D3DRS_STENCILMASK, "STENCILMASK", ValueSet::Integer},
    {0x1D, k_Render, D3DRS_STENCILWRITEMASK, "STENCILWRITEMASK", ValueSet::Integer},
    {0x1E, k_Render, D3DRS_TEXTUREFACTOR, "TEXTUREFACTOR", ValueSet::Integer},
    {0x1F, k_Render, D3DRS_WRAP0, "WRAP0", ValueSet::Wrap},
    {0x20, k_Render, D3DRS_WRAP1, "WRAP1", ValueSet::Wrap},
    {0x21, k_Render, D3DRS_WRAP2, "WRAP2", ValueSet::Wrap},
    {0x22, k_Render, D3DRS_WRAP3, "WRAP3", ValueSet::Wrap},
    {0x23, k_Render, D3DRS_WRAP4, "WRAP4", ValueSet::Wrap},
    {0x24, k_Render, D3DRS_WRAP5, "WRAP5", ValueSet::Wrap},
    {0x25, k_Render, D3DRS_WRAP6, "WRAP6", ValueSet::Wrap},
    {0x26, k_Render, D3DRS_WRAP7, "WRAP7", ValueSet::Wrap},
    {0x27, k_Render, D3DRS_WRAP8, "WRAP8", ValueSet::Wrap},
    {0x28, k_Render, D3DRS_WRAP9, "WRAP9", ValueSet::Wrap},
    {0x29, k_Render, D3DRS_WRAP10, "WRAP10", ValueSet::Wrap},
    {0x2A, k_Render, D3DRS_WRAP11, "WRAP11", ValueSet::Wrap},
    {0x2B, k_Render, D3DRS_WRAP12, "WRAP12", ValueSet::Wrap},
    {0x2C, k_Render, D3DRS_WRAP13, "WRAP13", ValueSet::Wrap},
    {0x2D, k_Render, D3DRS_WRAP14, "WRAP14", ValueSet::Wrap},
    {0x2E, k_Render, D3DRS_WRAP15, "WRAP15", ValueSet::Wrap},
    {0x2F, k_Render, D3DRS_CLIPPING, "CLIPPING", ValueSet::Bool},
    {0x30, k_Render, D3DRS_LIGHTING, "LIGHTING", ValueSet::Bool},
    {0x31, k_Render, D3DRS_AMBIENT, "AMBIENT", ValueSet::Integer},
    {0x32, k_Render, D3DRS_FOGVERTEXMODE, "FOGVERTEXMODE", ValueSet::Fog},
    {0x33, k_Render, D3DRS_COLORVERTEX, "COLORVERTEX", ValueSet::Bool},
    {0x34, k_Render, D3DRS_LOCALVIEWER, "LOCALVIEWER", ValueSet::Bool},
    {0x35, k_Render, D3DRS_NORMALIZENORMALS, "NORMALIZENORMALS", ValueSet::Bool},
    {0x36, k_Render, D3DRS_DIFFUSEMATERIALSOURCE, "DIFFUSEMATERIALSOURCE", ValueSet::MaterialSource},
    {0x37, k_Render, D3DRS_SPECULARMATERIALSOURCE, "SPECULARMATERIALSOURCE", ValueSet::MaterialSource},
    {0x38, k_Render, D3DRS_AMBIENTMATERIALSOURCE, "AMBIENTMATERIALSOURCE", ValueSet::MaterialSource},
    {0x39, k_Render, D3DRS_EMISSIVEMATERIALSOURCE, "EMISSIVEMATERIALSOURCE", ValueSet::MaterialSource},
    {0x3A, k_Render, D3DRS_VERTEXBLEND, "VERTEXBLEND", ValueSet::VertexBlend},
    {0x3B, k_Render, D3DRS_CLIPPLANEENABLE, "CLIPPLANEENABLE", ValueSet::Integer},
    {0x3C, k_Render, D3DRS_POINTSIZE, "POINTSIZE", ValueSet::Float},
    {0x3D, k_Render, D3DRS_POINTSIZE_MIN, "POINTSIZE_MIN", ValueSet::Float},
    {0x3E, k_Render, D3DRS_POINTSIZE_MAX, "POINTSIZE_MAX", ValueSet::Float},
    {0x3F, k_Render, D3DRS_POINTSPRITEENABLE, "POINTSPRITEENABLE", ValueSet::Bool},
    {0x40, k_Render, D3DRS_POINTSCALEENABLE, "POINTSCALEENABLE", ValueSet::Bool},
    {0x41, k_Render, D3DRS_POINTSCALE_A, "POINTSCALE_A", ValueSet::Float},
    {0x42, k_Render, D3DRS_POINTSCALE_B, "POINTSCALE_B", ValueSet::Float},
    {0x43, k_Render, D3DRS_POINTSCALE_C, "POINTSCALE_C", ValueSet::Float},
    {0x44, k_Render, D3DRS_MULTISAMPLEANTIALIAS, "MULTISAMPLEANTIALIAS", ValueSet::Bool},
    {0x45, k_Render, D3DRS_MULTISAMPLEMASK, "MULTISAMPLEMASK", ValueSet::Integer},
    {0x46, k_Render, D3DRS_PATCHEDGESTYLE, "PATCHEDGESTYLE", ValueSet::PatchEdge},
    {0x47, k_Render, D3DRS_DEBUGMONITORTOKEN, "DEBUGMONITORTOKEN", ValueSet::Integer},
    {0x48, k_Render, D3DRS_INDEXEDVERTEXBLENDENABLE, "INDEXEDVERTEXBLENDENABLE", ValueSet::Bool},
    {0x49, k_Render, D3DRS_COLORWRITEENABLE, "COLORWRITEENABLE", ValueSet::ColorWrite},
    {0x4A, k_Render, D3DRS_TWEENFACTOR, "TWEENFACTOR", ValueSet::Float},
    {0x4B, k_Render, D3DRS_BLENDOP, "BLENDOP", ValueSet::BlendOp},
    {0x4C, k_Render, D3DRS_POSITIONDEGREE, "POSITIONDEGREE", ValueSet::Degree},
    {0x4D, k_Render, D3DRS_NORMALDEGREE, "NORMALDEGREE", ValueSet::Degree},
    {0x4E, k_Render, D3DRS_SCISSORTESTENABLE, "SCISSORTESTENABLE", ValueSet::Bool},
    {0x4F, k_Render, D3DRS_SLOPESCALEDEPTHBIAS, "SLOPESCALEDEPTHBIAS", ValueSet::Float},
    {0x50, k_Render, D3DRS_ANTIALIASEDLINEENABLE, "ANTIALIASEDLINEENABLE", ValueSet::Bool},
    {0x51, k_Render, D3DRS_MINTESSELLATIONLEVEL, "MINTESSELLATIONLEVEL", ValueSet::Float},
    {0x52, k_Render, D3DRS_MAXTESSELLATIONLEVEL, "MAXTESSELLATIONLEVEL", ValueSet::Float},
    {0x53, k_Render, D3DRS_ADAPTIVETESS_X, "ADAPTIVETESS_X", ValueSet::Float},
    {0x54, k_Render, D3DRS_ADAPTIVETESS_Y, "ADAPTIVETESS_Y", ValueSet::Float},
    {0x55, k_Render, D3DRS_ADAPTIVETESS_Z, "ADAPTIVETESS_Z", ValueSet::Float},
    {0x56, k_Render, D3DRS_ADAPTIVETESS_W, "ADAPTIVETESS_W", ValueSet::Float},
    {0x57, k_Render, D3DRS_ENABLEADAPTIVETESSELLATION, "ENABLEADAPTIVETESSELLATION", ValueSet::Bool},
    {0x58, k_Render, D3DRS_TWOSIDEDSTENCILMODE, "TWOSIDEDSTENCILMODE", ValueSet::Bool},
    {0x59, k_Render, D3DRS_CCW_STENCILFAIL, "CCW_STENCILFAIL", ValueSet::StencilOp},
    {0x5A, k_Render, D3DRS_CCW_STENCILZFAIL, "CCW_STENCILZFAIL", ValueSet::StencilOp},
    {0x5B, k_Render, D3DRS_CCW_STENCILPASS, "CCW_STENCILPASS", ValueSet::StencilOp},
    {0x5C, k_Render, D3DRS_CCW_STENCILFUNC, "CCW_STENCILFUNC", ValueSet::Cmp},
    {0x5D, k_Render, D3DRS_COLORWRITEENABLE1, "COLORWRITEENABLE1", ValueSet::ColorWrite},
    {0x5E, k_Render, D3DRS_COLORWRITEENABLE2, "COLORWRITEENABLE2", ValueSet::ColorWrite},
    {0x5F, k_Render, D3DRS_COLORWRITEENABLE3, "COLORWRITEENABLE3", ValueSet::ColorWrite},
    {0x60, k_Render, D3DRS_BLENDFACTOR, "BLENDFACTOR", ValueSet::Integer},
    {0x61, k_Render, D3DRS_SRGBWRITEENABLE, "SRGBWRITEENABLE", ValueSet::Bool},
    {0x62, k_Render, D3DRS_DEPTHBIAS, "DEPTHBIAS", ValueSet::Float},
    {0x63, k_Render, D3DRS_SEPARATEALPHABLENDENABLE, "SEPARATEALPHABLENDENABLE", ValueSet::Bool},
    {0x64, k_Render, D3DRS_SRCBLENDALPHA, "SRCBLENDALPHA", ValueSet::Blend},
    {0x65, k_Render, D3DRS_DESTBLENDALPHA, "DESTBLENDALPHA", ValueSet::Blend},
    {0x66, k_Render, D3DRS_BLENDOPALPHA, "BLENDOPALPHA", ValueSet::BlendOp},
    {0x92, k_VertexShader, 0, "VERTEXSHADER", ValueSet::Integer},
    {0x93, k_PixelShader, 0, "PIXELSHADER", ValueSet::Integer},
    {0xA4, k_Texture, 0, "TEXTURE", ValueSet::Integer},
    {0xA5, k_Sampler, D3DSAMP_ADDRESSU, "ADDRESSU", ValueSet::Address},
    {0xA6, k_Sampler, D3DSAMP_ADDRESSV, "ADDRESSV", ValueSet::Address},
    {0xA7, k_Sampler, D3DSAMP_ADDRESSW, "ADDRESSW", ValueSet::Address},
    {0xA8, k_Sampler, D3DSAMP_BORDERCOLOR, "BORDERCOLOR", ValueSet::Integer},
    {0xA9, k_Sampler, D3DSAMP_MAGFILTER, "MAGFILTER", ValueSet::Filter},
    {0xAA, k_Sampler, D3DSAMP_MINFILTER, "MINFILTER", ValueSet::Filter},
    {0xAB, k_Sampler, D3DSAMP_MIPFILTER, "MIPFILTER", ValueSet::Filter},
    {0xAC, k_Sampler, D3DSAMP_MIPMAPLODBIAS, "MIPMAPLODBIAS", ValueSet::Float},
    {0xAD, k_Sampler, D3DSAMP_MAXMIPLEVEL, "MAXMIPLEVEL", ValueSet::Integer},
    {0xAE, k_Sampler, D3DSAMP_MAXANISOTROPY, "MAXANISOTROPY", ValueSet::Integer},
    {0xAF, k_Sampler, D3DSAMP_SRGBTEXTURE, "SRGBTEXTURE", ValueSet::Bool},
    {0xB0, k_Sampler, D3DSAMP_ELEMENTINDEX, "ELEMENTINDEX", ValueSet::Integer},
    {0xB1, k_Sampler, D3DSAMP_DMAPOFFSET, "DMAPOFFSET", ValueSet::Integer},
    {0xB2, k_SamplerObject, 0, "SAMPLER", ValueSet::Integer},
};

struct ValueName {
    ValueSet Set;
    const char* Name;
    DWORD Value;
};

const ValueName kValues[] = {
    {ValueSet::Bool, "TRUE", 1},
    {ValueSet::Bool, "FALSE", 0},
    {ValueSet::ZBuffer, "TRUE", D3DZB_TRUE},
    {ValueSet::ZBuffer, "FALSE", D3DZB_FALSE},
    {ValueSet::ZBuffer, "USEW", D3DZB_USEW},
    {ValueSet::Fill, "POINT", D3DFILL_POINT},
    {ValueSet::Fill, "WIREFRAME", D3DFILL_WIREFRAME},
    {ValueSet::Fill, "SOLID", D3DFILL_SOLID},
    {ValueSet::Shade, "FLAT", D3DSHADE_FLAT},
    {ValueSet::Shade, "GOURAUD", D3DSHADE_GOURAUD},
    {ValueSet::Shade, "PHONG", D3DSHADE_PHONG},
    {ValueSet::Blend, "ZERO", D3DBLEND_ZERO},
    {ValueSet::Blend, "ONE", D3DBLEND_ONE},
    {ValueSet::Blend, "SRCCOLOR", D3DBLEND_SRCCOLOR},
    {ValueSet::Blend, "INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
    {ValueSet::Blend, "SRCALPHA", D3DBLEND_SRCALPHA},
    {ValueSet::Blend, "INVSRCALPHA", D3DBLEND_INVSRCALPHA},
    {ValueSet::Blend, "DESTALPHA", D3DBLEND_DESTALPHA},
    {ValueSet::Blend, "INVDESTALPHA", D3DBLEND_INVDESTALPHA},
    {ValueSet::Blend, "DESTCOLOR", D3DBLEND_DESTCOLOR},
    {ValueSet::Blend, "INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
    {ValueSet::Blend, "SRCALPHASAT", D3DBLEND_SRCALPHASAT},
    {ValueSet::Blend, "BOTHSRCALPHA", D3DBLEND_BOTHSRCALPHA},
    {ValueSet::Blend, "BOTHINVSRCALPHA", D3DBLEND_BOTHINVSRCALPHA},
    {ValueSet::Blend, "BLENDFACTOR", D3DBLEND_BLENDFACTOR},
    {ValueSet::Blend, "INVBLENDFACTOR", D3DBLEND_INVBLENDFACTOR},
    {ValueSet::BlendOp, "ADD", D3DBLENDOP_ADD},
    {ValueSet::BlendOp, "SUBTRACT", D3DBLENDOP_SUBTRACT},
    {ValueSet::BlendOp, "REVSUBTRACT", D3DBLENDOP_REVSUBTRACT},
    {ValueSet::BlendOp, "MIN", D3DBLENDOP_MIN},
    {ValueSet::BlendOp, "MAX", D3DBLENDOP_MAX},
    {ValueSet::Cull, "NONE", D3DCULL_NONE},
    {ValueSet::Cull, "CW", D3DCULL_CW},
    {ValueSet::Cull, "CCW", D3DCULL_CCW},
    {ValueSet::Cmp, "NEVER", D3DCMP_NEVER},
    {ValueSet::Cmp, "LESS", D3DCMP_LESS},
    {ValueSet::Cmp, "EQUAL", D3DCMP_EQUAL},
    {ValueSet::Cmp, "LESSEQUAL", D3DCMP_LESSEQUAL},
    {ValueSet::Cmp, "GREATER", D3DCMP_GREATER},
    {ValueSet::Cmp, "NOTEQUAL", D3DCMP_NOTEQUAL},
    {ValueSet::Cmp, "GREATEREQUAL", D3DCMP_GREATEREQUAL},
    {ValueSet::Cmp, "ALWAYS", D3DCMP_ALWAYS},
    {ValueSet::StencilOp, "KEEP", D3DSTENCILOP_KEEP},
    {ValueSet::StencilOp, "ZERO", D3DSTENCILOP_ZERO},
    {ValueSet::StencilOp, "REPLACE", D3DSTENCILOP_REPLACE},
    {ValueSet::StencilOp, "INCRSAT", D3DSTENCILOP_INCRSAT},
    {ValueSet::StencilOp, "DECRSAT", D3DSTENCILOP_DECRSAT},
    {ValueSet::StencilOp, "INVERT", D3DSTENCILOP_INVERT},
    {ValueSet::StencilOp, "INCR", D3DSTENCILOP_INCR},
    {ValueSet::StencilOp, "DECR", D3DSTENCILOP_DECR},
    {ValueSet::Fog, "NONE", D3DFOG_NONE},
    {ValueSet::Fog, "EXP", D3DFOG_EXP},
    {ValueSet::Fog, "EXP2", D3DFOG_EXP2},
    {ValueSet::Fog, "LINEAR", D3DFOG_LINEAR},
    {ValueSet::ColorWrite, "RED", D3DCOLORWRITEENABLE_RED},
    {ValueSet::ColorWrite, "GREEN", D3DCOLORWRITEENABLE_GREEN},
    {ValueSet::ColorWrite, "BLUE", D3DCOLORWRITEENABLE_BLUE},
    {ValueSet::ColorWrite, "ALPHA", D3DCOLORWRITEENABLE_ALPHA},
    {ValueSet::MaterialSource, "MATERIAL", D3DMCS_MATERIAL},
    {ValueSet::MaterialSource, "COLOR1", D3DMCS_COLOR1},
    {ValueSet::MaterialSource, "COLOR2", D3DMCS_COLOR2},
    {ValueSet::VertexBlend, "DISABLE", 0},
    {ValueSet::VertexBlend, "TWEENING", 255},
    {ValueSet::Wrap, "U", 1},
    {ValueSet::Wrap, "V", 2},
    {ValueSet::Wrap, "W", 4},
    {ValueSet::PatchEdge, "DISCRETE", 0},
    {ValueSet::PatchEdge, "CONTINUOUS", 1},
    {ValueSet::Degree, "LINEAR", D3DDEGREE_LINEAR},
    {ValueSet::Degree, "QUADRATIC", D3DDEGREE_QUADRATIC},
    {ValueSet::Degree, "CUBIC", D3DDEGREE_CUBIC},
    {ValueSet::Degree, "QUINTIC", D3DDEGREE_QUINTIC},
    {ValueSet::Address, "WRAP", D3DTADDRESS_WRAP},
    {ValueSet::Address, "MIRROR", D3DTADDRESS_MIRROR},
    {ValueSet::Address, "CLAMP", D3DTADDRESS_CLAMP},
    {ValueSet::Address, "BORDER", D3DTADDRESS_BORDER},
    {ValueSet::Address, "MIRRORONCE", D3DTADDRESS_MIRRORONCE},
    {ValueSet::Filter, "NONE", D3DTEXF_NONE},
    {ValueSet::Filter, "POINT", D3DTEXF_POINT},
    {ValueSet::Filter, "LINEAR", D3DTEXF_LINEAR},
    {ValueSet::Filter, "ANISOTROPIC", D3DTEXF_ANISOTROPIC},
    {ValueSet::Filter, "PYRAMIDALQUAD", D3DTEXF_PYRAMIDALQUAD},
    {ValueSet::Filter, "GAUSSIANQUAD", D3DTEXF_GAUSSIANQUAD},
    {ValueSet::Filter, "CONVOLUTIONMONO", D3DTEXF_CONVOLUTIONMONO},
};

}  // namespace

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == '\0') return false;
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return b[i] == '\0';
}

namespace {

const StateInfo* FindByName(StateAssignment::Target kind, const std::string& name) {
    for (const StateInfo& lr_Info : k_States)
        if (lr_Info.Class == kind && EqualsNoCase(name, lr_Info.Name)) return &lr_Info;
    return nullptr;
}

}  // namespace

const StateInfo* FindRenderState(const std::string& name) { return FindByName(k_Render, name); }

const StateInfo* FindSamplerState(const std::string& name) { return FindByName(k_Sampler, name); }

const StateInfo* StateByOperation(DWORD operation) {
    for (const StateInfo& lr_Info : k_States)
        if (lr_Info.Operation == operation) return &lr_Info;
    return nullptr;
}

const StateInfo* StateOfClass(StateAssignment::Target kind, DWORD state) {
    const bool lr_Device = kind == k_Render || kind == k_Sampler;
    for (const StateInfo& lr_Info : k_States)
        if (lr_Info.Class == kind && (!lr_Device || lr_Info.State == state)) return &lr_Info;
    return nullptr;
}

bool FindStateValue(ValueSet values, const std::string& name, DWORD& value) {
    for (const ValueName& lr_Value : kValues) {
        if (lr_Value.Set == values && EqualsNoCase(name, lr_Value.Name)) {
            value = lr_Value.Value;
            return true;
        }
    }
    return false;
}

}  // namespace softfx
