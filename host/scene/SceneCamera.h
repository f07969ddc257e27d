// A game-style perspective camera: position, heading and pitch, vertical
// field of view and clip planes. Gives the device's view and projection
// matrices and, for the ray tracer, the ray through each pixel's centre.
#pragma once

#include "SceneMath.h"

#include <d3d9.h>

struct SceneCamera {
    Vec3 Position;
    double YawDegrees = 0;    // heading about y, 0 looks along +z, positive turns right
    double PitchDegrees = 0;  // negative looks down
    double FovYDegrees = 60;
    double Near = 0.0003;
    double Far = 80;
    // A reversed depth buffer: 1 at the near plane, 0 far away (cleared to 0,
    // tested GreaterEqual), from a projection with near and far swapped.
    bool ReversedDepth = false;
    // The far plane at infinity (Far then only bounds what the reference traces).
    bool InfiniteFar = false;
    // A fixed-function host leaves its projection in the device; one that
    // draws with vertex shaders leaves the identity there.
    bool LeavesProjection = true;

    Vec3 Forward() const;
    Vec3 Right() const;
    Vec3 Up() const;

    D3DMATRIX View() const;
    D3DMATRIX Projection(double aspect) const;
    // Ray through the sample point of pixel (x, y): Direct3D 9 samples
    // pixels at integer screen coordinates.
    Ray PixelRay(int x, int y, int width, int height) const;
    // Distance along the view direction (the depth the projection uses).
    double ViewDepth(const Vec3& point) const { return Dot(point - Position, Forward()); }
    // Screen depth the device stores for a view depth.
    double ScreenDepth(double viewDepth) const {
        const double lr_Z = InfiniteFar ? 1.0 - Near / viewDepth : Far / (Far - Near) * (1.0 - Near / viewDepth);
        return ReversedDepth ? 1.0 - lr_Z : lr_Z;
    }
    // Focal length in pixels for an image `height` pixels tall.
    double FocalPixels(int height) const;

    // The demo's view and the second view the quality tests also check.
    static SceneCamera DemoView();
    static SceneCamera SecondView();
    // The same demo view with an ordinary near plane (0.1).
    static SceneCamera OrdinaryNearPlaneView();
    // `camera` with near plane 0.1, and with a reversed depth buffer if asked.
    static SceneCamera WithOrdinaryNearPlane(SceneCamera camera, bool reversedDepth);
    // `camera` in a scene `factor` times larger: position and planes scaled.
    static SceneCamera Scaled(SceneCamera camera, double factor);
};
