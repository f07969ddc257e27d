#include "pipeline/SoftOutputMerger.h"

#include "objects/SoftSurface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool IsFloatFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R16F:
    case D3DFMT_G16R16F:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_R32F:
    case D3DFMT_G32R32F:
    case D3DFMT_A32B32G32R32F: return true;
    default: return false;
    }
}

// All stencil bits of a depth format set; 0 for a format without stencil.
DWORD StencilMax(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D15S1: return 0x1u;
    case D3DFMT_D24X4S4: return 0xFu;
    case D3DFMT_D24S8: return 0xFFu;
    default: return 0u;
    }
}

float Saturate(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

DWORD Load32(const BYTE* pixel) {
    DWORD lr_Value;
    std::memcpy(&lr_Value, pixel, 4);
    return lr_Value;
}

}  // namespace

SoftOutputMerger::SoftOutputMerger()
    : mr_TargetCount(0),
      mr_Bounds{0, 0, 0, 0},
      mr_Depth_(nullptr),
      mr_DepthPitch(0),
      mr_DepthFormat(D3DFMT_UNKNOWN),
      mr_DepthBytes(0),
      mr_DepthScale(0.0),
      mr_DepthTest(false),
      mr_DepthWrite(false),
      mr_DepthFunc(D3DCMP_ALWAYS),
      mr_Stencil(false),
      mr_StencilIgnored(false),
      mr_StencilMax(0),
      mr_StencilRef(0),
      mr_StencilMask(0),
      mr_StencilWriteMask(0),
      mr_AlphaTest(false),
      mr_AlphaFunc(D3DCMP_ALWAYS),
      mr_AlphaRef(0),
      mr_Blend(false),
      mr_SrcBlend(D3DBLEND_ONE),
      mr_DestBlend(D3DBLEND_ZERO),
      mr_BlendOp(D3DBLENDOP_ADD),
      mr_SrcBlendAlpha(D3DBLEND_ONE),
      mr_DestBlendAlpha(D3DBLEND_ZERO),
      mr_BlendOpAlpha(D3DBLENDOP_ADD),
      mr_BlendFactor{1.0f, 1.0f, 1.0f, 1.0f} {}

