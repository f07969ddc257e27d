// A scene made of shapes that can be both drawn and ray-traced exactly:
// axis-aligned boxes and spheres. The demo host draws it through the device
// as a game would; the reference ambient occlusion traces rays through it.
#pragma once

#include "SceneMath.h"

#include <cstdint>
#include <string>
#include <vector>

enum class ShapeKind { Box, Sphere };

struct SceneShape {
    ShapeKind Kind = ShapeKind::Box;
    Vec3 Min, Max;           // box corners
    Vec3 Centre;             // sphere
    double Radius = 0;       // sphere
    uint32_t Colour = 0;     // 0xRRGGBB albedo
    bool Checkered = false;  // top face drawn in tiles of two shades
    double TileSize = 1.0;
    std::string Name;
};

struct SceneHit {
    double Distance = 0;
    Vec3 Point;
    Vec3 Normal;
    int Shape = -1;       // index into the scene's shapes; -1: nothing (sky)
    bool Planar = false;  // a flat face, not a curved surface
};

class AnalyticScene {
public:
    void AddBox(const std::string& name, Vec3 min, Vec3 max, uint32_t colour, bool checkered = false);
    void AddSphere(const std::string& name, Vec3 centre, double radius, uint32_t colour);

    const std::vector<SceneShape>& Shapes() const { return mr_Shapes; }

    // Nearest hit within (minDistance, maxDistance); Shape -1 when none.
    SceneHit Trace(const Ray& ray, double minDistance, double maxDistance) const;
    // Whether anything lies along the ray within (minDistance, maxDistance),
    // testing only the listed shapes.
    bool Occluded(const Ray& ray, double minDistance, double maxDistance, const std::vector<int>& shapes) const;
    // Shapes whose bounds come within `radius` of the point.
    void ShapesNear(const Vec3& point, double radius, std::vector<int>& shapes) const;

    // The demo's room: floor, two walls meeting in a corner, boxes (one
    // against the wall), steps, a sphere resting on the floor, a thin pole
    // and a distant tower against the sky.
    static AnalyticScene MakeDemoRoom();
    // The same scene `factor` times larger.
    AnalyticScene Scaled(double factor) const;

private:
    bool HitShape(const SceneShape& shape, const Ray& ray, double minDistance, double maxDistance, double& distance,
                  Vec3* normal) const;
    std::vector<SceneShape> mr_Shapes;
};
