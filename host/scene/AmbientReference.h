// Ray-traced ambient occlusion of the analytic scene, seen through the same
// camera and pixel grid as the device's picture: the reference the
// plug-in's screen-space occlusion term is measured against.
#pragma once

#include "AnalyticScene.h"
#include "SceneCamera.h"

#include <cstdint>
#include <vector>

// What each pixel sees, from one primary ray through its sample point.
struct ScenePixels {
    int Width = 0, Height = 0;
    std::vector<int> Shape;        // shape index, -1 for the sky
    std::vector<float> ViewDepth;  // along the view direction; 0 for the sky
    std::vector<uint8_t> Planar;   // 1 on flat faces
    std::vector<float> Reference;  // 1 = open, 0 = fully occluded; 1 for the sky

    size_t Index(int x, int y) const { return static_cast<size_t>(y) * static_cast<size_t>(Width) + x; }
    bool IsScene(size_t i) const { return Shape[i] >= 0; }
};

struct ReferenceSettings {
    int Rays = 256;       // cosine-weighted rays per pixel
    double Radius = 2.3;  // world distance within which a hit occludes
    uint32_t Seed = 20261207;
};

ScenePixels TraceScenePixels(const AnalyticScene& scene, const SceneCamera& camera, int width, int height);

// Fills Reference: 1 minus the fraction of rays from the visible point, over
// the hemisphere of its normal, that hit the scene within the radius.
// Spread over the machine's cores.
void TraceReferenceOcclusion(const AnalyticScene& scene, const SceneCamera& camera, const ReferenceSettings& settings,
                             ScenePixels& pixels);
