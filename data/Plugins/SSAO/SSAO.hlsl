// SSAO.hlsl: the ambient-occlusion term, drawn as grey over the full
// viewport (1 = unoccluded, darker = more occluded), in five passes:
//
// 1. Across: an edge-aware mean of the depth-slice image ("ZBackBuffer",
//    DepthSlices.fxh) along the row, which removes the slices' dither;
// 2. Down: the same along the column, over pass 1's result, which the
//    plug-in copies into "BlurBackBuffer" first;
// 3. Occlusion: a horizon-based kernel over the filtered image, which the
//    plug-in copies into "ZBackBuffer" first (and which stays there for the
//    later effects);
// 4. and 5. Denoise across and down: an edge-aware mean of pass 3's term
//    over 5 x 5 pixels, in two passes of 5 taps, each from
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
// 1 minus the mean of those shares. The directions and the walk's reach
// change from pixel to pixel in a 4 x 4 pattern (the noise image), which
// the denoise's 5 x 5 mean takes out.
//
// The ps_2_0 fallback has three passes: a plain 8 x 8 mean of the slice
// image in four bilinear fetches a pass, then a smaller kernel of sample
// pairs that fits that model's twelve temporaries, shown without a denoise.
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

sampler WorkSampler = sampler_state
{
    Texture = <WorkTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

// The fallback's prefilter: bilinear fetches of one-channel images.
sampler SmoothRawSampler = sampler_state
{
    Texture = <DepthSliceTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler SmoothWorkSampler = sampler_state
{
    Texture = <WorkTexture>;
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

// The prefilter's reach in pixels either side, and how far from the pixel's
// own value (in slice units) a tap still counts: neighbours on one surface
// differ by up to a unit of dither, a depth edge by more.
static const int PrefilterReach = 4;
static const float PrefilterEdge = 1.0;

// Image values below this many slice units are the background slice (sky,
// or beyond the farthest slice): no occlusion there.
static const float BackgroundUnits = 1.0;

// What the filtered slice image tells apart, in slice units: the dither's
// 64 offsets averaged.
static const float Precision = 1.0 / 64.0;

// How far either side the normal's gradient is taken, in pixels.
static const float NormalReach = 3.0;

// Directions (each walked both ways) and steps along each way.
static const int Directions = 2;
static const int Steps = 4;
// The walk reaches at most this share of the screen height: beyond it the
// samples are too sparse to find a thin occluder anyway.
static const float MostReach = 0.3;

// Passes 4 and 5: taps either side, and the difference of filtered values (in slice
// units) at which a tap's weight falls to none.
static const int DenoiseReach = 2;  // a 5 x 5 mean, in two passes
static const float DenoiseEdge = 0.5;

// ---------------------------------------------------------------------------
// Passes 1 and 2: the prefilter.

// The mean of the taps within PrefilterEdge slice units of the centre's value,
// `reach` pixels either side along `axis` (in texture units per pixel). The
// two end taps count half: the window then spans 2 reach pixels, a whole
// number of the dither's 8-pixel periods (Noise.bmp), over which it
// averages out. Taps go four at a time (two steps, both sides), so that
// their weights cost a few vector instructions.
float EdgeAwareMean(sampler image, float2 uv, float2 axis, int reach)
{
    float centre = SliceValue(tex2D(image, uv));
    float sum = centre;
    float weight = 1.0;
    [unroll] for (int i = 1; i <= reach; i += 2) {
        float4 value = float4(SliceValue(tex2D(image, uv + axis * i)), SliceValue(tex2D(image, uv - axis * i)),
                              SliceValue(tex2D(image, uv + axis * (i + 1))),
                              SliceValue(tex2D(image, uv - axis * (i + 1))));
        float4 keep = saturate(abs(value - centre) * (-1.0 / (PrefilterEdge * SliceUnit)) + 2.0);
        if (i + 1 == reach) {
            keep *= float4(1.0, 1.0, 0.5, 0.5);
        }
        sum += dot(keep, value);
        weight += dot(keep, 1.0);
    }
    return sum / weight;
}

float4 Encoded(float v)
{
    return float4(EncodeSliceValue(v), 0.0, 1.0);
}

float4 AcrossPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Encoded(EdgeAwareMean(DepthSampler, uv, float2(sddx.x, 0.0), PrefilterReach));
}

float4 DownPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Encoded(EdgeAwareMean(WorkSampler, uv, float2(0.0, sddx.y), PrefilterReach));
}

// The fallback's prefilter: the plain mean of 8 texels, one dither period,
// in four bilinear fetches each midway between two texels (from 4 before
// the pixel to 3 after it). Across writes v in red alone, which a bilinear
// fetch may average (the raw image is whole units; red alone keeps 8 bits).
float BoxMean(sampler image, float2 uv, float2 axis)
{
    return 0.25 * (SliceValue(tex2D(image, uv - 3.5 * axis)) + SliceValue(tex2D(image, uv - 1.5 * axis)) +
                   SliceValue(tex2D(image, uv + 0.5 * axis)) + SliceValue(tex2D(image, uv + 2.5 * axis)));
}

float4 FallbackAcrossPS(float2 uv : TEXCOORD0) : COLOR0
{
    return float4(BoxMean(SmoothRawSampler, uv, float2(sddx.x, 0.0)), 0.0, 0.0, 1.0);
}

float4 FallbackDownPS(float2 uv : TEXCOORD0) : COLOR0
{
    return Encoded(BoxMean(SmoothWorkSampler, uv, float2(0.0, sddx.y)));
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

// What the walks of one pixel share, in few registers: ps_2_0 has twelve.
struct Pixel {
    float4 Frame;   // w (1 / distance in units of the radius), N.(s, 1), |s|^2 + 1, doubt
    float4 Screen;  // 2 s, twice the screen coordinates, and N.xy (N towards the camera)
    float3 Decode;  // w from an image texel: dot(rg, Decode.xy) + Decode.z
    float4 Walk;    // the step in pixels, +-(screen coordinates per pixel times w), w^2
};

float WAt(sampler image, float2 uv, float3 decode)
{
    return dot(tex2D(image, uv).rg, decode.xy) + decode.z;
}

// The highest elevations' sines (0 for none) over `steps` steps each way
// along `direction` (pixels, unit length; y down): x forwards, y backwards.
// The step is rounded to whole pixels, so that every sample falls on a
// texel centre: the encoded image cannot be filtered between texels (a
// filter rounds each channel to 8 bits on its own). "doubt" is how far D'.N
// may be off through the image's precision alone: a sample counts only
// where it rises above that.
float2 Horizons(Pixel p, float2 uv, float2 direction, int steps)
{
    float2 pixels = direction * p.Walk.x + 0.5;
    pixels -= frac(pixels);
    float2 stepUV = pixels * sddx.xy;
    // The step in screen coordinates (y up), times w_c.
    float2 e = pixels * p.Walk.yz;
    // D'.N and |D'|^2 at k steps, less the terms in dw.
    float3 along = float3(dot(p.Screen.zw, e), dot(p.Screen.xy, e), dot(e, e));
    float2 best;
    [unroll] for (int way = 0; way < 2; ++way) {
        float4 farthest = 0.0;
        [unroll] for (int i = 0; i < steps; i += 4) {
            // Signed step counts: backwards is the same walk negated.
            float4 k = float4(i + 1, i + 2, i + 3, i + 4) * (way == 0 ? 1.0 : -1.0);
            float4 ws;
            ws.x = WAt(DepthSampler, uv + stepUV * k.x, p.Decode);
            ws.y = WAt(DepthSampler, uv + stepUV * k.y, p.Decode);
            ws.z = WAt(DepthSampler, uv + stepUV * k.z, p.Decode);
            ws.w = WAt(DepthSampler, uv + stepUV * k.w, p.Decode);
            float4 dw = p.Frame.x - ws;
            float4 length2 = dw * (dw * p.Frame.z + k * along.y) + k * k * along.z;
            float4 sine = (dw * p.Frame.y + (k * along.x - p.Frame.w)) * rsqrt(max(length2, 1e-12));
            // Beyond the radius (or at the pixel itself): no horizon.
            float4 inside = ws * (ws * p.Walk.w) - length2;
            farthest = max(farthest, inside < 0.0 ? 0.0 : sine);
        }
        float2 pair = max(farthest.xy, farthest.zw);
        best[way] = max(pair.x, pair.y);
    }
    return best;
}

// Both kernels' view of DepthDecode: w (1 / distance in units of the
// radius) from an image texel is dot(rg, decode.xy) + decode.z, and
// tan(fovY / 2) = radius / (2 R).
float3 RadiusDecode(float inverseRadius)
{
    return DepthDecode.yyx * (SliceChannel.xyx / inverseRadius);
}

float TanHalfFovY(float inverseRadius)
{
    return 0.5 / max(ScreenRadius * inverseRadius, 1e-6);
}

float4 OcclusionPS(float2 uv : TEXCOORD0) : COLOR0
{
    float2 centre = tex2D(DepthSampler, uv).rg;
    Pixel p;
    float inverseRadius = max(InverseRadius, 1e-6);
    p.Decode = RadiusDecode(inverseRadius);
    float w = dot(centre, p.Decode.xy) + p.Decode.z;
    float tanY = TanHalfFovY(inverseRadius);
    float pitch = 2.0 * tanY * sddx.y;
    float2 s = (uv * 2.0 - 1.0) * float2(tanY * sddx.y / sddx.x, -tanY);

    // The gradient of w from the side whose neighbour is nearer in value, so
    // that a depth edge beside the pixel does not tilt its normal; taken over
    // a few pixels, since the filtered image is still flat between the steps
    // of its last bit.
    float4 offset = float4(sddx.x, 0.0, 0.0, sddx.y) * NormalReach;
    float4 change = float4(WAt(DepthSampler, uv + offset.xy, p.Decode), WAt(DepthSampler, uv - offset.xy, p.Decode),
                           WAt(DepthSampler, uv + offset.zw, p.Decode), WAt(DepthSampler, uv - offset.zw, p.Decode));
    change = (change - w) * float4(1.0, -1.0, 1.0, -1.0);
    float2 gradient = float2(abs(change.x) < abs(change.y) ? change.x : change.y,
                             abs(change.z) < abs(change.w) ? change.z : change.w) /
                      (pitch * NormalReach);
    // Per screen coordinate (y up): a plane n.P = d has w = n.(s, 1) / d.
    gradient.y = -gradient.y;
    float3 normal = normalize(-float3(gradient, w - dot(s, gradient)));
    float tangent = dot(normal, float3(s, 1.0));
    // A sample counts only where it rises above what the filtered image can
    // tell apart: w known to Precision slice units, in the pixel's and the
    // sample's value both.
    p.Frame = float4(w, tangent, dot(s, s) + 1.0, abs(tangent) * (2.0 * Precision * SliceUnit) * p.Decode.x);
    p.Screen = float4(2.0 * s, normal.xy);

    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;
    // The reach in pixels: the radius at the pixel's distance, a quarter
    // more or less from pixel to pixel (blue).
    float reach = min(w / pitch, MostReach / sddx.y) * (0.75 + 0.5 * noise.b);
    p.Walk = float4(reach / Steps, pitch * w * float2(1.0, -1.0), w * w);
    // Green codes the first direction as (1 - a, a) before its length is made one (Noise.bmp).
    float2 direction = normalize(float2(1.0 - noise.g, noise.g));
    float hidden = 0.0;
    [unroll] for (int d = 0; d < Directions; ++d) {
        // sin^2 of each horizon's elevation: the share of the cosine-weighted
        // hemisphere it hides.
        float2 sine = saturate(Horizons(p, uv, direction, Steps));
        hidden += dot(sine, sine);
        direction = float2(-direction.y, direction.x);
    }
    float ao = saturate(1.0 - OcclusionStrength * hidden / (2.0 * Directions));
    // The background slice (sky, or too far to tell) stays open.
    ao = BackgroundUnits * SliceUnit < SliceValueOf(centre) ? ao : 1.0;
    // The term and, for the denoise, the pixel's filtered value.
    return float4(ao, centre, 1.0);
}

// The ps_2_0 fallback's occlusion, within that model's twelve temporaries:
// pairs of samples at opposite offsets on 4 axes at two reaches. On a plane
// a pair's mean w equals the pixel's; in a crease it is larger (nearer). The
// pair's middle then stands (mean w - w) / w^2 radii in front of the pixel,
// which over the pair's reach gives its occlusion; a pair with a sample
// nearer than the pixel by more than the radius is an object in front, not
// a crease, and does not count. Shown as it is: grey, without a denoise.
static const float4 PairAxes0 = float4(1.0, 0.0, 0.7071, 0.7071);
static const float4 PairAxes1 = float4(0.0, 1.0, -0.7071, 0.7071);
static const int PairReaches = 2;
static const float PairShare = 0.45;  // of the radius, per reach
// A pair's occlusion: its lead over its reach, times this, less PairFloor.
static const float PairSlope = 2.0;
static const float PairFloor = 0.1;

float4 FallbackOcclusionPS(float2 uv : TEXCOORD0) : COLOR0
{
    float inverseRadius = max(InverseRadius, 1e-6);
    float3 decode = RadiusDecode(inverseRadius);
    float w = WAt(DepthSampler, uv, decode);
    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;
    float2 direction = normalize(float2(1.0 - noise.g, noise.g));
    // The radius at the pixel's distance, in texture units, as in the first technique.
    float reach = min(w / (2.0 * TanHalfFovY(inverseRadius) * sddx.y), MostReach / sddx.y) * (0.75 + 0.5 * noise.b);
    float4 axisX = (direction * reach * sddx.xy).xyxy;
    float4 axisY = (float2(-direction.y, direction.x) * reach * sddx.xy).xyxy;
    float4 sum = 0.0;
    [unroll] for (int r = 1; r <= PairReaches; ++r) {
        float share = PairShare * r;
        float4 o = (axisX * PairAxes0.xxzz + axisY * PairAxes0.yyww) * share;
        float4 q = (axisX * PairAxes1.xxzz + axisY * PairAxes1.yyww) * share;
        float4 a = float4(WAt(DepthSampler, uv + o.xy, decode), WAt(DepthSampler, uv + o.zw, decode),
                          WAt(DepthSampler, uv + q.xy, decode), WAt(DepthSampler, uv + q.zw, decode));
        float4 b = float4(WAt(DepthSampler, uv - o.xy, decode), WAt(DepthSampler, uv - o.zw, decode),
                          WAt(DepthSampler, uv - q.xy, decode), WAt(DepthSampler, uv - q.zw, decode));
        float4 lead = (0.5 * (a + b) - w) / (w * w * share);
        sum += saturate(PairSlope * lead - PairFloor) * step(max(a, b) - w, w * w);
    }
    float ao = saturate(1.0 - OcclusionStrength * dot(sum, 1.0) / (4.0 * PairReaches));
    // The background slice: sky, or too far to tell.
    ao = max(ao, step(w, decode.z + BackgroundUnits * SliceUnit * decode.x));
    return float4(ao, ao, ao, 1.0);
}

// ---------------------------------------------------------------------------
// Passes 4 and 5: the denoise. On one surface every tap keeps its whole
// weight, so the two passes make the 5 x 5 mean at 10 fetches instead of 25.

// The term of the taps along `axis` (texture units per pixel) weighted by
// how close their filtered value is to the pixel's; the value passes on.
// The pixel counts whole; its neighbours go four at a time.
float4 DenoiseAlong(float2 uv, float2 axis)
{
    float4 centre = tex2D(WorkSampler, uv);
    float v = SliceValueOf(centre.gb);
    float2 sum = float2(centre.r, 1.0);
    [unroll] for (int i = 1; i <= DenoiseReach; i += 2) {
        float4 tap[4] = {tex2D(WorkSampler, uv + axis * i), tex2D(WorkSampler, uv - axis * i),
                         tex2D(WorkSampler, uv + axis * (i + 1)), tex2D(WorkSampler, uv - axis * (i + 1))};
        float4 value = float4(SliceValueOf(tap[0].gb), SliceValueOf(tap[1].gb), SliceValueOf(tap[2].gb),
                              SliceValueOf(tap[3].gb));
        float4 weight = saturate(abs(value - v) * (-1.0 / (DenoiseEdge * SliceUnit)) + 1.0);
        sum += float2(dot(weight, float4(tap[0].r, tap[1].r, tap[2].r, tap[3].r)), dot(weight, 1.0));
    }
    return float4(sum.x / sum.y, centre.gb, 1.0);
}

float4 DenoiseAcrossPS(float2 uv : TEXCOORD0) : COLOR0
{
    return DenoiseAlong(uv, float2(sddx.x, 0.0));
}

// The term left on screen: grey.
float4 DenoiseDownPS(float2 uv : TEXCOORD0) : COLOR0
{
    return DenoiseAlong(uv, float2(0.0, sddx.y)).xxxw;
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
    pass DenoiseAcross < bool CopyBackBuffer = true; string CopyInto = "BlurBackBuffer"; >
    {
        PixelShader = compile ps_2_a DenoiseAcrossPS();
        FULL_SCREEN_PASS_STATES
    }
    pass DenoiseDown < bool CopyBackBuffer = true; string CopyInto = "BlurBackBuffer"; >
    {
        PixelShader = compile ps_2_a DenoiseDownPS();
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
        PixelShader = compile ps_2_0 FallbackOcclusionPS();
        FULL_SCREEN_PASS_STATES
    }
}
