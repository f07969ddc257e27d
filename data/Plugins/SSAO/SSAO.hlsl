// SSAO.hlsl: the ambient-occlusion term, drawn as grey over the full
// viewport (1 = unoccluded, darker = more occluded). Reads the depth-slice
// image ("ZBackBuffer", decoded by DepthSlices.fxh) and the noise image
// ("NoiseTexture", 64 x 64, tiled over the screen); "sddx" holds the size of
// one screen pixel in texture units.
//
// The kernel works in w = 1 / view distance, which the slice image holds
// linearly and in which every plane is linear on screen:
// - pairs of samples at opposite screen offsets, sized so that they reach
//   AO_RADIUS in the world at the pixel's distance; on a plane the pair's
//   mean w equals the pixel's, in a crease or a corner it is larger
//   (nearer). That excess, times distance squared, is how far the pair's
//   middle stands in front of the pixel in view units; over the pair's
//   reach in the world it gives the pair's occlusion;
// - a pair with a sample nearer than the pixel by more than the radius is
//   an object standing in front, not a crease, and does not count: no halos
//   on silhouettes;
// - the pixel's own w is the mean of four bilinear fetches around it (a
//   3 x 3 tent over the dither pattern), each sample a bilinear fetch (a mix
//   of four dithered texels), so the dither averages out;
// - pairs on 8 axes 22.5 degrees apart at six radii, turned and scaled per
//   pixel by the noise image: a fixed pattern, the same every frame.
//
// Written for the compiler we have: it copies every constant into a
// temporary at each use and every swizzle or negation through a move, so
// the numbers the groups use sit in registers computed once, and the work
// is four pairs wide.

#include "Settings.fxh"
#include "DepthSlices.fxh"
#include "FullScreenPass.fxh"

float4 sddx;  // x = 1 / width, y = 1 / height

texture DepthSliceTexture : ZBackBuffer;
texture RotationTexture : NoiseTexture;

