// SSAO.hlsl: the ambient-occlusion term, drawn as grey over the full
// viewport (1 = unoccluded, darker = more occluded), in four passes:
//
// 1. Across: an edge-aware mean of the depth-slice image ("ZBackBuffer",
//    DepthSlices.fxh) along the row, which removes the slices' dither;
// 2. Down: the same along the column, over pass 1's result, which the
//    plug-in copies into "BlurBackBuffer" first;
// 3. Occlusion: a horizon-based kernel over the filtered image, which the
//    plug-in copies into "ZBackBuffer" first (and which stays there for the
//    later effects);
// 4. Denoise: an edge-aware mean of pass 3's term over 5 x 5 pixels, from
//    "BlurBackBuffer" again.
//
// The copies are the plug-in's "CopyBackBuffer" pass callback: every pass
// carries `CopyBackBuffer = true` (the framework drops a callback at the
// first pass it does not cover), and "CopyInto" names the texture the back
// buffer goes to before the pass is drawn.
//
// The kernel works in w = 1 / view distance, in units of the radius, which
// the slice image holds linearly and in which every plane is linear on
// screen. For a pixel at P with normal N (from the gradient of w), and for
// each of a few directions on screen, it walks towards the radius's reach
// and keeps the highest elevation above the pixel's tangent plane of the
// points within AO_RADIUS of P (a hard cut, as the ray-traced reference
// counts only hits within the radius). A horizon at elevation h hides
// sin^2(h) of the cosine-weighted hemisphere in that direction; the term is
// 1 minus the mean of those shares. The directions and the walk's first step
// turn from pixel to pixel in a 4 x 4 pattern (the noise image), which pass
// 4's 5 x 5 mean takes out.
//
// Nothing here is tuned to a scene: the radius is the one Settings.fxh gives
// (or the plug-in works out), in the units of the host's view.

#include "Settings.fxh"
#include "DepthSlices.fxh"
#include "FullScreenPass.fxh"

float4 sddx;  // x = 1 / width, y = 1 / height

texture DepthSliceTexture : ZBackBuffer;
texture WorkTexture : BlurBackBuffer;
texture RotationTexture : NoiseTexture;

sampler DepthSampler = sampler_state
{
    Texture = <DepthSliceTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

// Bilinear over the filtered image: on a plane w is linear on screen, so a
// fetch between texels gives the plane's own w at that point.
sampler SmoothDepthSampler = sampler_state
{
    Texture = <DepthSliceTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler WorkSampler = sampler_state
{
    Texture = <WorkTexture>;
    MinFilter = Point;
    MagFilter = Point;
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

// The prefilter's reach in pixels either side, and how far from the pixel's
// own value (in slice units) a tap still counts: neighbours on one surface
// differ by up to a unit of dither, a depth edge by more.
static const int PrefilterReach = 4;
static const int FallbackPrefilterReach = 2;
static const float PrefilterEdge = 1.0;

// Image values below this many slice units are the background slice (sky,
// or beyond the farthest slice): no occlusion there.
static const float BackgroundUnits = 1.0;

// Directions (each walked both ways) and steps along each way.
static const int Directions = 2;
static const int Steps = 8;
static const int FallbackSteps = 2;
// The walk reaches at most this share of the screen height: beyond it the
// samples are too sparse to find a thin occluder anyway.
static const float MostReach = 0.3;

// Pass 4: taps either side, and the difference of filtered values (in slice
// units) at which a tap's weight falls to none.
static const int DenoiseReach = 2;
static const float DenoiseEdge = 0.5;

// ---------------------------------------------------------------------------
// Passes 1 and 2: the prefilter.

// The mean of the taps within PrefilterEdge of the centre's value, `reach`
// pixels either side along `axis` (in texture units per pixel). The two end
// taps count half: the window then spans 2 reach pixels, a whole number of
// the dither's 8-pixel periods (Noise.bmp), over which it averages out.
float EdgeAwareMean(sampler image, float2 uv, float2 axis, int reach, float edge)
{
    float centre = SliceValue(tex2D(image, uv));
    float sum = centre;
    float weight = 1.0;
    [unroll] for (int i = 1; i <= reach; ++i) {
        float2 value = float2(SliceValue(tex2D(image, uv + axis * i)), SliceValue(tex2D(image, uv - axis * i)));
        float2 keep = saturate(2.0 - abs(value - centre) * (1.0 / (edge * SliceUnit))) * (i == reach ? 0.5 : 1.0);
        sum += dot(keep, value);
        weight += keep.x + keep.y;
    }
    return sum / weight;
}

float4 Encoded(float v)
{
    return float4(EncodeSliceValue(v), 0.0, 1.0);
}

float4 AcrossPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Encoded(EdgeAwareMean(DepthSampler, uv, float2(sddx.x, 0.0), PrefilterReach, PrefilterEdge));
}

float4 DownPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Encoded(EdgeAwareMean(WorkSampler, uv, float2(0.0, sddx.y), PrefilterReach, PrefilterEdge));
}

float4 FallbackAcrossPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Encoded(EdgeAwareMean(DepthSampler, uv, float2(sddx.x, 0.0), FallbackPrefilterReach, PrefilterEdge));
}

