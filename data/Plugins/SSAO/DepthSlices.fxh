// DepthSlices.fxh: where the depth slices lie and how the slice image
// RenderDepth.hlsl writes is decoded: v = (q + 0.5) units of SliceUnit for
// slice position q.
//
// Slice positions q run from 0 (farthest) to 9 (nearest), evenly in
// u = 1 - screen depth (screen depth itself for a reversed buffer), which is
// affine in 1 / distance: on a plane it is linear in screen position, so
// averages of neighbouring texels (a bilinear fetch, a ring of samples) land
// on the plane, and 1 / distance is linear in the image's value.
//
// The plug-in works the layout out every frame, from Settings.fxh when it
// names the host's near plane, else from the projection the host left in the
// device, else from the host's depth buffer measured with occlusion queries,
// and sets the two parameters below by name (as it sets "sddx"). Their
// initial values are the plug-in's own fixed slices, read for near 0.0003
// and far 80: what an effect shows when nothing sets them.

static const float SliceUnit = 24.0 / 255.0;

// Settings.fxh as the plug-in reads it: (near, far, field of view, reversed)
// and (nearest slice, farthest slice, radius, radius as a share of the
// scene's median distance), and whether the plug-in's own slices are asked for.
float4 HostProjection = float4(HOST_NEAR_PLANE, HOST_FAR_PLANE, HOST_FIELD_OF_VIEW_Y, HOST_DEPTH_REVERSED);
float4 HostScene = float4(SLICE_NEAREST, SLICE_FARTHEST, AO_RADIUS, AO_RADIUS_SHARE);
float PluginSliceDepths = PLUGIN_SLICE_DEPTHS;

// (U0, U1, reversed, unused): slice position q lies at u = U0 + U1 q.
float4 DepthSlices = float4(0.0, 0.000005, 0.0, 0.0);
// (W0, W1, R, 1 / radius): 1 / distance = W0 + W1 v for image value v, in
// the units the radius is in; R turns 1 / distance into the radius's share of
// the screen height (radius / (2 tan(fov / 2))).
float4 DepthDecode = float4(0.004166667, 0.1770833, 1.991858, 0.4347826);

#define DecodeW0 (DepthDecode.x)
#define DecodeW1 (DepthDecode.y)
#define ScreenRadius (DepthDecode.z)
#define InverseRadius (DepthDecode.w)
#define SliceW1 (DecodeW1 * SliceUnit)
#define OcclusionStrength clamp((AO_STRENGTH), 0.0, 4.0)
