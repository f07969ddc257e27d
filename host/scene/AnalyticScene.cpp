#include "AnalyticScene.h"

#include <algorithm>
#include <limits>

void AnalyticScene::AddBox(const std::string& name, Vec3 min, Vec3 max, uint32_t colour, bool checkered) {
    SceneShape lr_Shape;
    lr_Shape.Kind = ShapeKind::Box;
    lr_Shape.Min = min;
    lr_Shape.Max = max;
    lr_Shape.Colour = colour;
    lr_Shape.Checkered = checkered;
    lr_Shape.Name = name;
    mr_Shapes.push_back(lr_Shape);
}

void AnalyticScene::AddSphere(const std::string& name, Vec3 centre, double radius, uint32_t colour) {
    SceneShape lr_Shape;
    lr_Shape.Kind = ShapeKind::Sphere;
    lr_Shape.Centre = centre;
    lr_Shape.Radius = radius;
    lr_Shape.Min = centre - Vec3{radius, radius, radius};
    lr_Shape.Max = centre + Vec3{radius, radius, radius};
    lr_Shape.Colour = colour;
    lr_Shape.Name = name;
    mr_Shapes.push_back(lr_Shape);
}

bool AnalyticScene::HitShape(const SceneShape& shape, const Ray& ray, double minDistance, double maxDistance,
                             double& distance, Vec3* normal) const {
    if (shape.Kind == ShapeKind::Sphere) {
        const Vec3 lr_ToOrigin = ray.Origin - shape.Centre;
        const double lr_B = Dot(lr_ToOrigin, ray.Direction);
        const double lr_C = Dot(lr_ToOrigin, lr_ToOrigin) - shape.Radius * shape.Radius;
        const double lr_Discriminant = lr_B * lr_B - lr_C;
        if (lr_Discriminant < 0) return false;
        const double lr_Root = std::sqrt(lr_Discriminant);
        double lr_T = -lr_B - lr_Root;
        if (lr_T <= minDistance) lr_T = -lr_B + lr_Root;
        if (lr_T <= minDistance || lr_T >= maxDistance) return false;
        distance = lr_T;
        if (normal) *normal = Normalise(ray.Origin + ray.Direction * lr_T - shape.Centre);
        return true;
    }
    // Slabs: the entry face gives the normal; a ray starting inside uses the exit.
    const double lr_Origin[3] = {ray.Origin.X, ray.Origin.Y, ray.Origin.Z};
    const double lr_Direction[3] = {ray.Direction.X, ray.Direction.Y, ray.Direction.Z};
    const double lr_Min[3] = {shape.Min.X, shape.Min.Y, shape.Min.Z};
    const double lr_Max[3] = {shape.Max.X, shape.Max.Y, shape.Max.Z};
    double lr_Near = -std::numeric_limits<double>::infinity(), lr_Far = std::numeric_limits<double>::infinity();
    int lr_NearAxis = 0, lr_FarAxis = 0;
    double lr_NearSign = 0, lr_FarSign = 0;
    for (int a = 0; a < 3; ++a) {
        if (lr_Direction[a] == 0) {
            if (lr_Origin[a] < lr_Min[a] || lr_Origin[a] > lr_Max[a]) return false;
            continue;
        }
        const double lr_Inverse = 1.0 / lr_Direction[a];
        double lr_T0 = (lr_Min[a] - lr_Origin[a]) * lr_Inverse, lr_T1 = (lr_Max[a] - lr_Origin[a]) * lr_Inverse;
        // Entering through the min face means the outward normal points to -axis.
        double lr_Sign0 = -1, lr_Sign1 = 1;
        if (lr_T0 > lr_T1) {
            std::swap(lr_T0, lr_T1);
            std::swap(lr_Sign0, lr_Sign1);
        }
        if (lr_T0 > lr_Near) {
            lr_Near = lr_T0;
            lr_NearAxis = a;
            lr_NearSign = lr_Sign0;
        }
        if (lr_T1 < lr_Far) {
            lr_Far = lr_T1;
            lr_FarAxis = a;
            lr_FarSign = lr_Sign1;
        }
        if (lr_Near > lr_Far) return false;
    }
    double lr_T = lr_Near;
    int lr_Axis = lr_NearAxis;
    double lr_Sign = lr_NearSign;
    if (lr_T <= minDistance) {
        lr_T = lr_Far;
        lr_Axis = lr_FarAxis;
        lr_Sign = lr_FarSign;
    }
    if (lr_T <= minDistance || lr_T >= maxDistance) return false;
    distance = lr_T;
    if (normal) {
        double lr_N[3] = {0, 0, 0};
        lr_N[lr_Axis] = lr_Sign;
        *normal = {lr_N[0], lr_N[1], lr_N[2]};
    }
    return true;
}