const char* SoftOutputMerger::Configure(const SoftDeviceState& state, SoftSurface* const targets[SOFT_RENDER_TARGETS],
                                        SoftSurface* depthStencil, UINT colorOutputs) {
    const DWORD* lr_Rs_ = state.RenderStates;
    if (lr_Rs_[D3DRS_SRGBWRITEENABLE]) return "sRGB writes are not supported";
    const D3DRENDERSTATETYPE k_WriteMasks[SOFT_RENDER_TARGETS] = {D3DRS_COLORWRITEENABLE, D3DRS_COLORWRITEENABLE1,
                                                                  D3DRS_COLORWRITEENABLE2, D3DRS_COLORWRITEENABLE3};
    mr_TargetCount = 0;
    mr_Bounds = SoftPixelRect{0, 0, 1 << 30, 1 << 30};
    for (UINT i = 0; i < SOFT_RENDER_TARGETS; ++i) {
        mr_Targets[i] = Target();
        SoftSurface* lr_Surface_ = targets[i];
        if (!lr_Surface_) continue;
        const D3DSURFACE_DESC& lr_Desc = lr_Surface_->Desc();
        if (lr_Desc.MultiSampleType != D3DMULTISAMPLE_NONE) return "multisampled render targets are not supported";
        Target& lr_Target = mr_Targets[i];
        lr_Target.Codec = SoftGetPixelCodec(lr_Desc.Format);
        if (!lr_Target.Codec.Encode || !lr_Target.Codec.Decode)
            return "a render target's format has no pixel conversion here";
        lr_Target.Bits_ = lr_Surface_->Bits();
        lr_Target.Pitch = lr_Surface_->Pitch();
        // A target whose colour the shader does not write keeps its pixels.
        lr_Target.WriteMask = (colorOutputs & (1u << i)) ? lr_Rs_[k_WriteMasks[i]] & 0xFu : 0u;
        lr_Target.Clamp = !IsFloatFormat(lr_Desc.Format);
        mr_TargetCount = i + 1;
        mr_Bounds.Right = std::min(mr_Bounds.Right, static_cast<int>(lr_Desc.Width));
        mr_Bounds.Bottom = std::min(mr_Bounds.Bottom, static_cast<int>(lr_Desc.Height));
    }
    if (!targets[0]) return "no render target is bound";

    // Without a depth buffer there is nothing to test against.
    mr_DepthTest = depthStencil && lr_Rs_[D3DRS_ZENABLE] != D3DZB_FALSE;
    const bool lr_StencilOn = depthStencil && lr_Rs_[D3DRS_STENCILENABLE] != 0;
    mr_StencilMax = depthStencil ? StencilMax(depthStencil->Desc().Format) : 0u;
    mr_Stencil = lr_StencilOn && mr_StencilMax != 0;
    mr_StencilIgnored = lr_StencilOn && mr_StencilMax == 0;
    mr_Depth_ = nullptr;
    mr_DepthWrite = false;
    if (mr_DepthTest || mr_Stencil) {
        const D3DSURFACE_DESC& lr_Desc = depthStencil->Desc();
        double lr_Probe;
        if (!QuantiseDepth(lr_Desc.Format, 0.5f, &lr_Probe)) return "the depth buffer's format is not supported";
        mr_Depth_ = depthStencil->Bits();
        mr_DepthPitch = depthStencil->Pitch();
        mr_DepthFormat = lr_Desc.Format;
        mr_DepthBytes = SoftGetFormatInfo(lr_Desc.Format).BytesPerPixel;
        double lr_One;
        QuantiseDepth(lr_Desc.Format, 1.0f, &lr_One);
        mr_DepthScale = lr_Desc.Format == D3DFMT_D32F_LOCKABLE ? 0.0 : lr_One;
        mr_DepthWrite = mr_DepthTest && lr_Rs_[D3DRS_ZWRITEENABLE] != 0;
        mr_DepthFunc = lr_Rs_[D3DRS_ZFUNC];
        mr_Bounds.Right = std::min(mr_Bounds.Right, static_cast<int>(lr_Desc.Width));
        mr_Bounds.Bottom = std::min(mr_Bounds.Bottom, static_cast<int>(lr_Desc.Height));
    }
    if (mr_Stencil) {
        // Reference and masks are shared by both faces; only the function
        // and the operations have counter-clockwise twins.
        mr_StencilRef = lr_Rs_[D3DRS_STENCILREF] & mr_StencilMax;
        mr_StencilMask = lr_Rs_[D3DRS_STENCILMASK] & mr_StencilMax;
        mr_StencilWriteMask = lr_Rs_[D3DRS_STENCILWRITEMASK] & mr_StencilMax;
        StencilFace& lr_Front = mr_StencilFaces[0];
        lr_Front.Func = lr_Rs_[D3DRS_STENCILFUNC];
        lr_Front.Fail = lr_Rs_[D3DRS_STENCILFAIL];
        lr_Front.DepthFail = lr_Rs_[D3DRS_STENCILZFAIL];
        lr_Front.Pass = lr_Rs_[D3DRS_STENCILPASS];
        mr_StencilFaces[1] = lr_Front;
        if (lr_Rs_[D3DRS_TWOSIDEDSTENCILMODE]) {
            StencilFace& lr_Back = mr_StencilFaces[1];
            lr_Back.Func = lr_Rs_[D3DRS_CCW_STENCILFUNC];
            lr_Back.Fail = lr_Rs_[D3DRS_CCW_STENCILFAIL];
            lr_Back.DepthFail = lr_Rs_[D3DRS_CCW_STENCILZFAIL];
            lr_Back.Pass = lr_Rs_[D3DRS_CCW_STENCILPASS];
        }
    }

    mr_AlphaTest = lr_Rs_[D3DRS_ALPHATESTENABLE] != 0;
    mr_AlphaFunc = lr_Rs_[D3DRS_ALPHAFUNC];
    mr_AlphaRef = lr_Rs_[D3DRS_ALPHAREF] & 0xFFu;

    mr_Blend = lr_Rs_[D3DRS_ALPHABLENDENABLE] != 0;
    mr_SrcBlend = lr_Rs_[D3DRS_SRCBLEND];
    mr_DestBlend = lr_Rs_[D3DRS_DESTBLEND];
    mr_BlendOp = lr_Rs_[D3DRS_BLENDOP];
    if (lr_Rs_[D3DRS_SEPARATEALPHABLENDENABLE]) {
        mr_SrcBlendAlpha = lr_Rs_[D3DRS_SRCBLENDALPHA];
        mr_DestBlendAlpha = lr_Rs_[D3DRS_DESTBLENDALPHA];
        mr_BlendOpAlpha = lr_Rs_[D3DRS_BLENDOPALPHA];
    } else {
        mr_SrcBlendAlpha = mr_SrcBlend;
        mr_DestBlendAlpha = mr_DestBlend;
        mr_BlendOpAlpha = mr_BlendOp;
    }
    D3DCOLOR lr_Factor = lr_Rs_[D3DRS_BLENDFACTOR];
    mr_BlendFactor[0] = ((lr_Factor >> 16) & 0xFF) / 255.0f;
    mr_BlendFactor[1] = ((lr_Factor >> 8) & 0xFF) / 255.0f;
    mr_BlendFactor[2] = (lr_Factor & 0xFF) / 255.0f;
    mr_BlendFactor[3] = ((lr_Factor >> 24) & 0xFF) / 255.0f;
    return nullptr;
}

