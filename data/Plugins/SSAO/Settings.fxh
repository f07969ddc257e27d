// Settings.fxh: the one file a host edits. The effects include it; change a
// value, save, and switch the plug-in off and on (or restart) to reload.
//
// The shipped values suit a host whose projection is not known: the slices
// stay at the plug-in's own screen depths, which resolve a scene only when
// the near plane is about 1/20,000 of the scene's distance. Any other host
// gets occlusion by setting its projection here (see the README: "Reading
// near and far from a projection matrix").
//
// Values that cannot work are refused where the preprocessor can tell (it
// compares integers only), and clamped otherwise, never giving a black or NaN
// picture:
// - HOST_DEPTH_REVERSED other than 0 or 1, or a missing setting: #error;
// - HOST_NEAR_PLANE below 0 counts as 0 (unknown);
// - HOST_FAR_PLANE is raised to at least 1.001 times the near plane;
// - SLICE_NEAREST and SLICE_FARTHEST are clamped into near..far, the farthest
//   to at least 1.1 times the nearest;
// - HOST_FIELD_OF_VIEW_Y is clamped to 1..170 degrees;
// - AO_RADIUS to at least 0.001 view units, AO_STRENGTH to 0..4.

// The host's near and far clip planes, in view units. 0: not known.
#define HOST_NEAR_PLANE 0
#define HOST_FAR_PLANE 1000

// 1 for a depth buffer that holds 1 at the near plane and 0 far away
// (cleared to 0, depth test GreaterEqual).
#define HOST_DEPTH_REVERSED 0

// The vertical field of view in degrees; the aspect ratio comes from the
// back buffer.
#define HOST_FIELD_OF_VIEW_Y 60

// The view distances the depth slices cover (ignored while HOST_NEAR_PLANE
// is 0). Closer together gives finer depth; what lies outside reads as the
// nearest or the farthest slice.
#define SLICE_NEAREST 6
#define SLICE_FARTHEST 30

// The reach of the occlusion, in view units, and its strength (1 = as tuned).
#define AO_RADIUS 2.3
#define AO_STRENGTH 1

#if !defined(HOST_NEAR_PLANE) || !defined(HOST_FAR_PLANE) || !defined(HOST_FIELD_OF_VIEW_Y) || \
    !defined(SLICE_NEAREST) || !defined(SLICE_FARTHEST) || !defined(AO_RADIUS) || !defined(AO_STRENGTH)
#error Settings.fxh: a setting is missing
#endif
#if HOST_DEPTH_REVERSED != 0 && HOST_DEPTH_REVERSED != 1
#error Settings.fxh: HOST_DEPTH_REVERSED must be 0 or 1
#endif
