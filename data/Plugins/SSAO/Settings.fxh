// Settings.fxh: the one file a host edits. The effects include it; change a
// value, save, and switch the plug-in off and on (or restart) to reload.
//
// The shipped values leave the host's depth to the plug-in: with
// HOST_NEAR_PLANE 0 it reads the projection a fixed-function host leaves in
// the device, or else measures where the scene lies in the depth buffer
// (and whether it is reversed) over the first frames. A host that knows its
// projection may still type it here; typed values always win (see the
// README: "Reading near and far from a projection matrix").
//
// Values that cannot work are refused where the preprocessor can tell (it
// compares integers only), and clamped otherwise, never giving a black or NaN
// picture:
// - HOST_DEPTH_REVERSED other than 0 or 1, or a missing setting: #error;
// - HOST_NEAR_PLANE below 0 counts as 0 (found out by the plug-in);
// - HOST_FAR_PLANE is raised to at least 1.001 times the near plane;
// - SLICE_NEAREST and SLICE_FARTHEST are clamped into near..far, the farthest
//   to at least 1.1 times the nearest;
// - HOST_FIELD_OF_VIEW_Y is clamped to 1..170 degrees;
// - AO_RADIUS to at least 0.001 view units, AO_RADIUS_SHARE to 0.001..1,
//   AO_STRENGTH to 0..4.

// The host's near and far clip planes, in view units. 0: found out by the
// plug-in (and HOST_FAR_PLANE, HOST_DEPTH_REVERSED, HOST_FIELD_OF_VIEW_Y
// and the SLICE_ values below are then only its first guess).
#define HOST_NEAR_PLANE 0
#define HOST_FAR_PLANE 1000

// 1 for a depth buffer that holds 1 at the near plane and 0 far away
// (cleared to 0, depth test GreaterEqual).
#define HOST_DEPTH_REVERSED 0

// The vertical field of view in degrees; the aspect ratio comes from the
// back buffer.
#define HOST_FIELD_OF_VIEW_Y 60

// The view distances the depth slices cover (while HOST_NEAR_PLANE is 0 the
// plug-in lays them over the scene it measures). Closer together gives finer
// depth; what lies outside reads as the nearest or the farthest slice.
#define SLICE_NEAREST 6
#define SLICE_FARTHEST 30

// The reach of the occlusion, in view units, and its strength (1 = as tuned).
#define AO_RADIUS 2.3
#define AO_STRENGTH 1

// The reach as a share of the scene's median distance, used instead of
// AO_RADIUS when the host's units are not known (no near plane typed here
// and no projection left in the device).
#define AO_RADIUS_SHARE 0.24

// 1: the plug-in's own fixed slice depths (1 - 0.000005 i, read for a near
// plane of 0.0003 and a far plane of 80) instead of any it finds out, for a
// host whose near plane is about 1/20,000 of its scene's distance. Ignored
// when HOST_NEAR_PLANE is set.
#define PLUGIN_SLICE_DEPTHS 0

#if !defined(HOST_NEAR_PLANE) || !defined(HOST_FAR_PLANE) || !defined(HOST_FIELD_OF_VIEW_Y) || \
    !defined(SLICE_NEAREST) || !defined(SLICE_FARTHEST) || !defined(AO_RADIUS) || !defined(AO_STRENGTH) ||     \
    !defined(AO_RADIUS_SHARE) || !defined(PLUGIN_SLICE_DEPTHS)
#error Settings.fxh: a setting is missing
#endif
#if HOST_DEPTH_REVERSED != 0 && HOST_DEPTH_REVERSED != 1
#error Settings.fxh: HOST_DEPTH_REVERSED must be 0 or 1
#endif
#if PLUGIN_SLICE_DEPTHS != 0 && PLUGIN_SLICE_DEPTHS != 1
#error Settings.fxh: PLUGIN_SLICE_DEPTHS must be 0 or 1
#endif
