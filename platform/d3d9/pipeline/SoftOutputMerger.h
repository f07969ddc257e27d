// What happens to a shaded pixel: alpha test, stencil test and operations,
// depth test and write, blending and the colour write mask, and the conversion to each render target's
// format. Configured once per draw; Merge only reads that configuration, so
// threads working on separate pixels may call it at once.
#pragma once

#include "objects/SoftStateRecord.h"
#include "pipeline/SoftFormat.h"
#include "pipeline/SoftPixelTypes.h"
#include "pipeline/SoftTriangleSetup.h"

class SoftSurface;

class SoftOutputMerger {
public:
    SoftOutputMerger();

    // Reads the render states and the bound surfaces; target n receives
    // colour output n when bit n of `colorOutputs` is set. Returns nullptr,
    // or why this device cannot draw with them.
    const char* Configure(const SoftDeviceState& state, SoftSurface* const targets[SOFT_RENDER_TARGETS],
                          SoftSurface* depthStencil, UINT colorOutputs);

    // Pixels every bound surface holds.
    const SoftPixelRect& Bounds() const { return mr_Bounds; }

    // Tests and writes one pixel; true when it passed every test (what an
    // occlusion query counts, whatever the colour writes). `depthTested`: the
    // pixel already passed DepthPasses before it was shaded. `clockwise`:
    // its triangle's screen winding, which picks the stencil face.
    bool Merge(int x, int y, float z, const SoftPixelOutputs& out, bool depthTested = false,
               bool clockwise = true) const;

    // Whether a pixel whose depth the shader leaves alone can be depth-tested
    // before it is shaded: no alpha test (or texkill, the caller knows) could
    // still drop it between, so the early test gives the same answer. The
    // stencil operations run on depth failures too, so stencil rules it out.
    bool EarlyDepthTestable() const { return mr_DepthTest && !mr_AlphaTest && !mr_Stencil; }
    // STENCILENABLE is on but the depth buffer holds no stencil bits.
    bool StencilIgnored() const { return mr_StencilIgnored; }
    // The depth test alone, without writing.
    bool DepthPasses(int x, int y, float z) const;

private:
    // Incoming depth at the depth buffer's precision.
    double IncomingDepth(float z) const;
    static bool Compare(DWORD func, double incoming, double stored);
    // Depth quantised to the format's precision; false for formats not handled.
    static bool QuantiseDepth(D3DFORMAT format, float z, double* value);
    void Blend(const float src[4], const float dst[4], float out[4]) const;
    struct Target {
        BYTE* Bits_ = nullptr;
        UINT Pitch = 0;
        SoftPixelCodec Codec{};
        DWORD WriteMask = 0;  // D3DCOLORWRITEENABLE bits
        bool Clamp = true;    // UNORM: colours clamp to [0, 1] before blending
    };

    // Stencil of one face: D3DRS_STENCIL* or, for counter-clockwise
    // triangles under two-sided stencil, D3DRS_CCW_STENCIL*.
    struct StencilFace {
        DWORD Func = D3DCMP_ALWAYS;
        DWORD Fail = D3DSTENCILOP_KEEP, DepthFail = D3DSTENCILOP_KEEP, Pass = D3DSTENCILOP_KEEP;
    };
    DWORD ReadStencil(const BYTE* pixel) const;
    void ApplyStencilOp(BYTE* pixel, DWORD op, DWORD stored) const;

    void ReadStoredDepth(const BYTE* pixel, double* value) const;
    void WriteDepth(BYTE* pixel, float z, double quantised) const;
    void BlendFactor(DWORD factor, const float src[4], const float dst[4], bool alpha, float out[4]) const;

    Target mr_Targets[SOFT_RENDER_TARGETS];
    UINT mr_TargetCount;  // highest bound index + 1
    SoftPixelRect mr_Bounds;

    BYTE* mr_Depth_;
    UINT mr_DepthPitch;
    D3DFORMAT mr_DepthFormat;
    UINT mr_DepthBytes;
    double mr_DepthScale;  // steps of a UNORM format; 0 for float depth
    bool mr_DepthTest;
    bool mr_DepthWrite;
    DWORD mr_DepthFunc;

    bool mr_Stencil;  // test and operations on
    bool mr_StencilIgnored;
    DWORD mr_StencilMax;  // all stencil bits of the format set
    DWORD mr_StencilRef, mr_StencilMask, mr_StencilWriteMask;
    StencilFace mr_StencilFaces[2];  // clockwise, counter-clockwise

    bool mr_AlphaTest;
    DWORD mr_AlphaFunc;
    DWORD mr_AlphaRef;

    bool mr_Blend;
    DWORD mr_SrcBlend, mr_DestBlend, mr_BlendOp;
    DWORD mr_SrcBlendAlpha, mr_DestBlendAlpha, mr_BlendOpAlpha;
    float mr_BlendFactor[4];
};
