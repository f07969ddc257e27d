#include "SceneMesh.h"

#include <algorithm>
#include <cmath>

namespace {

D3DCOLOR Lit(uint32_t albedo, const Vec3& normal, const SceneLight& light) {
    const double lr_Light = light.Ambient + light.Diffuse * std::max(0.0, Dot(normal, light.TowardsLight));
    auto Channel = [lr_Light](uint32_t value) {
        return static_cast<DWORD>(std::min(255L, std::lround(value * lr_Light)));
    };
    return D3DCOLOR_XRGB(Channel((albedo >> 16) & 0xFF), Channel((albedo >> 8) & 0xFF), Channel(albedo & 0xFF));
}

uint32_t Darker(uint32_t colour) {
    return (((colour >> 16) & 0xFF) * 3 / 4) << 16 | (((colour >> 8) & 0xFF) * 3 / 4) << 8 | (colour & 0xFF) * 3 / 4;
}

void AddQuad(std::vector<SceneVertex>& out, const Vec3 corners[4], D3DCOLOR colour) {
    const int lr_Order[6] = {0, 1, 2, 0, 2, 3};
    for (int i : lr_Order)
        out.push_back({static_cast<float>(corners[i].X), static_cast<float>(corners[i].Y),
                       static_cast<float>(corners[i].Z), colour});
}

void AddBox(std::vector<SceneVertex>& out, const SceneShape& box, const SceneLight& light) {
    const Vec3 a = box.Min, b = box.Max;
    struct Face {
        Vec3 Normal;
        Vec3 Corners[4];
    };
    const Face lr_Faces[6] = {
        {{0, 0, -1}, {{a.X, a.Y, a.Z}, {a.X, b.Y, a.Z}, {b.X, b.Y, a.Z}, {b.X, a.Y, a.Z}}},
        {{0, 0, 1}, {{b.X, a.Y, b.Z}, {b.X, b.Y, b.Z}, {a.X, b.Y, b.Z}, {a.X, a.Y, b.Z}}},
        {{-1, 0, 0}, {{a.X, a.Y, b.Z}, {a.X, b.Y, b.Z}, {a.X, b.Y, a.Z}, {a.X, a.Y, a.Z}}},
        {{1, 0, 0}, {{b.X, a.Y, a.Z}, {b.X, b.Y, a.Z}, {b.X, b.Y, b.Z}, {b.X, a.Y, b.Z}}},
        {{0, -1, 0}, {{a.X, a.Y, b.Z}, {a.X, a.Y, a.Z}, {b.X, a.Y, a.Z}, {b.X, a.Y, b.Z}}},
        {{0, 1, 0}, {{a.X, b.Y, a.Z}, {a.X, b.Y, b.Z}, {b.X, b.Y, b.Z}, {b.X, b.Y, a.Z}}},
    };
    for (int f = 0; f < 6; ++f) {
        const Face& lr_Face = lr_Faces[f];
        if (!(box.Checkered && f == 5)) {
            AddQuad(out, lr_Face.Corners, Lit(box.Colour, lr_Face.Normal, light));
            continue;
        }
        // The top in tiles of two shades.
        const D3DCOLOR lr_Light = Lit(box.Colour, lr_Face.Normal, light);
        const D3DCOLOR lr_Dark = Lit(Darker(box.Colour), lr_Face.Normal, light);
        const double s = box.TileSize;
        for (double x = std::floor(a.X / s) * s; x < b.X; x += s)
            for (double z = std::floor(a.Z / s) * s; z < b.Z; z += s) {
                const double x0 = std::max(x, a.X), x1 = std::min(x + s, b.X);
                const double z0 = std::max(z, a.Z), z1 = std::min(z + s, b.Z);
                const Vec3 lr_Tile[4] = {{x0, b.Y, z0}, {x0, b.Y, z1}, {x1, b.Y, z1}, {x1, b.Y, z0}};
                const bool lr_IsDark =
                    (static_cast<long>(std::floor(x / s + 0.5)) + static_cast<long>(std::floor(z / s + 0.5))) & 1;
                AddQuad(out, lr_Tile, lr_IsDark ? lr_Dark : lr_Light);
            }
    }
}

void AddSphere(std::vector<SceneVertex>& out, const SceneShape& sphere, const SceneLight& light) {
    const int lr_Rings = 32, lr_Segments = 64;
    const double lr_Pi = 3.14159265358979323846;
    auto Point = [&](int ring, int segment, Vec3& normal) {
        const double lr_Theta = lr_Pi * ring / lr_Rings, lr_Phi = 2 * lr_Pi * segment / lr_Segments;
        normal = {std::sin(lr_Theta) * std::cos(lr_Phi), std::cos(lr_Theta), std::sin(lr_Theta) * std::sin(lr_Phi)};
        return sphere.Centre + normal * sphere.Radius;
    };
    for (int r = 0; r < lr_Rings; ++r)
        for (int s = 0; s < lr_Segments; ++s) {
            Vec3 lr_Normals[4];
            const Vec3 lr_Corners[4] = {Point(r, s, lr_Normals[0]), Point(r, s + 1, lr_Normals[1]),
                                        Point(r + 1, s + 1, lr_Normals[2]), Point(r + 1, s, lr_Normals[3])};
            const int lr_Order[6] = {0, 1, 2, 0, 2, 3};
            for (int i : lr_Order)
                out.push_back({static_cast<float>(lr_Corners[i].X), static_cast<float>(lr_Corners[i].Y),
                               static_cast<float>(lr_Corners[i].Z), Lit(sphere.Colour, lr_Normals[i], light)});
        }
}

}  // namespace

std::vector<SceneVertex> BuildSceneMesh(const AnalyticScene& scene, const SceneLight& light) {
    std::vector<SceneVertex> lr_Vertices;
    for (const SceneShape& lr_Shape : scene.Shapes()) {
        if (lr_Shape.Kind == ShapeKind::Box)
            AddBox(lr_Vertices, lr_Shape, light);
        else
            AddSphere(lr_Vertices, lr_Shape, light);
    }
    return lr_Vertices;
}