sampler DepthSampler = sampler_state
{
    Texture = <DepthSliceTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler NoiseSampler = sampler_state
{
    Texture = <RotationTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Wrap;
    AddressV = Wrap;
};

static const float NoiseSize = 64.0;  // texels per side of Noise.bmp
// A pair's occlusion: saturate(Crease * lead / reach - CreaseThreshold);
// FullOcclusion, the mean pair occlusion that reads as fully dark at
// AO_STRENGTH 1.
static const float Crease = 2.5;
static const float CreaseThreshold = 0.75;
static const float FullOcclusion = 0.55;
// The fallback has fewer pairs and no texel-corner fetches: more noise.
static const float FallbackThreshold = 0.8;
static const float FallbackMargin = 0.2;

// 8 axes 22.5 degrees apart: (x, y) of two axes per constant.
static const float4 Axes0 = float4(1.0, 0.0, 0.7071, 0.7071);
static const float4 Axes1 = float4(0.0, 1.0, -0.7071, 0.7071);
static const float4 Axes2 = float4(0.9239, 0.3827, 0.3827, 0.9239);
static const float4 Axes3 = float4(-0.3827, 0.9239, -0.9239, 0.3827);

// The pixel's frame, worked out once: vc, the pixel's image value, and wc,
// its 1 / distance; axisX, axisY the turned axes scaled to the radius, in
// texels (twice over); scale.x turns a pair's excess of image value into
// the lead of the pair's middle over the pixel in view units per radius
// (w excess / wc^2 / radius), scale.y the same for one sample's lead.
// `one` is 1 computed at run time: values derived from it stay in
// registers instead of being copied from constants at each use.
#define OCCLUSION_FRAME(uv)                                                                                      \
    float one = step(0.0, sddx.x);                                                                               \
    float4 uv4 = uv.xyxy * one;                                                                                  \
    float4 texel = sddx.xyxy * one;                                                                              \
    float4 h = texel * float4(0.5, 0.5, -0.5, 0.5);                                                              \
    float4 centre = float4(tex2D(DepthSampler, uv + h.xy).r, tex2D(DepthSampler, uv - h.xy).r,                   \
                           tex2D(DepthSampler, uv + h.zw).r, tex2D(DepthSampler, uv - h.zw).r);                  \
    float vc = dot(centre, 0.25);                                                                                \
    float wc = max(DecodeW0 + DecodeW1 * vc, 0.05 * SliceW1);                                                    \
    /* Only the background slice near the pixel (sky, or too far to tell), or an edge where its */              \
    /* taps disagree by a fifth (its own depth is a mix of two surfaces): no occlusion. */                 \
    centre.xy = min(centre.xy, centre.zw);                                                                        \
    float open = step(min(centre.x, centre.y), max(1.1 * SliceUnit, 0.8 * vc));                                                 \
    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;                                          \
    float2 direction = noise.rg * 2.0 - 1.0;                                                                     \
    direction *= rsqrt(dot(direction, direction) + 1e-4);                                                        \
    /* The radius in screen heights at the pixel's distance, at least two pixels, in texels. */                 \
    float radius = max(ScreenRadius * wc, 2.0 * sddx.y) * (0.85 + 0.3 * noise.b) / sddx.y; \
    float4 axisX = (direction * float2(1.0, 1.0) * radius).xyxy * one;                                          \
    float4 axisY = (float2(-direction.y, direction.x) * radius).xyxy * one;                                     \
    float2 scale = float2(Crease * 0.5, 2.0) * DecodeW1 * InverseRadius / (wc * wc);                           \
    float4 base = -2.0 * vc * one.xxxx;                                              \
    float4 lead = float4(-vc, -vc, -vc, -vc) * one;                                                              \
    float4 threshold = float4(-CreaseThreshold, -CreaseThreshold, 2.6, 2.6) * one;                               \
    float4 sum = 0.0;

// Four pairs on axes a (two of them) and b at `share` of the radius; the
// offsets are moved onto texel corners so that each bilinear fetch is the
// mean of four texels.
#define OCCLUSION_PAIRS(a, b, share, weight)                                                                             \
    {                                                                                                            \
        float4 o01 = axisX * (a.xxzz * share) + axisY * (a.yyww * share);                                       \
        float4 o23 = axisX * (b.xxzz * share) + axisY * (b.yyww * share);                                       \
        o01 = (o01 - frac(o01) + 0.5) * texel;                                                                   \
        o23 = (o23 - frac(o23) + 0.5) * texel;                                                                   \
        float4 p01 = uv4 + o01, m01 = uv4 - o01, p23 = uv4 + o23, m23 = uv4 - o23;                               \
        float4 va = float4(tex2D(DepthSampler, p01.xy).r, tex2D(DepthSampler, p01.zw).r,                         \
                           tex2D(DepthSampler, p23.xy).r, tex2D(DepthSampler, p23.zw).r);                        \
        float4 vb = float4(tex2D(DepthSampler, m01.xy).r, tex2D(DepthSampler, m01.zw).r,                         \
                           tex2D(DepthSampler, m23.xy).r, tex2D(DepthSampler, m23.zw).r);                        \
        float4 excess = (va + vb + base) * (scale.x / share);                                                    \
        float4 nearer = (max(va, vb) + lead) * scale.y;                                                          \
        sum += saturate(excess + threshold.x) * saturate(threshold.z - nearer) * weight;                         \
    }

float4 Resolve(float4 sum, float pairs, float open)
{
    float ao = max(saturate(1.0 - OcclusionStrength * dot(sum, 1.0) / (pairs * FullOcclusion)), open);
    return float4(ao, ao, ao, 1.0);
}

float4 OcclusionPS(float2 uv : TEXCOORD0) : COLOR0
{
    OCCLUSION_FRAME(uv)
    OCCLUSION_PAIRS(Axes0, Axes1, 0.35, 1.0)
    OCCLUSION_PAIRS(Axes2, Axes3, 0.55, 0.85)
    OCCLUSION_PAIRS(Axes0, Axes1, 0.75, 0.6)
    OCCLUSION_PAIRS(Axes2, Axes3, 0.95, 0.35)
    return Resolve(sum, 11.2, open);
}

// ps_2_0: eight pairs (21 fetches with the pixel's own and the noise),
// without snapping to texel corners, written so that few values stay live:
// the profile has 12 temporaries. No `if` anywhere: the compiler cannot
// flatten one in ps_2_0.
#define FALLBACK_PAIRS(a, b, share, weight)                                                                      \
    {                                                                                                            \
        float4 o01 = axisX * (a.xxzz * share) + axisY * (a.yyww * share);                                       \
        float4 o23 = axisX * (b.xxzz * share) + axisY * (b.yyww * share);                                       \
        float4 va, vb, at;                                                                                       \
        at = uv4 + o01;                                                                                          \
        va.x = tex2D(DepthSampler, at.xy).r;                                                                     \
        va.y = tex2D(DepthSampler, at.zw).r;                                                                     \
        at = uv4 - o01;                                                                                          \
        vb.x = tex2D(DepthSampler, at.xy).r;                                                                     \
        vb.y = tex2D(DepthSampler, at.zw).r;                                                                     \
        at = uv4 + o23;                                                                                          \
        va.z = tex2D(DepthSampler, at.xy).r;                                                                     \
        va.w = tex2D(DepthSampler, at.zw).r;                                                                     \
        at = uv4 - o23;                                                                                          \
        vb.z = tex2D(DepthSampler, at.xy).r;                                                                     \
        vb.w = tex2D(DepthSampler, at.zw).r;                                                                     \
        sum += saturate((va + vb + frame.z) * (frame.x / share) - FallbackThreshold) *                           \
               saturate(3.0 - (max(va, vb) + frame.w) * frame.y) * weight;                                       \
    }

float4 OcclusionFallbackPS(float2 uv : TEXCOORD0) : COLOR0
{
    float4 h = sddx.xyxy * float4(0.5, 0.5, -0.5, 0.5);
    float4 centre = float4(tex2D(DepthSampler, uv + h.xy).r, tex2D(DepthSampler, uv - h.xy).r,
                           tex2D(DepthSampler, uv + h.zw).r, tex2D(DepthSampler, uv - h.zw).r);
    float vc = dot(centre, 0.25);
    centre.xy = min(centre.xy, centre.zw);
    float open = step(min(centre.x, centre.y), max(1.1 * SliceUnit, 0.8 * vc));
    float wc = max(DecodeW0 + DecodeW1 * vc, 0.05 * SliceW1);
    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;
    float2 direction = noise.rg * 2.0 - 1.0;
    direction *= rsqrt(dot(direction, direction) + 1e-4);
    float radius = max(ScreenRadius * wc, 2.0 * sddx.y) * (0.85 + 0.3 * noise.b);
    float4 axisX = (direction * float2(sddx.x / sddx.y, 1.0) * radius).xyxy;
    float4 axisY = (float2(-direction.y, direction.x) * float2(sddx.x / sddx.y, 1.0) * radius).xyxy;
    // (crease scale, nearness scale, pair base, sample base), as OCCLUSION_FRAME.
    float4 frame = float4(float2(Crease * 0.5, 2.0) * DecodeW1 * InverseRadius / (wc * wc),
                          -2.0 * vc - FallbackMargin * SliceUnit, -vc);
    float4 uv4 = uv.xyxy;
    float4 sum = 0.0;
    FALLBACK_PAIRS(Axes0, Axes1, 0.45, 1.0)
    FALLBACK_PAIRS(Axes2, Axes3, 0.85, 0.5)
    // Its margin lets fewer pairs count: they are read as darker, so that a
    // crease is about as dark as with the first technique.
    return Resolve(sum, 6.0, open);
}

// Pre-transformed quads have no vertex shader, which ps_3_0 needs: the
// first technique is ps_2_a (512 slots), the fallback ps_2_0.
technique Occlusion
{
    pass Occlusion
    {
        PixelShader = compile ps_2_a OcclusionPS();
        FULL_SCREEN_PASS_STATES
    }
}

technique OcclusionFallback
{
    pass Occlusion
    {
        PixelShader = compile ps_2_0 OcclusionFallbackPS();
        FULL_SCREEN_PASS_STATES
    }
}