SceneHit AnalyticScene::Trace(const Ray& ray, double minDistance, double maxDistance) const {
    SceneHit lr_Hit;
    double lr_Best = maxDistance;
    for (size_t i = 0; i < mr_Shapes.size(); ++i) {
        double lr_T;
        Vec3 lr_Normal;
        if (HitShape(mr_Shapes[i], ray, minDistance, lr_Best, lr_T, &lr_Normal)) {
            lr_Best = lr_T;
            lr_Hit.Distance = lr_T;
            lr_Hit.Normal = lr_Normal;
            lr_Hit.Shape = static_cast<int>(i);
            lr_Hit.Planar = mr_Shapes[i].Kind == ShapeKind::Box;
        }
    }
    if (lr_Hit.Shape >= 0) lr_Hit.Point = ray.Origin + ray.Direction * lr_Hit.Distance;
    return lr_Hit;
}

bool AnalyticScene::Occluded(const Ray& ray, double minDistance, double maxDistance,
                             const std::vector<int>& shapes) const {
    double lr_T;
    for (int i : shapes)
        if (HitShape(mr_Shapes[static_cast<size_t>(i)], ray, minDistance, maxDistance, lr_T, nullptr)) return true;
    return false;
}

void AnalyticScene::ShapesNear(const Vec3& point, double radius, std::vector<int>& shapes) const {
    shapes.clear();
    for (size_t i = 0; i < mr_Shapes.size(); ++i) {
        const SceneShape& lr_Shape = mr_Shapes[i];
        const double lr_Dx = std::max({lr_Shape.Min.X - point.X, 0.0, point.X - lr_Shape.Max.X});
        const double lr_Dy = std::max({lr_Shape.Min.Y - point.Y, 0.0, point.Y - lr_Shape.Max.Y});
        const double lr_Dz = std::max({lr_Shape.Min.Z - point.Z, 0.0, point.Z - lr_Shape.Max.Z});
        if (lr_Dx * lr_Dx + lr_Dy * lr_Dy + lr_Dz * lr_Dz <= radius * radius) shapes.push_back(static_cast<int>(i));
    }
}

AnalyticScene AnalyticScene::MakeDemoRoom() {
    AnalyticScene lr_Scene;
    // Units are metres. The floor's top is y = 0; the room's corner is at x = 6, z = 14.
    lr_Scene.AddBox("floor", {-24, -1, -4}, {24, 0, 60}, 0xC8C4B4, true);
    lr_Scene.AddBox("back wall", {-24, 0, 14}, {6.4, 7, 14.4}, 0xD8D2C8);
    lr_Scene.AddBox("side wall", {6, 0, 3}, {6.4, 7, 14.4}, 0xC8D0D8);
    lr_Scene.AddBox("box", {-2.6, 0, 9}, {-1.1, 1.5, 10.5}, 0xB04030);
    lr_Scene.AddBox("box at the wall", {1.2, 0, 12.6}, {2.8, 1.4, 14}, 0x3C9048);
    lr_Scene.AddBox("step 1", {-8, 0, 10}, {-4.5, 0.45, 14}, 0xB89870);
    lr_Scene.AddBox("step 2", {-8, 0, 11.3}, {-4.5, 0.9, 14}, 0xB89870);
    lr_Scene.AddBox("step 3", {-8, 0, 12.6}, {-4.5, 1.35, 14}, 0xB89870);
    lr_Scene.AddSphere("sphere", {2.4, 0.9, 9.2}, 0.9, 0xD8B030);
    lr_Scene.AddBox("pole", {-0.3, 0, 11.2}, {-0.12, 4.2, 11.38}, 0x505860);
    lr_Scene.AddBox("box at the side wall", {4.4, 0, 7.0}, {6, 1.0, 8.6}, 0x4058B0);
    lr_Scene.AddBox("tower", {-10, 0, 44}, {-6, 26, 48}, 0x8C8098);
    return lr_Scene;
}

AnalyticScene AnalyticScene::Scaled(double factor) const {
    AnalyticScene lr_Scene = *this;
    for (SceneShape& lr_Shape : lr_Scene.mr_Shapes) {
        lr_Shape.Min = lr_Shape.Min * factor;
        lr_Shape.Max = lr_Shape.Max * factor;
        lr_Shape.Centre = lr_Shape.Centre * factor;
        lr_Shape.Radius *= factor;
        lr_Shape.TileSize *= factor;
    }
    return lr_Scene;
}
