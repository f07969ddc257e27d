// DepthSlices.fxh: where the depth slices lie, and how the effects read the
// slice image.
//
// The slice image. RenderDepth.hlsl draws it in red: a pixel whose scene
// lies at slice position q (0 farthest, 9 nearest) holds v = q + 0.5 units
// of SliceUnit, give or take the dither's half step. Positions lie evenly in
// u = 1 - screen depth (the screen depth itself in a reversed buffer), which
// is affine in 1 / distance: on a plane v is linear in screen position, so
// averages of neighbouring texels land on the plane, and 1 / distance is
// linear in v (DepthDecode). SSAO.hlsl filters the image and leaves it in
// "ZBackBuffer" with v spread over red and green (EncodeSliceValue), so that
// it keeps its precision in 8-bit channels; SliceValue reads either form
// (the raw image has no green).
//
// The plug-in works the layout out every frame, from Settings.fxh when it
// names the host's near plane, else from the projection the host left in the
// device, else from the host's depth buffer measured with occlusion queries,
// and sets the two parameters below by name (as it sets "sddx") before the
// frame's first pass.

static const float SliceUnit = 24.0 / 255.0;
static const float SliceCount = 10.0;
// Texels per side of Noise.bmp, whose red channel holds the slices' dither.
static const float NoiseSize = 64.0;

// Settings.fxh as the plug-in reads it: (near, far, field of view, reversed)
// and (nearest slice, farthest slice, radius, radius as a share of the
// scene's median distance), and whether the plug-in's own slices are asked for.
float4 HostProjection = float4(HOST_NEAR_PLANE, HOST_FAR_PLANE, HOST_FIELD_OF_VIEW_Y, HOST_DEPTH_REVERSED);
float4 HostScene = float4(SLICE_NEAREST, SLICE_FARTHEST, AO_RADIUS, AO_RADIUS_SHARE);
float PluginSliceDepths = PLUGIN_SLICE_DEPTHS;

// The screen depth of the slice with value v = 1 - i / 10 (its TEXCOORD1)
// at dither offset t: saturate(A + B v + C t + G [v = 1]). G puts slice 0,
// the background, on the cleared depth (1, or 0 reversed) whatever t is.
float4 DepthSlices;
// (W0, W1, R, 1 / radius): 1 / distance = W0 + W1 v for image value v, in
// the units the radius is in; R turns 1 / distance into the radius's share of
// the screen height (radius / (2 tan(fov / 2))).
float4 DepthDecode;

#define DecodeW0 (DepthDecode.x)
#define DecodeW1 (DepthDecode.y)
#define ScreenRadius (DepthDecode.z)
#define InverseRadius (DepthDecode.w)
#define SliceW1 (DecodeW1 * SliceUnit)
#define OcclusionStrength clamp((AO_STRENGTH), 0.0, 4.0)

// (1, 1 / levels, levels, 0) for the levels of the back buffer's red channel:
// 255 in an 8-bit one, 31 in a 16-bit R5G6B5 one, which the plug-in sets by
// name. Filtered values keep whole levels in red and the rest in green.
float4 SliceChannel = float4(1.0, 1.0 / 255.0, 255.0, 0.0);

// A filtered value from the two channels that hold it: whole levels, then the rest.
float SliceValueOf(float2 channels)
{
    return dot(channels, SliceChannel.xy);
}

// The slice image's value at a texel, raw or filtered.
float SliceValue(float4 texel)
{
    return SliceValueOf(texel.rg);
}

// v in red (whole levels) and green (the rest, in levels of a level).
float2 EncodeSliceValue(float v)
{
    float rest = frac(v * SliceChannel.z);
    return float2(rest * -SliceChannel.y + v, rest);
}
