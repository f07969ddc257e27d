// RenderDepth.hlsl: rebuilds a depth image from the host's depth buffer. The
// plug-in draws a stack of full-viewport slice quads in one batch over a
// black fill, slice 0 first; slice i carries its value v_i = 1 - i / 10 in
// TEXCOORD1, and in TEXCOORD0 the coordinates of the noise image with one
// noise texel per pixel.
//
// The shader writes each slice's depth itself (DEPTH), so the slices lie
// where the host's scene is, and it dithers them: at each pixel every
// threshold is moved nearer by a fraction t of a step, from the noise
// image's red channel: an 8 x 8 ordered dither, which SSAO.hlsl's prefilter
// averages out. Slice i then passes where the scene lies at slice position
// q >= i - t. The passing slices add up (blending One + One): slice
// 0, the background, adds (1 - t) units, every other slice one unit of
// 24/255, so a pixel ends at (i + 1 - t) units for the nearest passing slice
// i: q = i - t + 0.5 give or take half a step, without bias, in red and
// linear in it, so a bilinear fetch averages positions. Brighter is nearer;
// DepthSlices.fxh decodes it.
//
// Slice positions q in (0, 9] lie evenly in u (DepthSlices.fxh), where the
// plug-in found the scene to be or where Settings.fxh puts them. Slice 0
// writes the cleared depth (1, or 0 reversed), so it passes everywhere. The
// depth buffer is only tested, never written: GreaterEqual, LessEqual for a
// reversed buffer. Which of the two passes runs is the plug-in's choice: its
// "DepthTest" callback skips the passes whose Compare annotation does not
// match what it found (Compare 0: as usual, 1: reversed).
//
// The probe passes measure the host's depth buffer for the plug-in: a sparse
// grid of one-pixel quads at the screen depth ProbeDepth, tested and counted
// by an occlusion query, writing nothing (Compare 2: samples at or in front
// of ProbeDepth in a usual buffer, 3: in a reversed one).

#include "Settings.fxh"
#include "DepthSlices.fxh"
#include "FullScreenPass.fxh"

float ProbeDepth = 1.0;

texture DitherTexture : NoiseTexture;

sampler DitherSampler = sampler_state
{
    Texture = <DitherTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Wrap;
    AddressV = Wrap;
};

struct SliceOut {
    float4 Colour : COLOR0;
    float Depth : DEPTH;
};

SliceOut Slice(float offset, float value)
{
    // 1 for slice 0 (v = 1), 0 for the others (v <= 1 - 1 / SliceCount).
    float background = saturate(value * SliceCount + (1.0 - SliceCount));
    SliceOut o;
    o.Colour = float4(offset * background * -SliceUnit + SliceUnit, 0.0, 0.0, 1.0);
    o.Depth = saturate(DepthSlices.w * background + (DepthSlices.z * offset + (DepthSlices.y * value + DepthSlices.x)));
    return o;
}

// Run ten times at every pixel: kept to a fetch and a few instructions.
SliceOut SlicePS(float2 noise : TEXCOORD0, float2 slice : TEXCOORD1)
{
    return Slice(tex2D(DitherSampler, noise).r, slice.x);
}

// The fallback has no fetch to spare: an ordered dither it can compute,
// 9 x + 8 y 64ths, which also takes each of 64 offsets once in every 8 x 8
// window (TEXCOORD0 counts noise images of NoiseSize pixels).
SliceOut SliceFallbackPS(float2 noise : TEXCOORD0, float2 slice : TEXCOORD1)
{
    float2 pixel = noise * NoiseSize;
    pixel -= frac(pixel);
    return Slice(frac(dot(pixel, float2(9.0, 8.0) / 64.0) + 0.5 / 64.0), slice.x);
}

SliceOut ProbePS()
{
    SliceOut o;
    o.Colour = 0.0;
    o.Depth = ProbeDepth;
    return o;
}

#define DEPTH_PASS_STATES                  \
    PASS_BASE_STATES                       \
    ZEnable = true;

#define SLICE_STATES                       \
    DEPTH_PASS_STATES                      \
    AlphaBlendEnable = true;               \
    SrcBlend = One;                        \
    DestBlend = One;                       \
    BlendOp = Add;                         \
    ColorWriteEnable = Red | Green | Blue | Alpha;

#define PROBE_STATES                       \
    DEPTH_PASS_STATES                      \
    AlphaBlendEnable = false;              \
    ColorWriteEnable = 0;

#define DEPTH_PASSES(slicePS)                                          \
    pass Slices < bool DepthTest = true; int Compare = 0; >            \
    {                                                                  \
        PixelShader = compile slicePS;                                 \
        SLICE_STATES                                                   \
        ZFunc = GreaterEqual;                                          \
    }                                                                  \
    pass SlicesReversed < bool DepthTest = true; int Compare = 1; >    \
    {                                                                  \
        PixelShader = compile slicePS;                                 \
        SLICE_STATES                                                   \
        ZFunc = LessEqual;                                             \
    }                                                                  \
    pass Probe < bool DepthTest = true; int Compare = 2; >             \
    {                                                                  \
        PixelShader = compile ps_2_0 ProbePS();                        \
        PROBE_STATES                                                   \
        ZFunc = GreaterEqual;                                          \
    }                                                                  \
    pass ProbeReversed < bool DepthTest = true; int Compare = 3; >     \
    {                                                                  \
        PixelShader = compile ps_2_0 ProbePS();                        \
        PROBE_STATES                                                   \
        ZFunc = LessEqual;                                             \
    }

technique RenderDepth
{
    DEPTH_PASSES(ps_2_a SlicePS())
}

technique RenderDepthFallback
{
    DEPTH_PASSES(ps_2_0 SliceFallbackPS())
}
