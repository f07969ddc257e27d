// RenderDepth.hlsl: rebuilds a depth image from the host's depth buffer. The
// plug-in draws a stack of full-viewport slice quads in one batch over a
// black fill, slice 0 first; slice i carries its value v_i = 1 - i / 10 in
// TEXCOORD1. A slice passes where it lies at or behind the scene.
//
// The shader writes each slice's depth itself (DEPTH), so the slices lie
// where the host's scene is, and it dithers them: at each pixel every
// threshold is moved nearer by a fraction t of a step (interleaved gradient
// noise over the pixel grid). Slice i then passes where the scene lies at
// slice position q >= i - t. The passing slices add up (blending One + One):
// slice 0, the background, adds (1 - t) units, every other slice one unit of
// 24/255, so a pixel ends at (i + 1 - t) units for the nearest passing slice
// i: q = i - t + 0.5 give or take half a step, without bias, in one channel
// and linear in it, so a bilinear fetch averages positions. Brighter is
// nearer; DepthSlices.fxh decodes it.
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

struct SliceOut {
    float4 Colour : COLOR0;
    float Depth : DEPTH;
};

// Screen depth of slice position q: u, or 1 - u as usual.
float SliceScreenDepth(float q)
{
    float u = DepthSlices.x + DepthSlices.y * q;
    return lerp(1.0 - u, u, DepthSlices.z);
}

SliceOut Slice(float value, float offset)
{
    float index = (1.0 - value) * 10.0;
    float background = step(index, 0.5);
    SliceOut o;
    o.Colour = float4(SliceUnit * lerp(1.0, 1.0 - offset, background).xxx, 1.0);
    // Slice 0 on the cleared depth, exactly: a lerp to it may land one float
    // step short of 1 and fail against the cleared buffer.
    o.Depth = background > 0.5 ? 1.0 - DepthSlices.z : SliceScreenDepth(index - offset);
    return o;
}

// The offsets: interleaved gradient noise over the pixel grid, whose every
// small block holds well spread values, so that the mean of a few texels is
// close to the true position. (White noise leaves twice the error; an
// ordered pattern leaves an error that follows the scene's position within
// a step.)
float GridOffset(float2 centre)
{
    return frac(52.9829189 * frac(dot(centre - 0.5, float2(0.06711056, 0.00583715))));
}

// Gradients give the pixel's own position from the quad's 0..1 coordinates;
// rounded to the pixel's centre, since neither the coordinates nor the
// gradients are exact and the noise magnifies any error.
SliceOut SliceGradientPS(float2 uv : TEXCOORD0, float2 slice : TEXCOORD1)
{
    return Slice(slice.x, GridOffset(floor(uv / float2(ddx(uv.x), ddy(uv.y))) + 0.5));
}

// ps_2_0 has no gradients and no screen position: the same noise over a
// fixed grid of 1,920 x 1,080 cells, one per pixel at that size, unbiased
// still at any other.
SliceOut SliceFallbackPS(float2 uv : TEXCOORD0, float2 slice : TEXCOORD1)
{
    return Slice(slice.x, GridOffset(uv * float2(1920.0, 1080.0)));
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
    DEPTH_PASSES(ps_2_a SliceGradientPS())
}

technique RenderDepthFallback
{
    DEPTH_PASSES(ps_2_0 SliceFallbackPS())
}
