// SSAO.hlsl: the ambient-occlusion term, drawn as grey over the full
// viewport (1 = unoccluded, darker = more occluded). Reads the depth-slice
// image ("ZBackBuffer": ten levels 0.1 apart, brighter = farther, evenly
// spaced in 1 / distance) and the noise image ("NoiseTexture", 64 x 64,
// tiled over the screen); "sddx" holds the size of one screen pixel in
// texture units.
//
// The image is a staircase: on any plane the slice value is a linear ramp
// cut into steps of 0.1, and one step is a long way (about 1.7 m at 10 m).
// - Pairs of samples at opposite offsets. On a plane the two differ from
//   the pixel's level in opposite directions and cancel, up to rounding;
//   a pair nearer than the level by more than Threshold in sum is a crease
//   or a corner.
// - The pixel's own value is off from the true level by up to one step, and
//   by the same amount for every pair, so it would darken whole steps at
//   once. The level is the mean of the pixel and its inner samples instead,
//   held within the pixel's own step (the true level is never above the
//   value a pixel shows, and less than one step below it), so that a
//   silhouette or open sky behind an edge does not drag it along.
// - Creases only show over a wide radius: 0.2 of the screen height where
//   the slice value is 0.4, scaled with 1 - value (that is, 1 / distance)
//   so that it spans the same width in the world at every distance, about
//   2.3 m with the plug-in's slices.
// - A surface bending towards the viewer comes nearer gradually, an object
//   standing in front comes nearer at once. Each direction is sampled at
//   the full radius and at half of it; a pair whose nearer outer sample
//   leads its half-way sample by more than it could on a bend (JumpLimit),
//   whose half-way sample already leads by more than JumpLimit, or whose
//   nearer sample leads by more than MaxGap, is an object in front and
//   does not count. That keeps halos off silhouettes.
// - Blur passes are off in the plug-in, so this pass is what users see: the
//   noise image turns the pattern and jitters the radius per pixel, which
//   trades ghost outlines and hard edges at the steps for fine grain.
//
// Budget (ps_2_0: 32 texture and 64 arithmetic slots): 16 depth samples, the
// pixel's own and the noise are 18 texture reads; each pair costs one add and
// one min besides its two coordinates, the rest is four-wide. A kernel of six
// directions (24 samples) measured better but needs about 80 arithmetic slots.

float4 sddx;  // x = 1 / width, y = 1 / height

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

sampler NoiseSampler = sampler_state
{
    Texture = <RotationTexture>;
    MinFilter = Point;
    MagFilter = Point;
    MipFilter = None;
    AddressU = Wrap;
    AddressV = Wrap;
};

static const float NoiseSize = 64.0;  // texels per side of Noise.bmp
static const float Radius = 0.2;      // outer radius in screen heights at slice value 0.4
static const float RadiusJitter = 0.1;
static const float Step = 0.1;        // one slice
static const float Threshold = 0.1;   // a pair's lead (sum, in slice values) that is still a plane
static const float Ramp = 5.0;
static const float MaxGap = 0.32;
static const float GapFalloff = 10.0;
static const float JumpLimit = 0.12;
static const float JumpFalloff = 10.0;
static const float Strength = 6.0;

// Four directions 45 degrees apart at radii 1.0, 0.8, 0.9 and 0.7 (x, y of
// each in the rotated frame).
static const float4 Dir01 = float4(1.0, 0.0, 0.5657, 0.5657);
static const float4 Dir23 = float4(0.0, 0.9, -0.4950, 0.4950);

float Depth(float2 uv)
{
    return tex2D(DepthSampler, uv).r;
}

float4 OcclusionPS(float2 uv : TEXCOORD0) : COLOR0
{
    float centre = Depth(uv);
    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;
    float2 scale = float2(sddx.x / sddx.y, 1.0) * (Radius * saturate(1.0 - centre + RadiusJitter * noise.b) / 0.6);
    float2 direction = noise.rg * 2.0 - 1.0;
    float2 axisX = direction * scale;
    float2 axisY = float2(-direction.y, direction.x) * scale;
    float4 dirs01 = axisX.xyxy * Dir01.xxzz + axisY.xyxy * Dir01.yyww;
    float4 dirs23 = axisX.xyxy * Dir23.xxzz + axisY.xyxy * Dir23.yyww;

    // Sum and nearer (lower) sample of each pair, inner (half radius) and outer.
    float4 innerSum, outerSum, outerNearer, innerNearer;
    float a, b;
    a = Depth(uv + 0.5 * dirs01.xy); b = Depth(uv - 0.5 * dirs01.xy); innerSum.x = a + b; innerNearer.x = min(a, b);
    a = Depth(uv + 0.5 * dirs01.zw); b = Depth(uv - 0.5 * dirs01.zw); innerSum.y = a + b; innerNearer.y = min(a, b);
    a = Depth(uv + 0.5 * dirs23.xy); b = Depth(uv - 0.5 * dirs23.xy); innerSum.z = a + b; innerNearer.z = min(a, b);
    a = Depth(uv + 0.5 * dirs23.zw); b = Depth(uv - 0.5 * dirs23.zw); innerSum.w = a + b; innerNearer.w = min(a, b);
    a = Depth(uv + dirs01.xy); b = Depth(uv - dirs01.xy); outerSum.x = a + b; outerNearer.x = min(a, b);
    a = Depth(uv + dirs01.zw); b = Depth(uv - dirs01.zw); outerSum.y = a + b; outerNearer.y = min(a, b);
    a = Depth(uv + dirs23.xy); b = Depth(uv - dirs23.xy); outerSum.z = a + b; outerNearer.z = min(a, b);
    a = Depth(uv + dirs23.zw); b = Depth(uv - dirs23.zw); outerSum.w = a + b; outerNearer.w = min(a, b);

    float level = clamp((centre + dot(innerSum, 1.0)) / 9.0, centre - Step, centre);
    float4 crease = saturate((2.0 * level - outerSum - Threshold) * Ramp);
    // Nearer by more than MaxGap, or nearer than twice the half-way sample by
    // more than JumpLimit: an object in front.
    float4 jump = 2.0 * innerNearer - outerNearer - level;
    float4 counts = saturate((MaxGap - level + outerNearer) * GapFalloff) * saturate(1.0 - (jump - JumpLimit) * JumpFalloff) *
                    saturate(1.0 - (level - innerNearer - JumpLimit) * JumpFalloff);
    float ao = saturate(1.0 - Strength * dot(crease * counts, 0.25));
    return float4(ao, ao, ao, 1.0);
}

// Pre-transformed quads without a vertex shader, which a ps_3_0 shader
// cannot be paired with: the pass stays within ps_2_0.
technique Occlusion
{
    pass Occlusion
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 OcclusionPS();

        ZEnable = false;
        ZWriteEnable = false;
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
