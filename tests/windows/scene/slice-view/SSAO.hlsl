// Installed in place of the shipped SSAO.hlsl for one comparison only: the
// module's "occlusion term" is then its own depth-slice image ("ZBackBuffer"),
// texel for texel (point sampling at pixel centres), so that the slice image
// the module built on each device can be read back from the screen with
// ShowAOOnly on. The parameters the plug-in sets are declared as in the
// shipped effect.

#include "../../../../data/Plugins/SSAO/FullScreenPass.fxh"

float4 sddx;

texture DepthSliceTexture : ZBackBuffer;
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

float4 SlicesPS(float2 uv : TEXCOORD0) : COLOR0
{
    return float4(tex2D(DepthSampler, uv).rgb, 1.0);
}

technique SliceView
{
    pass Slices
    {
        PixelShader = compile ps_2_0 SlicesPS();
        FULL_SCREEN_PASS_STATES
    }
}
