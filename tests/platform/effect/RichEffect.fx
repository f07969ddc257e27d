// Every kind of parameter, annotation, state and reference the compiled
// format carries: the round trip from text to binary, here and under Wine.
float Scale : SCALE < string UIName = "scale"; float UIMin = 0.25; int Steps = 4; > = 1.5;
float4 Tint = {0.5, 0.25, 1.0, 2.0};
float3 Offsets[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
float4x4 World : WORLD;
float2x3 Small = {1, 2, 3, 4, 5, 6};
int Count = 7;
bool Enabled = true;
int RefValue = 3;
float BiasValue = -0.5;
string Label = "hello";
shared float SharedValue = 9;
texture Image : DIFFUSE;
texture Other;
sampler ImageSampler = sampler_state {
    Texture = <Image>;
    MinFilter = Linear;
    MagFilter = Point;
    MipMapLodBias = <BiasValue>;
    AddressU = Wrap;
};
sampler2D OtherSampler = sampler_state { Texture = <Other>; AddressV = Mirror; };
static float Hidden = 4;

float4 Shade(float2 uv : TEXCOORD0) : COLOR0 {
    return tex2D(ImageSampler, uv) * Tint * Scale + tex2D(OtherSampler, uv) * Offsets[1].y + mul(float4(uv, 0, 1), World);
}
float4 Flat() : COLOR0 { return Tint * Hidden; }
PixelShader FlatShader = compile ps_2_0 Flat();

technique Main < string Purpose = "test"; > {
    pass First < int Order = 1; > {
        PixelShader = compile ps_2_0 Shade();
        VertexShader = NULL;
        ZEnable = false;
        AlphaRef = <RefValue>;
        FogStart = 2.5;
        SrcBlend = SrcAlpha;
        ColorWriteEnable = Red | Blue;
        MinFilter[2] = Point;
        Texture[3] = <Other>;
        Sampler[4] = <OtherSampler>;
    }
    pass {
        PixelShader = <FlatShader>;
        CullMode = CW;
    }
}
technique Second {
    pass Only { PixelShader = NULL; StencilRef = 5; Texture[1] = NULL; }
}
