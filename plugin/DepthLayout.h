// Where the depth slices lie and how the effects decode the slice image, as
// the two effect parameters "DepthSlices" and "DepthDecode" carry it
// (DepthSlices.fxh). Worked out from, in order of trust: what Settings.fxh
// typed, the projection a host left in the device, the scene's depth as
// measured, or else the plug-in's own fixed slices.
//
// u is 1 - screen depth (the screen depth itself in a reversed buffer): 0 at
// the cleared background, affine in 1 / distance.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

// Settings.fxh as the effects expose it.
struct DepthSettings {
    float NearPlane = 0.0f;  // 0 or less: not typed
    float FarPlane = 1000.0f;
    float FieldOfViewY = 60.0f;  // degrees
    bool Reversed = false;
    float SliceNearest = 6.0f, SliceFarthest = 30.0f;
    float Radius = 2.3f;        // view units
    float RadiusShare = 0.24f;  // of the scene's median distance
    bool PluginSlices = false;  // the plug-in's own fixed slices were asked for

    bool Typed() const { return NearPlane > 0.0f; }
};

// What a perspective projection matrix says of the host's depth.
struct HostProjection {
    double Near = 0.0, Far = 0.0;  // Far may be infinite
    double FieldOfViewY = 0.0;     // radians
    bool Reversed = false;
};

// False unless `m` is a perspective projection (either handedness, depth
// as usual or reversed, far plane finite or not) with sane planes.
bool ReadHostProjection(const D3DMATRIX& m, HostProjection& projection);

// The scene's depth as measured: u of the nearest 2%, the median and the
// farthest 2% of its pixels.
struct SceneDepthRange {
    double NearU = 0.0, MedianU = 0.0, FarU = 0.0;
};

enum class DepthSource { Settings, Projection, Measured, PluginSlices };

struct DepthLayout {
    DepthSource Source = DepthSource::PluginSlices;
    bool Reversed = false;
    D3DXVECTOR4 Slices{0.0f, 0.0f, 0.0f, 0.0f};  // (U0, U1, reversed, 0)
    D3DXVECTOR4 Decode{0.0f, 0.0f, 0.0f, 0.0f};  // (W0, W1, radius / (2 tan(fov / 2)), 1 / radius)
    // The distances of the farthest and nearest slice, in the radius's units
    // (view units, or the median distance when the units are not known).
    double FarthestSlice = 0.0, NearestSlice = 0.0;

    bool operator==(const DepthLayout& other) const;
};

// The effect parameter "DepthSlices": the screen depth of the slice with
// value v = 1 - i / 10 at dither offset t is saturate(A + B v + C t + G [v = 1])
// for (A, B, C, G), so that RenderDepth.hlsl spends one multiply-add a term.
D3DXVECTOR4 SliceDepthLaw(const DepthLayout& layout);

// From Settings.fxh alone: its typed projection, or the plug-in's own slices.
DepthLayout LayoutFromSettings(const DepthSettings& settings);
// From a host projection, with the slices over `range` when it is given.
DepthLayout LayoutFromProjection(const DepthSettings& settings, const HostProjection& projection,
                                 const SceneDepthRange* range);
// From the measured depth alone: distances relative to the median, the far
// plane taken to be at infinity or a little past the scene.
DepthLayout LayoutFromMeasure(const DepthSettings& settings, const SceneDepthRange& range, bool reversed,
                              bool farAtInfinity);
