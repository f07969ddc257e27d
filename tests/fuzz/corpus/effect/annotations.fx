float scale < string UIName = "Scale"; float UIMin = 0.0; float UIMax = 10; int Steps = 5; bool Show = true; > = 2.5;
float4 PS() : COLOR0 { return scale; }
technique Main < bool Flag = true; string Group = "post"; >
{
    pass P0 < int Order = 4; bool Callback = true; > { PixelShader = compile ps_2_0 PS(); }
    pass P1 < bool Callback = false; > { PixelShader = compile ps_2_0 PS(); ZEnable = false; }
}
