// RenderBlack.hlsl: fills the viewport with black before the depth slices
// are drawn over it, so that the slice image starts from a known value.
// Drawn on the full-viewport quad; reads no texture.

#include "FullScreenPass.fxh"

float4 BlackPS() : COLOR0
{
    return float4(0.0, 0.0, 0.0, 1.0);
}

technique RenderBlack
{
    pass Fill
    {
        PixelShader = compile ps_2_0 BlackPS();
        // Everything the host may have left on that would change a plain fill.
        FULL_SCREEN_PASS_STATES
    }
}
