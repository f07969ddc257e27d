// ZBlur.hlsl: one depth-aware blur step of the occlusion term. Averages the
// occlusion image ("BlurBackBuffer") over a square around each pixel,
// weighting each tap by how close its value in the depth-slice image
// ("ZBackBuffer", linear in slice position, filtered by SSAO.hlsl:
// DepthSlices.fxh) is to the
// pixel's own, so that the occlusion of one surface does not bleed across a
// depth edge onto another. "sddx" holds the size of one screen pixel in
// texture units. Output: grey, 1 = unoccluded.

#include "Settings.fxh"
#include "DepthSlices.fxh"
#include "FullScreenPass.fxh"

float4 sddx;  // x = 1 / width, y = 1 / height

texture OcclusionTexture : BlurBackBuffer;
texture DepthSliceTexture : ZBackBuffer;

sampler OcclusionSampler = sampler_state
{
    Texture = <OcclusionTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler DepthSampler = sampler_state
{
    Texture = <DepthSliceTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

// A tap one slice step away keeps 0.3 of its weight, two steps none (the
// dither puts neighbours on one surface up to a step apart).
static const float DepthFalloff = 0.7 / SliceUnit;

// Weighted occlusion (x) and weight (y) of four taps at pixel offsets
// first.xy, first.zw, second.xy, second.zw.
float2 BlurTaps(float2 uv, float centre, float4 first, float4 second)
{
    float4 a = uv.xyxy + first * sddx.xyxy;
    float4 b = uv.xyxy + second * sddx.xyxy;

    float4 depth;
    depth.x = SliceValue(tex2D(DepthSampler, a.xy));
    depth.y = SliceValue(tex2D(DepthSampler, a.zw));
    depth.z = SliceValue(tex2D(DepthSampler, b.xy));
    depth.w = SliceValue(tex2D(DepthSampler, b.zw));
    float4 occlusion;
    occlusion.x = tex2D(OcclusionSampler, a.xy).r;
    occlusion.y = tex2D(OcclusionSampler, a.zw).r;
    occlusion.z = tex2D(OcclusionSampler, b.xy).r;
    occlusion.w = tex2D(OcclusionSampler, b.zw).r;

    float4 weight = saturate(1.0 - abs(depth - centre) * DepthFalloff);
    return float2(dot(weight, occlusion), dot(weight, 1.0));
}

float4 Resolve(float centreOcclusion, float2 sum)
{
    float ao = (centreOcclusion + sum.x) / (1.0 + sum.y);
    return float4(ao, ao, ao, 1.0);
}

// 3 x 3 taps.
float4 Blur3PS(float2 uv : TEXCOORD0) : COLOR0
{
    float centre = SliceValue(tex2D(DepthSampler, uv));
    float centreOcclusion = tex2D(OcclusionSampler, uv).r;
    float2 sum = BlurTaps(uv, centre, float4(-1, -1, 0, -1), float4(1, -1, -1, 0)) +
                 BlurTaps(uv, centre, float4(1, 0, -1, 1), float4(0, 1, 1, 1));
    return Resolve(centreOcclusion, sum);
}

// Pre-transformed quads without a vertex shader: ps_3_0 cannot be paired
// with that, so the blur stays within ps_2_0.
technique Blur3x3
{
    pass Blur
    {
        PixelShader = compile ps_2_0 Blur3PS();
        FULL_SCREEN_PASS_STATES
    }
}
