// ShowTexture.hlsl: the final image. Draws the scene copy ("BackBuffer")
// darkened by the occlusion term ("BlurBackBuffer": grey, 1 = unoccluded)
// over the full viewport. Both images have the size of the back buffer. The
// term comes denoised from SSAO.hlsl, so it is applied as it is.

#include "Settings.fxh"
#include "FullScreenPass.fxh"

texture SceneTexture : BackBuffer;
texture OcclusionTexture : BlurBackBuffer;

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
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

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
        PixelShader = compile ps_2_0 CombinePS();
        FULL_SCREEN_PASS_STATES
    }
}
