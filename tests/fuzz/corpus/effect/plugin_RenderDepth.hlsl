// RenderDepth.hlsl: rebuilds a coarse depth image from the host's depth
// buffer. The plug-in draws a stack of full-viewport slice quads in one
// batch, slice 0 first: slice i lies at screen depth z_i and carries its
// value v_i in TEXCOORD1 (slice 0: z = 1.0, v = 1.0; later slices are
// nearer and darker). Each pixel is left showing the value of the nearest
// slice that still lies at or behind the scene there, so the image reads
// brighter = farther.
//
// Why ZFunc = GreaterEqual: the depth buffer is only tested, never written
// (ZWriteEnable = false), so each slice passes or fails on its own against
// the scene depth d. A slice passes where z_i >= d, i.e. where it lies at or
// behind the scene surface. Because the slices come far to near and the
// last passing one overwrites the others, the pixel ends with the nearest
// slice behind the surface. "Equal" matters for pixels the host never drew
// (depth still cleared to 1.0): slice 0 at exactly 1.0 must pass there, so
// empty background reads as the farthest value instead of staying black.
// Less or LessEqual would let the slices in front of the surface pass
// instead; drawn far to near, the last of them is always the nearest slice,
// so the image would hold one value wherever any slice passed.

float4 SlicePS(float2 slice : TEXCOORD1) : COLOR0
{
    return float4(slice.xxx, 1.0);
}

technique RenderDepth
{
    pass Slices
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 SlicePS();

        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = GreaterEqual;
        StencilEnable = false;
        AlphaBlendEnable = false;
        SeparateAlphaBlendEnable = false;
        AlphaTestEnable = false;
        FogEnable = false;
        ScissorTestEnable = false;
        SRGBWriteEnable = false;
        ClipPlaneEnable = 0;
        CullMode = None;
        FillMode = Solid;
        ColorWriteEnable = Red | Green | Blue | Alpha;
    }
}
