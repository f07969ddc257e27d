bool depthOn = true; float bias = 1.5;
float4 PS() : COLOR { return 1; }
float4 VS(float4 p : POSITION) : POSITION { return p; }
technique Fallbacks
{
    pass
    {
        ZEnable = <depthOn>; DepthBias = (bias); ZWriteEnable = FALSE; ZFunc = LessEqual;
        AlphaBlendEnable = true; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha; BlendOp = RevSubtract;
        CullMode = CCW; FillMode = Wireframe; ColorWriteEnable = Red | Alpha; StencilEnable = false;
        StencilFunc = Always; StencilPass = Replace; AlphaRef = 0x80; FogStart = 0.5; Lighting = false;
        VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS();
    }
}
technique Needs3 { pass { PixelShader = compile ps_3_0 PS(); VertexShader = compile vs_3_0 VS(); } }
technique Sw { pass { PixelShader = compile ps_2_sw PS(); } }
technique Extended { pass { PixelShader = compile ps_2_a PS(); } }
