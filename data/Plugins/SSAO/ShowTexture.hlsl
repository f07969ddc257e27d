// ShowTexture.hlsl: the final image. Draws the scene copy ("BackBuffer")
// darkened by the occlusion term ("BlurBackBuffer": grey, 1 = unoccluded)
// over the full viewport. Both images have the size of the back buffer.
//
// The occlusion pass leaves a fine grain (its sample pattern turns from
// pixel to pixel). The first technique smooths it here, edge-aware: eight
// bilinear taps on a ring two pixels out, each weighted by how close the
// depth-slice image ("ZBackBuffer", DepthSlices.fxh) is there to the
// pixel's, so that the term of one surface does not bleed onto another.
// The pixel size comes from the texture-coordinate gradients (ps_2_a):
// "sddx" is not set on this effect. The ps_2_0 fallback shows the term as
// it is.

#include "Settings.fxh"
#include "DepthSlices.fxh"
#include "FullScreenPass.fxh"

texture SceneTexture : BackBuffer;
texture OcclusionTexture : BlurBackBuffer;
texture DepthSliceTexture : ZBackBuffer;

sampler SceneSampler = sampler_state
{
    Texture = <SceneTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler OcclusionSampler = sampler_state
{
    Texture = <OcclusionTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

sampler DepthSampler = sampler_state
{
    Texture = <DepthSliceTexture>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

// A tap whose depth differs by this many slice steps keeps no weight.
static const float EdgeSteps = 1.5;

// Weighted term (x) and weight (y) of four taps at offsets a.xy, a.zw, b.xy,
// b.zw from uv; `centre` is the pixel's depth-image value.
float2 Taps(float2 uv, float4 a, float4 b, float centre)
{
    float4 pa = uv.xyxy + a, pb = uv.xyxy + b;
    float4 depth = float4(tex2D(DepthSampler, pa.xy).r, tex2D(DepthSampler, pa.zw).r, tex2D(DepthSampler, pb.xy).r,
                          tex2D(DepthSampler, pb.zw).r);
    float4 term = float4(tex2D(OcclusionSampler, pa.xy).r, tex2D(OcclusionSampler, pa.zw).r,
                         tex2D(OcclusionSampler, pb.xy).r, tex2D(OcclusionSampler, pb.zw).r);
    float4 weight = saturate(1.0 - abs(depth - centre) * (1.0 / (EdgeSteps * SliceUnit)));
    return float2(dot(weight, term), dot(weight, 1.0));
}

float4 FilteredPS(float2 uv : TEXCOORD0) : COLOR0
{
    float4 scene = tex2D(SceneSampler, uv);
    float2 texel = float2(ddx(uv.x), ddy(uv.y));
    // Taps on texel corners (each the mean of four texels), two pixels out.
    float4 t = texel.xyxy;
    float centre = tex2D(DepthSampler, uv + 0.5 * texel).r;
    float2 sum = float2(tex2D(OcclusionSampler, uv + 0.5 * texel).r, 1.0) +
                 Taps(uv, t * float4(-1.5, -1.5, 2.5, -1.5), t * float4(-1.5, 2.5, 2.5, 2.5), centre) +
                 Taps(uv, t * float4(0.5, -1.5, -1.5, 0.5), t * float4(2.5, 0.5, 0.5, 2.5), centre);
    return float4(scene.rgb * (sum.x / sum.y), scene.a);
}

float4 CombinePS(float2 uv : TEXCOORD0) : COLOR0
{
    float4 scene = tex2D(SceneSampler, uv);
    float occlusion = tex2D(OcclusionSampler, uv).r;
    return float4(scene.rgb * occlusion, scene.a);
}

technique ShowTexture
{
    pass Combine
    {
        PixelShader = compile ps_2_a FilteredPS();
        FULL_SCREEN_PASS_STATES
    }
}

technique ShowTextureFallback
{
    pass Combine
    {
        PixelShader = compile ps_2_0 CombinePS();
        FULL_SCREEN_PASS_STATES
    }
}
