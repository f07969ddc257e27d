// The comparison's own sampling pass: the pattern texture as it is sampled,
// with whatever filter and addressing the test sets on its sampler.
texture PatternTexture;

sampler PatternSampler = sampler_state
{
    Texture = <PatternTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

float4 PatternPS(float2 uv : TEXCOORD0) : COLOR0
{
    return tex2D(PatternSampler, uv);
}

technique Pattern
{
    pass Sample
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 PatternPS();

        ZEnable = false;
        ZWriteEnable = false;
        StencilEnable = false;
        AlphaBlendEnable = false;
        AlphaTestEnable = false;
        CullMode = None;
        ColorWriteEnable = Red | Green | Blue | Alpha;
    }
}
