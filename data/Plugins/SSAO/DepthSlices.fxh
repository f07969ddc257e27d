// DepthSlices.fxh: the settings as the shaders use them (clamped so that no
// value gives a NaN), and the decoding of the slice image RenderDepth.hlsl
// writes: v = (q + 0.5) units of SliceUnit for slice position q.
//
// Slice positions q run from 0 (farthest) to 9 (nearest), evenly in
// 1 / distance: w = 1 / distance = SliceW0 + q * SliceW1. On a plane 1 / distance
// is linear in screen position, so averages of neighbouring texels (a
// bilinear fetch, a ring of samples) land on the plane, and w is linear in
// the image's value: w = DecodeW0 + DecodeW1 * v.

static const float SliceUnit = 24.0 / 255.0;

// Derived values are macros, not static initialisers: the effect reader
// evaluates those itself, with arithmetic only; the shader compiler folds
// these to constants.
// 1 with a projection set, 0 without (any near plane up to 0).
#define ProjectionKnown saturate((HOST_NEAR_PLANE) * 1e30)
#define HostNear max((HOST_NEAR_PLANE), 1e-7)
#define HostFar max((HOST_FAR_PLANE), HostNear * 1.001)
#define SliceNearest clamp((SLICE_NEAREST), HostNear, HostFar)
#define SliceFarthest clamp((SLICE_FARTHEST), SliceNearest * 1.1, max(HostFar, SliceNearest * 1.1))
// tan(fov / 2) as t = tan(fov / 4) from a Pade approximant, then 2t / (1 - t^2):
// arithmetic the compiler folds, where tan would cost two sincos per use.
#define QuarterFovY (clamp((HOST_FIELD_OF_VIEW_Y), 1.0, 170.0) * 0.004363323)
#define TanQuarterFovY                                                                                        \
    (QuarterFovY * (945.0 - 105.0 * QuarterFovY * QuarterFovY + QuarterFovY * QuarterFovY * QuarterFovY * QuarterFovY) / \
     (945.0 - 420.0 * QuarterFovY * QuarterFovY + 15.0 * QuarterFovY * QuarterFovY * QuarterFovY * QuarterFovY))
#define TanHalfFovY (2.0 * TanQuarterFovY / (1.0 - TanQuarterFovY * TanQuarterFovY))
#define OcclusionRadius max((AO_RADIUS), 0.001)
#define OcclusionStrength clamp((AO_STRENGTH), 0.0, 4.0)
#define BackgroundDepth (1.0 - (HOST_DEPTH_REVERSED))

// Unknown projection: the plug-in's slice i lies at screen depth about
// 1 - 0.000005 i, that is 1 / distance = 0.000005 i / n + 1 / f for near and
// far planes n and f; distances are taken for n = 0.0003 and f = 80, the host
// the plug-in's layout is for. (Leaving out 1 / f reads a room's back wall
// a fifth too far, and every lead and radius there is off.)
#define SliceW0 lerp(1.0 / 80.0, 1.0 / SliceFarthest, ProjectionKnown)
#define SliceW1 lerp(1.0 / 60.0, (1.0 / SliceNearest - 1.0 / SliceFarthest) / 9.0, ProjectionKnown)

// Screen depth of slice position q: z = f / (f - n) * (1 - n w).
#define DepthScale (HostFar / (HostFar - HostNear))
#define SliceZ0 lerp(1.0, DepthScale * (1.0 - HostNear * SliceW0), ProjectionKnown)
#define SliceZ1 lerp(0.000005, DepthScale * HostNear * SliceW1, ProjectionKnown)

#define DecodeW1 (SliceW1 / SliceUnit)
#define DecodeW0 (SliceW0 - 0.5 * SliceW1)