bool SoftOutputMerger::Compare(DWORD func, double incoming, double stored) {
    switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return incoming < stored;
    case D3DCMP_EQUAL: return incoming == stored;
    case D3DCMP_LESSEQUAL: return incoming <= stored;
    case D3DCMP_GREATER: return incoming > stored;
    case D3DCMP_NOTEQUAL: return incoming != stored;
    case D3DCMP_GREATEREQUAL: return incoming >= stored;
    default: return true;  // D3DCMP_ALWAYS
    }
}

bool SoftOutputMerger::QuantiseDepth(D3DFORMAT format, float z, double* value) {
    // As Clear stores them: UNORM depth rounded to the nearest step, halves up.
    double lr_Z = z > 0.0f ? (z < 1.0f ? z : 1.0) : 0.0;
    // Non-negative here, so truncation is the floor (a library call otherwise).
    auto lr_Round = [](double v) { return static_cast<double>(static_cast<uint64_t>(v + 0.5)); };
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: *value = lr_Round(lr_Z * 65535.0); return true;
    case D3DFMT_D15S1: *value = lr_Round(lr_Z * 32767.0); return true;
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4: *value = lr_Round(lr_Z * 16777215.0); return true;
    case D3DFMT_D32:
    case D3DFMT_D32_LOCKABLE: *value = lr_Round(lr_Z * 4294967295.0); return true;
    case D3DFMT_D32F_LOCKABLE: *value = static_cast<float>(lr_Z); return true;
    default: return false;
    }
}

void SoftOutputMerger::ReadStoredDepth(const BYTE* pixel, double* value) const {
    switch (mr_DepthFormat) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: {
        WORD lr_Word;
        std::memcpy(&lr_Word, pixel, 2);
        *value = lr_Word;
        return;
    }
    case D3DFMT_D15S1: {
        WORD lr_Word;
        std::memcpy(&lr_Word, pixel, 2);
        *value = lr_Word >> 1;
        return;
    }
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4: *value = Load32(pixel) >> 8; return;
    case D3DFMT_D32:
    case D3DFMT_D32_LOCKABLE: *value = Load32(pixel); return;
    default: {
        float lr_Float;
        std::memcpy(&lr_Float, pixel, 4);
        *value = lr_Float;
        return;
    }
    }
}

void SoftOutputMerger::WriteDepth(BYTE* pixel, float z, double quantised) const {
    switch (mr_DepthFormat) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE: {
        WORD lr_Word = static_cast<WORD>(quantised);
        std::memcpy(pixel, &lr_Word, 2);
        return;
    }
    case D3DFMT_D15S1: {
        WORD lr_Word;
        std::memcpy(&lr_Word, pixel, 2);
        lr_Word = static_cast<WORD>((static_cast<DWORD>(quantised) << 1) | (lr_Word & 1u));
        std::memcpy(pixel, &lr_Word, 2);
        return;
    }
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4: {
        DWORD lr_Value = (static_cast<DWORD>(quantised) << 8) | (Load32(pixel) & 0xFFu);
        std::memcpy(pixel, &lr_Value, 4);
        return;
    }
    case D3DFMT_D32:
    case D3DFMT_D32_LOCKABLE: {
        DWORD lr_Value = static_cast<DWORD>(quantised);
        std::memcpy(pixel, &lr_Value, 4);
        return;
    }
    default: {
        float lr_Float = Saturate(z);
        std::memcpy(pixel, &lr_Float, 4);
        return;
    }
    }
}