float4 FallbackDownPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Encoded(EdgeAwareMean(WorkSampler, uv, float2(0.0, sddx.y), FallbackPrefilterReach, PrefilterEdge));
}

// ---------------------------------------------------------------------------
// Pass 3: the horizon-based kernel.
//
// Screen coordinates s = ((2u - 1) tan(fovX / 2), (1 - 2v) tan(fovY / 2))
// put a point at distance z at P = z (s, 1) in view space. For the pixel
// (s_c, w_c) and a sample (s_c + ds, w_s), D' = w_c (s_c + ds, 1) - w_s (s_c, 1)
// is w_c w_s times the vector from P to the sample: the same direction, so
// the elevation's sine is D'.N / |D'|, and the sample lies within the radius
// when |D'| <= w_c w_s (w in units of the radius). With ds = k e for the
// walk's unit step e and dw = w_c - w_s:
//   D'.N  = dw (N.(s_c, 1)) + k w_c (N.e)
//   |D'|^2 = dw^2 (|s_c|^2 + 1) + 2 dw k w_c (s_c.e) + k^2 w_c^2 |e|^2
// so each sample costs a few multiply-adds, four at a time.

// What the walks of one pixel share.
struct Pixel {
    float W;         // 1 / distance, in units of the radius
    float2 S;        // screen coordinates
    float3 Normal;   // towards the camera
    float Tangent;   // N.(s, 1)
    float Spread;    // |s|^2 + 1
    float Pitch;     // screen coordinates per pixel
    float StepPixels;
    float2 Decode;   // w from an image texel: dot(rg, Decode) + W0 in radius units
    float W0;
};

float WAt(sampler image, float2 uv, Pixel p)
{
    return dot(tex2D(image, uv).rg, p.Decode) + p.W0;
}

// The highest elevation's sine over `steps` steps along `direction` (pixels,
// unit length; y down), starting `start` of a step out.
float Horizon(Pixel p, float2 uv, float2 direction, float start, int steps)
{
    float2 stepUV = direction * p.StepPixels * sddx.xy;
    // The step in screen coordinates (y up), times w_c.
    float2 e = float2(direction.x, -direction.y) * (p.StepPixels * p.Pitch * p.W);
    float rise = dot(p.Normal.xy, e);
    float spreadRise = 2.0 * dot(p.S, e);
    float reach2 = dot(e, e);
    float4 best = -1.0;
    [unroll] for (int i = 0; i < steps; i += 4) {
        float4 k = float4(i + 1, i + 2, i + 3, i + 4) - start;
        float4 ws;
        ws.x = WAt(SmoothDepthSampler, uv + stepUV * k.x, p);
        ws.y = WAt(SmoothDepthSampler, uv + stepUV * k.y, p);
        ws.z = WAt(SmoothDepthSampler, uv + stepUV * k.z, p);
        ws.w = WAt(SmoothDepthSampler, uv + stepUV * k.w, p);
        float4 dw = p.W - ws;
        float4 lifted = dw * p.Tangent + k * rise;
        float4 length2 = dw * (dw * p.Spread + k * spreadRise) + k * k * reach2;
        float4 limit = p.W * ws;
        float4 sine = lifted * rsqrt(max(length2, 1e-12));
        // Beyond the radius (or at the pixel itself): no horizon.
        best = max(best, (limit * limit - length2 >= 0.0) ? sine : -1.0);
    }
    return max(max(best.x, best.y), max(best.z, best.w));
}

// sin^2 of the horizon's elevation: the share of the cosine-weighted
// hemisphere it hides.
float Hidden(float sine)
{
    float s = saturate(sine);
    return s * s;
}

