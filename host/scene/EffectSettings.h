// The values a host writes into the effects' Settings.fxh, a data folder
// written with them, and the staircase the slices make of a true depth.
#pragma once

#include "AmbientReference.h"
#include "SceneCamera.h"

#include <string>
#include <vector>

struct EffectSettings {
    double HostNearPlane = 0;  // 0: the projection is not known
    double HostFarPlane = 1000;
    bool HostDepthReversed = false;
    double FieldOfViewY = 60;
    double SliceNearest = 6, SliceFarthest = 30;
    double Radius = 2.3, Strength = 1;
    bool PluginSlices = false;  // the plug-in's own fixed slices (PLUGIN_SLICE_DEPTHS 1)

    // What the effects ship with.
    static EffectSettings Shipped() { return EffectSettings(); }
    // Matching a camera's projection, the slices over the demo's room in a
    // scene `scale` times its size (and the radius with them).
    static EffectSettings ForCamera(const SceneCamera& camera, double scale = 1.0);
    // For any scene, by the rule a user would follow: the camera's
    // projection, the slices from the 2nd percentile of the view depth the
    // scene's pixels show to 1.5 times the 98th, and the scene's occlusion radius.
    static EffectSettings ForScene(const SceneCamera& camera, const ScenePixels& pixels, double radius);
};

// What Settings.fxh needs from a D3DXMatrixPerspectiveFovLH projection:
// m22 = 1 / tan(fov / 2), m33 = f / (f - n), m43 = -n f / (f - n), so
// n = -m43 / m33 and f = m43 / (1 - m33). A reversed-depth host builds its
// matrix with the planes swapped; the same formulas then give n > f.
struct ProjectionPlanes {
    double Near = 0, Far = 0, FieldOfViewY = 0;  // view units, degrees
    bool Reversed = false;
};
// False when the matrix is not such a projection (m34 not 1, or m33 0 or 1).
bool ReadProjection(const D3DMATRIX& projection, ProjectionPlanes& planes);

// Settings.fxh's text: `shipped` (the file as shipped) with each setting's
// #define line given the value in `settings`. Empty when a setting is missing.
std::string SettingsText(const std::string& shipped, const EffectSettings& settings);

// Copies the files of `sourceFolder` (the shipped Plugins/SSAO) into
// `folder` (created) and rewrites its Settings.fxh. False, with `error`, on
// failure.
bool WriteEffectFolder(const std::string& sourceFolder, const std::string& folder, const EffectSettings& settings,
                       std::string& error);

// The slice value (1 - i / 10, as the slice image holds it) each pixel would
// show without dithering, from its true view depth: the staircase the slices
// make of the scene, sky at 1. The plug-in's slices lie at slice position q
// at u = u0 + u1 q, where u is 1 - screen depth (the screen depth reversed).
std::vector<float> TrueSliceStaircase(const ScenePixels& pixels, const SceneCamera& camera, double u0, double u1);
