// SSAO.hlsl: the ambient-occlusion term, drawn as grey over the full
// viewport (1 = unoccluded, darker = more occluded). Reads the depth-slice
// image ("ZBackBuffer", brighter = farther, in steps of one slice = 0.1) and
// the noise image ("NoiseTexture", 64 x 64, tiled over the screen);
// "sddx" holds the size of one screen pixel in texture units.
//
// Kernel: pairs of samples at opposite offsets around the pixel. A pair
// occludes when both of its samples are nearer than the pixel (a crease or
// corner around it); on a plane that merely slopes through the slices the
// two samples differ in opposite directions and cancel, so sloped floors
// and walls are not darkened along every slice boundary. A pair with a
// sample far nearer than the pixel (more than MaxGap) is an object standing
// in front, not a crease, and is ignored, which keeps halos off silhouettes.
// The noise rotates the pattern per pixel (red, green: a unit vector) and
// scales its radius (blue); the radius is wider for near (dark) pixels.

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

static const float NoiseSize = 64.0;     // texels per side of Noise.bmp
static const float NearRadius = 24.0;    // sampling radius in pixels at slice value 0
static const float FarRadius = 6.0;      // ... and at slice value 1
// Crease depth (sum of both samples' lead, in slice values) to occlusion:
// one slice (0.1) gives none - a slope stepping through the slices shows
// exactly that - two give 0.6, three or more 1.
static const float CreaseScale = 6.0;
static const float CreaseBias = 0.6;
static const float MaxGap = 0.45;        // nearer than this by more: a foreground object
static const float GapFalloff = 10.0;
static const float Strength = 0.9;

// Pair offsets in units of the radius, two pairs per constant (xy, zw).
static const float4 PairsA = float4(1.0000, 0.0000, 0.3889, 0.3889);
static const float4 PairsB = float4(0.0000, 0.8000, -0.2475, 0.2475);

// Occlusion of four sample pairs (pairs.xy, pairs.zw of first and second);
// axisX and axisY span the rotated, scaled sampling frame in texture units.
float4 PairOcclusion(float2 uv, float centre, float2 axisX, float2 axisY, float4 first, float4 second)
{
    float4 offsetA = axisX.xyxy * first.xxzz + axisY.xyxy * first.yyww;
    float4 offsetB = axisX.xyxy * second.xxzz + axisY.xyxy * second.yyww;
    float4 plusA = uv.xyxy + offsetA;
    float4 minusA = uv.xyxy - offsetA;
    float4 plusB = uv.xyxy + offsetB;
    float4 minusB = uv.xyxy - offsetB;

    float4 plus;
    plus.x = tex2D(DepthSampler, plusA.xy).r;
    plus.y = tex2D(DepthSampler, plusA.zw).r;
    plus.z = tex2D(DepthSampler, plusB.xy).r;
    plus.w = tex2D(DepthSampler, plusB.zw).r;
    float4 minus;
    minus.x = tex2D(DepthSampler, minusA.xy).r;
    minus.y = tex2D(DepthSampler, minusA.zw).r;
    minus.z = tex2D(DepthSampler, minusB.xy).r;
    minus.w = tex2D(DepthSampler, minusB.zw).r;

    float4 nearerPlus = centre - plus;
    float4 nearerMinus = centre - minus;
    float4 crease = saturate((nearerPlus + nearerMinus) * CreaseScale - CreaseBias);
    float4 sameSurface = saturate((MaxGap - max(nearerPlus, nearerMinus)) * GapFalloff);
    return crease * sameSurface;
}

// The rotated sampling frame of this pixel.
void SamplingFrame(float2 uv, float centre, out float2 axisX, out float2 axisY)
{
    float3 noise = tex2D(NoiseSampler, uv / (sddx.xy * NoiseSize)).rgb;
    float2 direction = noise.rg * 2.0 - 1.0;
    float radius = lerp(NearRadius, FarRadius, centre) * (0.6 + 0.8 * noise.b);
    axisX = direction * radius * sddx.xy;
    axisY = float2(-direction.y, direction.x) * radius * sddx.xy;
}

float4 Occlusion8PS(float2 uv : TEXCOORD0) : COLOR0
{
    float centre = tex2D(DepthSampler, uv).r;
    float2 axisX, axisY;
    SamplingFrame(uv, centre, axisX, axisY);
    float4 occlusion = PairOcclusion(uv, centre, axisX, axisY, PairsA, PairsB);
    float ao = saturate(1.0 - Strength * dot(occlusion, 0.25));
    return float4(ao, ao, ao, 1.0);
}

// Eight samples (four pairs): the pass is pre-transformed quads without a
// vertex shader, which a ps_3_0 shader cannot be paired with, so it stays
// within ps_2_0.
technique Occlusion8
{
    pass Occlusion
    {
        VertexShader = NULL;
        PixelShader = compile ps_2_0 Occlusion8PS();

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