void SoftOutputMerger::BlendFactor(DWORD factor, const float src[4], const float dst[4], bool alpha,
                                   float out[4]) const {
    auto lr_Fill = [&](float v) { out[0] = out[1] = out[2] = out[3] = v; };
    switch (factor) {
    case D3DBLEND_ZERO: lr_Fill(0.0f); return;
    case D3DBLEND_SRCCOLOR:
        for (int i = 0; i < 4; ++i) out[i] = src[i];
        return;
    case D3DBLEND_INVSRCCOLOR:
        for (int i = 0; i < 4; ++i) out[i] = 1.0f - src[i];
        return;
    case D3DBLEND_SRCALPHA:
    case D3DBLEND_BOTHSRCALPHA: lr_Fill(src[3]); return;
    case D3DBLEND_INVSRCALPHA:
    case D3DBLEND_BOTHINVSRCALPHA: lr_Fill(1.0f - src[3]); return;
    case D3DBLEND_DESTALPHA: lr_Fill(dst[3]); return;
    case D3DBLEND_INVDESTALPHA: lr_Fill(1.0f - dst[3]); return;
    case D3DBLEND_DESTCOLOR:
        for (int i = 0; i < 4; ++i) out[i] = dst[i];
        return;
    case D3DBLEND_INVDESTCOLOR:
        for (int i = 0; i < 4; ++i) out[i] = 1.0f - dst[i];
        return;
    case D3DBLEND_SRCALPHASAT:
        lr_Fill(std::min(src[3], 1.0f - dst[3]));
        out[3] = 1.0f;  // the alpha channel's factor is one
        if (alpha) lr_Fill(1.0f);
        return;
    case D3DBLEND_BLENDFACTOR:
        for (int i = 0; i < 4; ++i) out[i] = mr_BlendFactor[i];
        return;
    case D3DBLEND_INVBLENDFACTOR:
        for (int i = 0; i < 4; ++i) out[i] = 1.0f - mr_BlendFactor[i];
        return;
    default: lr_Fill(1.0f); return;  // D3DBLEND_ONE
    }
}

namespace {

// BOTHSRCALPHA and BOTHINVSRCALPHA set the destination factor too.
DWORD DestFactor(DWORD srcBlend, DWORD destBlend) {
    if (srcBlend == D3DBLEND_BOTHSRCALPHA) return D3DBLEND_INVSRCALPHA;
    if (srcBlend == D3DBLEND_BOTHINVSRCALPHA) return D3DBLEND_SRCALPHA;
    return destBlend;
}

float Combine(DWORD op, float src, float dst, float srcFactor, float dstFactor) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return src * srcFactor - dst * dstFactor;
    case D3DBLENDOP_REVSUBTRACT: return dst * dstFactor - src * srcFactor;
    case D3DBLENDOP_MIN: return std::min(src, dst);
    case D3DBLENDOP_MAX: return std::max(src, dst);
    default: return src * srcFactor + dst * dstFactor;
    }
}

}  // namespace

void SoftOutputMerger::Blend(const float src[4], const float dst[4], float out[4]) const {
    float lr_Src[4], lr_Dst[4];
    BlendFactor(mr_SrcBlend, src, dst, false, lr_Src);
    BlendFactor(DestFactor(mr_SrcBlend, mr_DestBlend), src, dst, false, lr_Dst);
    for (int i = 0; i < 3; ++i) out[i] = Combine(mr_BlendOp, src[i], dst[i], lr_Src[i], lr_Dst[i]);
    float lr_SrcAlpha[4], lr_DstAlpha[4];
    BlendFactor(mr_SrcBlendAlpha, src, dst, true, lr_SrcAlpha);
    BlendFactor(DestFactor(mr_SrcBlendAlpha, mr_DestBlendAlpha), src, dst, true, lr_DstAlpha);
    out[3] = Combine(mr_BlendOpAlpha, src[3], dst[3], lr_SrcAlpha[3], lr_DstAlpha[3]);
}

double SoftOutputMerger::IncomingDepth(float z) const {
    const double lr_Z = Saturate(z);
    // Non-negative, so truncation rounds as floor would.
    return mr_DepthScale != 0.0 ? static_cast<double>(static_cast<uint64_t>(lr_Z * mr_DepthScale + 0.5)) : lr_Z;
}

bool SoftOutputMerger::DepthPasses(int x, int y, float z) const {
    const BYTE* lr_Pixel = mr_Depth_ + static_cast<size_t>(y) * mr_DepthPitch + static_cast<size_t>(x) * mr_DepthBytes;
    double lr_Stored;
    ReadStoredDepth(lr_Pixel, &lr_Stored);
    return Compare(mr_DepthFunc, IncomingDepth(z), lr_Stored);
}

DWORD SoftOutputMerger::ReadStencil(const BYTE* pixel) const {
    // The stencil bits are the lowest of the pixel in every format handled.
    return pixel[0] & mr_StencilMax;
}