float4 Occlusion(float2 uv, int steps)
{
    float4 centre = tex2D(DepthSampler, uv);
    Pixel p;
    float inverseRadius = max(InverseRadius, 1e-6);
    p.Decode = float2(1.0, 1.0 / 255.0) * (DecodeW1 / inverseRadius);
    p.W0 = DecodeW0 / inverseRadius;
    p.W = dot(centre.rg, p.Decode) + p.W0;
    // tan(fovY / 2) = radius / (2 R), from DepthDecode.
    float tanY = 0.5 / max(ScreenRadius * inverseRadius, 1e-6);
    p.Pitch = 2.0 * tanY * sddx.y;
    p.S = (uv * 2.0 - 1.0) * float2(tanY * sddx.y / sddx.x, -tanY);

    // The gradient of w from the nearer-valued neighbour on each axis, so
    // that a depth edge beside the pixel does not tilt its normal.
    float4 around = float4(WAt(DepthSampler, uv + float2(sddx.x, 0.0), p), WAt(DepthSampler, uv - float2(sddx.x, 0.0), p),
                           WAt(DepthSampler, uv + float2(0.0, sddx.y), p), WAt(DepthSampler, uv - float2(0.0, sddx.y), p));
    float4 change = float4(around.x - p.W, p.W - around.y, around.z - p.W, p.W - around.w);
    float2 gradient = float2(abs(change.x) < abs(change.y) ? change.x : change.y,
                             abs(change.z) < abs(change.w) ? change.z : change.w) /
                      p.Pitch;
    // Per screen coordinate (y up): a plane n.P = d has w = n.(s, 1) / d.
    gradient.y = -gradient.y;
    p.Normal = normalize(-float3(gradient, p.W - dot(p.S, gradient)));
    p.Tangent = dot(p.Normal, float3(p.S, 1.0));
    p.Spread = dot(p.S, p.S) + 1.0;

    // The reach in pixels: the radius at the pixel's distance.
    float reach = min(p.W / p.Pitch, MostReach / sddx.y);
    p.StepPixels = reach / steps;

    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;
    // Green codes the first direction as (1 - a, a) before its length is made one (Noise.bmp).
    float2 direction = normalize(float2(1.0 - noise.g, noise.g));
    float start = noise.b;
    float hidden = 0.0;
    [unroll] for (int d = 0; d < Directions; ++d) {
        hidden += Hidden(Horizon(p, uv, direction, start, steps));
        hidden += Hidden(Horizon(p, uv, -direction, start, steps));
        direction = float2(-direction.y, direction.x);
    }
    float ao = saturate(1.0 - OcclusionStrength * hidden / (2.0 * Directions));
    // The background slice: sky, or too far to tell.
    ao = SliceValue(centre) < BackgroundUnits * SliceUnit ? 1.0 : ao;
    // The term and, for the denoise, the pixel's filtered value.
    return float4(ao, centre.rg, 1.0);
}

float4 OcclusionPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Occlusion(uv, Steps);
}

// Without the denoise pass the term is shown as it is: grey.
float4 FallbackOcclusionPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Occlusion(uv, FallbackSteps).xxxw;
}

// ---------------------------------------------------------------------------
// Pass 4: the denoise.

float4 DenoisePS(float2 uv : TEXCOORD0) : COLOR0
{
    float4 centre = tex2D(WorkSampler, uv);
    float v = dot(centre.gb, float2(1.0, 1.0 / 255.0));
    float2 sum = 0.0;
    [unroll] for (int y = -DenoiseReach; y <= DenoiseReach; ++y) {
        [unroll] for (int x = -DenoiseReach; x <= DenoiseReach; ++x) {
            float4 tap = tex2D(WorkSampler, uv + float2(x, y) * sddx.xy);
            float difference = dot(tap.gb, float2(1.0, 1.0 / 255.0)) - v;
            float weight = saturate(1.0 - abs(difference) * (1.0 / (DenoiseEdge * SliceUnit)));
            sum += float2(tap.r, 1.0) * weight;
        }
    }
    float ao = sum.x / sum.y;
    return float4(ao, ao, ao, 1.0);
}

// Pre-transformed quads have no vertex shader, which ps_3_0 needs: the
// first technique is ps_2_a (512 slots), the fallback ps_2_0.
technique Occlusion
{
    pass Across < bool CopyBackBuffer = true; >
    {
        PixelShader = compile ps_2_a AcrossPS();
        FULL_SCREEN_PASS_STATES
    }
    pass Down < bool CopyBackBuffer = true; string CopyInto = "BlurBackBuffer"; >
    {
        PixelShader = compile ps_2_a DownPS();
        FULL_SCREEN_PASS_STATES
    }
    pass Occlusion < bool CopyBackBuffer = true; string CopyInto = "ZBackBuffer"; >
    {
        PixelShader = compile ps_2_a OcclusionPS();
        FULL_SCREEN_PASS_STATES
    }
    pass Denoise < bool CopyBackBuffer = true; string CopyInto = "BlurBackBuffer"; >
    {
        PixelShader = compile ps_2_a DenoisePS();
        FULL_SCREEN_PASS_STATES
    }
}

technique OcclusionFallback
{
    pass Across < bool CopyBackBuffer = true; >
    {
        PixelShader = compile ps_2_0 FallbackAcrossPS();
        FULL_SCREEN_PASS_STATES
    }
    pass Down < bool CopyBackBuffer = true; string CopyInto = "BlurBackBuffer"; >
    {
        PixelShader = compile ps_2_0 FallbackDownPS();
        FULL_SCREEN_PASS_STATES
    }
    pass Occlusion < bool CopyBackBuffer = true; string CopyInto = "ZBackBuffer"; >
    {
        PixelShader = compile ps_2_a FallbackOcclusionPS();
        FULL_SCREEN_PASS_STATES
    }
}
