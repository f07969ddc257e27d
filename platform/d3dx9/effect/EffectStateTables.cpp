#include "effect/EffectStateTables.h"

#include <cctype>

namespace softfx {

namespace {

const StateInfo kRenderStates[] = {
    {"ZENABLE", D3DRS_ZENABLE, ValueSet::ZBuffer},
    {"FILLMODE", D3DRS_FILLMODE, ValueSet::Fill},
    {"SHADEMODE", D3DRS_SHADEMODE, ValueSet::Shade},
    {"ZWRITEENABLE", D3DRS_ZWRITEENABLE, ValueSet::Bool},
    {"ALPHATESTENABLE", D3DRS_ALPHATESTENABLE, ValueSet::Bool},
    {"LASTPIXEL", D3DRS_LASTPIXEL, ValueSet::Bool},
    {"SRCBLEND", D3DRS_SRCBLEND, ValueSet::Blend},
    {"DESTBLEND", D3DRS_DESTBLEND, ValueSet::Blend},
    {"CULLMODE", D3DRS_CULLMODE, ValueSet::Cull},
    {"ZFUNC", D3DRS_ZFUNC, ValueSet::Cmp},
    {"ALPHAREF", D3DRS_ALPHAREF, ValueSet::Integer},
    {"ALPHAFUNC", D3DRS_ALPHAFUNC, ValueSet::Cmp},
    {"DITHERENABLE", D3DRS_DITHERENABLE, ValueSet::Bool},
    {"ALPHABLENDENABLE", D3DRS_ALPHABLENDENABLE, ValueSet::Bool},
    {"FOGENABLE", D3DRS_FOGENABLE, ValueSet::Bool},
    {"SPECULARENABLE", D3DRS_SPECULARENABLE, ValueSet::Bool},
    {"FOGCOLOR", D3DRS_FOGCOLOR, ValueSet::Integer},
    {"FOGTABLEMODE", D3DRS_FOGTABLEMODE, ValueSet::Fog},
    {"FOGSTART", D3DRS_FOGSTART, ValueSet::Float},
    {"FOGEND", D3DRS_FOGEND, ValueSet::Float},
    {"FOGDENSITY", D3DRS_FOGDENSITY, ValueSet::Float},
    {"RANGEFOGENABLE", D3DRS_RANGEFOGENABLE, ValueSet::Bool},
    {"STENCILENABLE", D3DRS_STENCILENABLE, ValueSet::Bool},
    {"STENCILFAIL", D3DRS_STENCILFAIL, ValueSet::StencilOp},
    {"STENCILZFAIL", D3DRS_STENCILZFAIL, ValueSet::StencilOp},
    {"STENCILPASS", D3DRS_STENCILPASS, ValueSet::StencilOp},
    {"STENCILFUNC", D3DRS_STENCILFUNC, ValueSet::Cmp},
    {"STENCILREF", D3DRS_STENCILREF, ValueSet::Integer},
    {"STENCILMASK", D3DRS_STENCILMASK, ValueSet::Integer},
    {"STENCILWRITEMASK", D3DRS_STENCILWRITEMASK, ValueSet::Integer},
    {"TEXTUREFACTOR", D3DRS_TEXTUREFACTOR, ValueSet::Integer},
    {"WRAP0", D3DRS_WRAP0, ValueSet::Wrap},
    {"WRAP1", D3DRS_WRAP1, ValueSet::Wrap},
    {"WRAP2", D3DRS_WRAP2, ValueSet::Wrap},
    {"WRAP3", D3DRS_WRAP3, ValueSet::Wrap},
    {"WRAP4", D3DRS_WRAP4, ValueSet::Wrap},
    {"WRAP5", D3DRS_WRAP5, ValueSet::Wrap},
    {"WRAP6", D3DRS_WRAP6, ValueSet::Wrap},
    {"WRAP7", D3DRS_WRAP7, ValueSet::Wrap},
    {"CLIPPING", D3DRS_CLIPPING, ValueSet::Bool},
    {"LIGHTING", D3DRS_LIGHTING, ValueSet::Bool},
    {"AMBIENT", D3DRS_AMBIENT, ValueSet::Integer},
    {"FOGVERTEXMODE", D3DRS_FOGVERTEXMODE, ValueSet::Fog},
    {"COLORVERTEX", D3DRS_COLORVERTEX, ValueSet::Bool},
    {"LOCALVIEWER", D3DRS_LOCALVIEWER, ValueSet::Bool},
    {"NORMALIZENORMALS", D3DRS_NORMALIZENORMALS, ValueSet::Bool},
    {"DIFFUSEMATERIALSOURCE", D3DRS_DIFFUSEMATERIALSOURCE, ValueSet::MaterialSource},
    {"SPECULARMATERIALSOURCE", D3DRS_SPECULARMATERIALSOURCE, ValueSet::MaterialSource},
    {"AMBIENTMATERIALSOURCE", D3DRS_AMBIENTMATERIALSOURCE, ValueSet::MaterialSource},
    {"EMISSIVEMATERIALSOURCE", D3DRS_EMISSIVEMATERIALSOURCE, ValueSet::MaterialSource},
    {"VERTEXBLEND", D3DRS_VERTEXBLEND, ValueSet::VertexBlend},
    {"CLIPPLANEENABLE", D3DRS_CLIPPLANEENABLE, ValueSet::Integer},
    {"POINTSIZE", D3DRS_POINTSIZE, ValueSet::Float},
    {"POINTSIZE_MIN", D3DRS_POINTSIZE_MIN, ValueSet::Float},
    {"POINTSPRITEENABLE", D3DRS_POINTSPRITEENABLE, ValueSet::Bool},
    {"POINTSCALEENABLE", D3DRS_POINTSCALEENABLE, ValueSet::Bool},
    {"POINTSCALE_A", D3DRS_POINTSCALE_A, ValueSet::Float},
    {"POINTSCALE_B", D3DRS_POINTSCALE_B, ValueSet::Float},
    {"POINTSCALE_C", D3DRS_POINTSCALE_C, ValueSet::Float},
    {"MULTISAMPLEANTIALIAS", D3DRS_MULTISAMPLEANTIALIAS, ValueSet::Bool},
    {"MULTISAMPLEMASK", D3DRS_MULTISAMPLEMASK, ValueSet::Integer},
    {"PATCHEDGESTYLE", D3DRS_PATCHEDGESTYLE, ValueSet::PatchEdge},
    {"DEBUGMONITORTOKEN", D3DRS_DEBUGMONITORTOKEN, ValueSet::Integer},
    {"POINTSIZE_MAX", D3DRS_POINTSIZE_MAX, ValueSet::Float},
    {"INDEXEDVERTEXBLENDENABLE", D3DRS_INDEXEDVERTEXBLENDENABLE, ValueSet::Bool},
    {"COLORWRITEENABLE", D3DRS_COLORWRITEENABLE, ValueSet::ColorWrite},
    {"TWEENFACTOR", D3DRS_TWEENFACTOR, ValueSet::Float},
    {"BLENDOP", D3DRS_BLENDOP, ValueSet::BlendOp},
    {"POSITIONDEGREE", D3DRS_POSITIONDEGREE, ValueSet::Degree},
    {"NORMALDEGREE", D3DRS_NORMALDEGREE, ValueSet::Degree},
    {"SCISSORTESTENABLE", D3DRS_SCISSORTESTENABLE, ValueSet::Bool},
    {"SLOPESCALEDEPTHBIAS", D3DRS_SLOPESCALEDEPTHBIAS, ValueSet::Float},
    {"ANTIALIASEDLINEENABLE", D3DRS_ANTIALIASEDLINEENABLE, ValueSet::Bool},
    {"MINTESSELLATIONLEVEL", D3DRS_MINTESSELLATIONLEVEL, ValueSet::Float},
    {"MAXTESSELLATIONLEVEL", D3DRS_MAXTESSELLATIONLEVEL, ValueSet::Float},
    {"ADAPTIVETESS_X", D3DRS_ADAPTIVETESS_X, ValueSet::Float},
    {"ADAPTIVETESS_Y", D3DRS_ADAPTIVETESS_Y, ValueSet::Float},
    {"ADAPTIVETESS_Z", D3DRS_ADAPTIVETESS_Z, ValueSet::Float},
    {"ADAPTIVETESS_W", D3DRS_ADAPTIVETESS_W, ValueSet::Float},
    {"ENABLEADAPTIVETESSELLATION", D3DRS_ENABLEADAPTIVETESSELLATION, ValueSet::Bool},
    {"TWOSIDEDSTENCILMODE", D3DRS_TWOSIDEDSTENCILMODE, ValueSet::Bool},
    {"CCW_STENCILFAIL", D3DRS_CCW_STENCILFAIL, ValueSet::StencilOp},
    {"CCW_STENCILZFAIL", D3DRS_CCW_STENCILZFAIL, ValueSet::StencilOp},
    {"CCW_STENCILPASS", D3DRS_CCW_STENCILPASS, ValueSet::StencilOp},
    {"CCW_STENCILFUNC", D3DRS_CCW_STENCILFUNC, ValueSet::Cmp},
    {"COLORWRITEENABLE1", D3DRS_COLORWRITEENABLE1, ValueSet::ColorWrite},
    {"COLORWRITEENABLE2", D3DRS_COLORWRITEENABLE2, ValueSet::ColorWrite},
    {"COLORWRITEENABLE3", D3DRS_COLORWRITEENABLE3, ValueSet::ColorWrite},
    {"BLENDFACTOR", D3DRS_BLENDFACTOR, ValueSet::Integer},
    {"SRGBWRITEENABLE", D3DRS_SRGBWRITEENABLE, ValueSet::Bool},
    {"DEPTHBIAS", D3DRS_DEPTHBIAS, ValueSet::Float},
    {"WRAP8", D3DRS_WRAP8, ValueSet::Wrap},
    {"WRAP9", D3DRS_WRAP9, ValueSet::Wrap},
    {"WRAP10", D3DRS_WRAP10, ValueSet::Wrap},
    {"WRAP11", D3DRS_WRAP11, ValueSet::Wrap},
    {"WRAP12", D3DRS_WRAP12, ValueSet::Wrap},
    {"WRAP13", D3DRS_WRAP13, ValueSet::Wrap},
    {"WRAP14", D3DRS_WRAP14, ValueSet::Wrap},
    {"WRAP15", D3DRS_WRAP15, ValueSet::Wrap},
    {"SEPARATEALPHABLENDENABLE", D3DRS_SEPARATEALPHABLENDENABLE, ValueSet::Bool},
    {"SRCBLENDALPHA", D3DRS_SRCBLENDALPHA, ValueSet::Blend},
    {"DESTBLENDALPHA", D3DRS_DESTBLENDALPHA, ValueSet::Blend},
    {"BLENDOPALPHA", D3DRS_BLENDOPALPHA, ValueSet::BlendOp},
};

const StateInfo kSamplerStates[] = {
    {"ADDRESSU", D3DSAMP_ADDRESSU, ValueSet::Address},
    {"ADDRESSV", D3DSAMP_ADDRESSV, ValueSet::Address},
    {"ADDRESSW", D3DSAMP_ADDRESSW, ValueSet::Address},
    {"BORDERCOLOR", D3DSAMP_BORDERCOLOR, ValueSet::Integer},
    {"MAGFILTER", D3DSAMP_MAGFILTER, ValueSet::Filter},
    {"MINFILTER", D3DSAMP_MINFILTER, ValueSet::Filter},
    {"MIPFILTER", D3DSAMP_MIPFILTER, ValueSet::Filter},
    {"MIPMAPLODBIAS", D3DSAMP_MIPMAPLODBIAS, ValueSet::Float},
    {"MAXMIPLEVEL", D3DSAMP_MAXMIPLEVEL, ValueSet::Integer},
    {"MAXANISOTROPY", D3DSAMP_MAXANISOTROPY, ValueSet::Integer},
    {"SRGBTEXTURE", D3DSAMP_SRGBTEXTURE, ValueSet::Bool},
    {"ELEMENTINDEX", D3DSAMP_ELEMENTINDEX, ValueSet::Integer},
    {"DMAPOFFSET", D3DSAMP_DMAPOFFSET, ValueSet::Integer},
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

const StateInfo* FindRenderState(const std::string& name) {
    for (const StateInfo& lr_Info : kRenderStates)
        if (EqualsNoCase(name, lr_Info.Name)) return &lr_Info;
    return nullptr;
}

const StateInfo* FindSamplerState(const std::string& name) {
    for (const StateInfo& lr_Info : kSamplerStates)
        if (EqualsNoCase(name, lr_Info.Name)) return &lr_Info;
    return nullptr;
}

const StateInfo* RenderStateByValue(DWORD state) {
    for (const StateInfo& lr_Info : kRenderStates)
        if (lr_Info.State == state) return &lr_Info;
    return nullptr;
}

const StateInfo* SamplerStateByValue(DWORD state) {
    for (const StateInfo& lr_Info : kSamplerStates)
        if (lr_Info.State == state) return &lr_Info;
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
