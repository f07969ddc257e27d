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
//   each held within one step of the pixel so that a silhouette does not
//   drag it along, and the mean no more than half a step above the pixel,
//   so that open sky behind an edge does not lift it.
// - Creases only show over a wide radius: 0.2 of the screen height where
//   the slice value is 0.4, scaled with 1 - value (that is, 1 / distance)
//   to cover the same width in the world at every distance, about 2.3 m
//   with the plug-in's slices.
// - A surface bending towards the viewer comes nearer gradually, an object
//   standing in front comes nearer at once. Each direction is sampled at
//   the full and at half the radius; a sample nearer than twice its
//   half-way sample by more than JumpLimit, a half-way sample already
//   nearer by more than that, or any sample nearer by more than MaxGap,
//   belongs to an object in front, and its pair does not count. That keeps
//   halos off silhouettes.
// - Blur passes are off in the plug-in, so this pass is what users see: the
//   noise image turns the pattern and jitters the radius per pixel, which
//   trades ghost outlines and hard edges at the steps for fine grain.

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
static const float Threshold = 0.1;
static const float Ramp = 5.0;
static const float MaxGap = 0.32;
static const float GapFalloff = 10.0;
static const float JumpLimit = 0.12;
static const float JumpFalloff = 10.0;
static const float Strength = 6.0;

// Six directions 30 degrees apart at radii 1.0, 0.8, 0.9, 0.7, 1.0 and 0.85,
// two per constant pair: offset = AlongX * axis x + AlongY * axis y.
static const float4 AlongX01 = float4(1.0, 1.0, 0.6928, 0.6928);
static const float4 AlongY01 = float4(0.0, 0.0, 0.4, 0.4);
static const float4 AlongX23 = float4(0.45, 0.45, 0.0, 0.0);
static const float4 AlongY23 = float4(0.7794, 0.7794, 0.7, 0.7);
static const float4 AlongX45 = float4(-0.5, -0.5, -0.7361, -0.7361);
static const float4 AlongY45 = float4(0.866, 0.866, 0.425, 0.425);

// Offsets of two directions in the rotated frame (axes.xy, axes.zw).
float4 Directions(float4 axes, float4 alongX, float4 alongY)
{
    return axes.xyxy * alongX + axes.zwzw * alongY;
}

// Samples at +dir0, -dir0, +dir1, -dir1, times `scale`.
float4 Fetch4(float2 uv, float4 dirs, float scale)
{
    float4 v;
    v.x = tex2D(DepthSampler, uv + scale * dirs.xy).r;
    v.y = tex2D(DepthSampler, uv - scale * dirs.xy).r;
    v.z = tex2D(DepthSampler, uv + scale * dirs.zw).r;
    v.w = tex2D(DepthSampler, uv - scale * dirs.zw).r;
    return v;
}

// Occlusion of the two outer pairs, with their half-way samples.
float2 PairOcclusion(float level, float4 outer, float4 inner)
{
    float4 nearOuter = level - outer;
    float4 nearInner = level - inner;
    float4 jump = nearOuter - 2.0 * nearInner;
    float4 counts = saturate((MaxGap - nearOuter) * GapFalloff) * saturate(1.0 - (jump - JumpLimit) * JumpFalloff) *
                    saturate(1.0 - (nearInner - JumpLimit) * JumpFalloff);
    float2 crease = saturate((nearOuter.xz + nearOuter.yw - Threshold) * Ramp);
    return crease * counts.xz * counts.yw;
}

float4 OcclusionPS(float2 uv : TEXCOORD0) : COLOR0
{
    float centre = tex2D(DepthSampler, uv).r;
    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;
    float2 scale = float2(sddx.x / sddx.y, 1.0) * (Radius * saturate(1.0 - centre + RadiusJitter * noise.b) / 0.6);
    float2 direction = noise.rg * 2.0 - 1.0;
    float4 axes = float4(direction, -direction.y, direction.x) * scale.xyxy;

    float4 inner01 = Fetch4(uv, Directions(axes, AlongX01, AlongY01), 0.5);
    float4 inner23 = Fetch4(uv, Directions(axes, AlongX23, AlongY23), 0.5);
    float4 inner45 = Fetch4(uv, Directions(axes, AlongX45, AlongY45), 0.5);
    float4 low = centre - Step;
    float4 high = centre + Step;
    float4 inner = clamp(inner01, low, high) + clamp(inner23, low, high) + clamp(inner45, low, high);
    float level = min(centre + 0.5 * Step, (centre + dot(inner, 1.0)) / 13.0);

    float2 occlusion = PairOcclusion(level, Fetch4(uv, Directions(axes, AlongX01, AlongY01), 1.0), inner01);
    occlusion += PairOcclusion(level, Fetch4(uv, Directions(axes, AlongX23, AlongY23), 1.0), inner23);
    occlusion += PairOcclusion(level, Fetch4(uv, Directions(axes, AlongX45, AlongY45), 1.0), inner45);
    // A pixel in front of every slice (value 0) has no depth to work with.
    float ao = saturate(1.0 - Strength * dot(occlusion, 1.0 / 6.0));
    return float4(ao, ao, ao, 1.0);
}

// 24 depth samples, the pixel's own and the noise: 26 texture reads, two
// levels of dependent reads. The pass is pre-transformed quads without a
// vertex shader, which a ps_3_0 shader cannot be paired with, so it stays
// within ps_2_0.
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