void SoftOutputMerger::ApplyStencilOp(BYTE* pixel, DWORD op, DWORD stored) const {
    DWORD lr_Value;
    switch (op) {
    case D3DSTENCILOP_ZERO: lr_Value = 0; break;
    case D3DSTENCILOP_REPLACE: lr_Value = mr_StencilRef; break;
    case D3DSTENCILOP_INCRSAT: lr_Value = stored < mr_StencilMax ? stored + 1 : stored; break;
    case D3DSTENCILOP_DECRSAT: lr_Value = stored > 0 ? stored - 1 : 0; break;
    case D3DSTENCILOP_INVERT: lr_Value = ~stored; break;
    case D3DSTENCILOP_INCR: lr_Value = stored + 1; break;
    case D3DSTENCILOP_DECR: lr_Value = stored - 1; break;
    default: return;  // D3DSTENCILOP_KEEP
    }
    lr_Value = ((stored & ~mr_StencilWriteMask) | (lr_Value & mr_StencilWriteMask)) & mr_StencilMax;
    pixel[0] = static_cast<BYTE>((pixel[0] & ~mr_StencilMax) | lr_Value);
}

bool SoftOutputMerger::Merge(int x, int y, float z, const SoftPixelOutputs& out, bool depthTested,
                             bool clockwise) const {
    if (out.Killed) return false;
    if (mr_AlphaTest) {
        // Alpha is compared at the reference's 8-bit precision.
        double lr_Alpha = std::floor(Saturate(out.Color[0][3]) * 255.0f + 0.5f);
        if (!Compare(mr_AlphaFunc, lr_Alpha, mr_AlphaRef)) return false;
    }
    BYTE* lr_DepthPixel =
        mr_Depth_ ? mr_Depth_ + static_cast<size_t>(y) * mr_DepthPitch + static_cast<size_t>(x) * mr_DepthBytes
                  : nullptr;
    const StencilFace* lr_Face_ = nullptr;
    DWORD lr_Stencil = 0;
    if (mr_Stencil) {
        lr_Face_ = &mr_StencilFaces[clockwise ? 0 : 1];
        lr_Stencil = ReadStencil(lr_DepthPixel);
        if (!Compare(lr_Face_->Func, mr_StencilRef & mr_StencilMask, lr_Stencil & mr_StencilMask)) {
            ApplyStencilOp(lr_DepthPixel, lr_Face_->Fail, lr_Stencil);
            return false;
        }
    }
    if (mr_DepthTest) {
        float lr_Z = out.DepthWritten ? out.Depth : z;
        const double lr_Incoming = IncomingDepth(lr_Z);
        if (!depthTested) {
            double lr_Stored;
            ReadStoredDepth(lr_DepthPixel, &lr_Stored);
            if (!Compare(mr_DepthFunc, lr_Incoming, lr_Stored)) {
                if (lr_Face_) ApplyStencilOp(lr_DepthPixel, lr_Face_->DepthFail, lr_Stencil);
                return false;
            }
        }
        if (mr_DepthWrite) WriteDepth(lr_DepthPixel, lr_Z, lr_Incoming);
    }
    // After the depth write, which keeps the stencil bits as they were.
    if (lr_Face_) ApplyStencilOp(lr_DepthPixel, lr_Face_->Pass, lr_Stencil);
    for (UINT i = 0; i < mr_TargetCount; ++i) {
        const Target& lr_Target = mr_Targets[i];
        if (!lr_Target.Bits_ || lr_Target.WriteMask == 0) continue;
        BYTE* lr_Pixel = lr_Target.Bits_ + static_cast<size_t>(y) * lr_Target.Pitch +
                         static_cast<size_t>(x) * lr_Target.Codec.BytesPerPixel;
        float lr_Src[4];
        for (int c = 0; c < 4; ++c) lr_Src[c] = lr_Target.Clamp ? Saturate(out.Color[i][c]) : out.Color[i][c];
        if (!mr_Blend && lr_Target.WriteMask == 0xFu) {
            lr_Target.Codec.Encode(lr_Src, lr_Pixel);
            continue;
        }
        float lr_Dst[4], lr_Result[4];
        lr_Target.Codec.Decode(lr_Pixel, lr_Dst);
        if (mr_Blend) {
            Blend(lr_Src, lr_Dst, lr_Result);
        } else {
            std::memcpy(lr_Result, lr_Src, sizeof(lr_Result));
        }
        for (int c = 0; c < 4; ++c) {
            if (!(lr_Target.WriteMask & (1u << c))) lr_Result[c] = lr_Dst[c];
        }
        lr_Target.Codec.Encode(lr_Result, lr_Pixel);
    }
    return true;
}
