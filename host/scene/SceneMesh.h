// The analytic scene as lit triangles a fixed-function pipeline draws:
// positions in world space and a colour per vertex, lit by one directional
// light plus ambient on the CPU (the device's lighting is off).
#pragma once

#include "AnalyticScene.h"

#include <d3d9.h>

#include <vector>

struct SceneVertex {
    float X, Y, Z;
    D3DCOLOR Colour;
};
constexpr DWORD kSceneVertexFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct SceneLight {
    Vec3 TowardsLight = Normalise(Vec3{-0.45, 0.8, -0.4});
    double Ambient = 0.38;
    double Diffuse = 0.62;
};

// Triangle list, three vertices per triangle.
std::vector<SceneVertex> BuildSceneMesh(const AnalyticScene& scene, const SceneLight& light = SceneLight());
