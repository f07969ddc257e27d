#include "AmbientReference.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace {

const double kPi = 3.14159265358979323846;

double RadicalInverse(uint32_t bits) {
    bits = (bits << 16u) | (bits >> 16u);
    bits = ((bits & 0x55555555u) << 1u) | ((bits & 0xAAAAAAAAu) >> 1u);
    bits = ((bits & 0x33333333u) << 2u) | ((bits & 0xCCCCCCCCu) >> 2u);
    bits = ((bits & 0x0F0F0F0Fu) << 4u) | ((bits & 0xF0F0F0F0u) >> 4u);
    bits = ((bits & 0x00FF00FFu) << 8u) | ((bits & 0xFF00FF00u) >> 8u);
    return bits * (1.0 / 4294967296.0);
}

uint32_t Hash(uint32_t value) {
    value ^= value >> 16;
    value *= 0x7feb352du;
    value ^= value >> 15;
    value *= 0x846ca68bu;
    value ^= value >> 16;
    return value;
}

// Unit vectors spanning the plane normal to n.
void TangentFrame(const Vec3& n, Vec3& t, Vec3& b) {
    const Vec3 lr_Helper = std::fabs(n.Y) < 0.9 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    t = Normalise(Cross(lr_Helper, n));
    b = Cross(n, t);
}

template <typename RowFunction>
void ForEachRow(int height, RowFunction function) {
    std::atomic<int> lr_Next{0};
    const unsigned lr_Threads = std::max(1u, std::thread::hardware_concurrency());
    auto lr_Work = [&]() {
        for (int y = lr_Next++; y < height; y = lr_Next++) function(y);
    };
    std::vector<std::thread> lr_Pool;
    for (unsigned i = 1; i < lr_Threads; ++i) lr_Pool.emplace_back(lr_Work);
    lr_Work();
    for (std::thread& lr_Thread : lr_Pool) lr_Thread.join();
}

}  // namespace

ScenePixels TraceScenePixels(const AnalyticScene& scene, const SceneCamera& camera, int width, int height) {
    ScenePixels lr_Pixels;
    lr_Pixels.Width = width;
    lr_Pixels.Height = height;
    const size_t lr_Count = static_cast<size_t>(width) * static_cast<size_t>(height);
    lr_Pixels.Shape.assign(lr_Count, -1);
    lr_Pixels.ViewDepth.assign(lr_Count, 0.0f);
    lr_Pixels.Planar.assign(lr_Count, 0);
    lr_Pixels.Reference.assign(lr_Count, 1.0f);
    ForEachRow(height, [&](int y) {
        for (int x = 0; x < width; ++x) {
            const Ray lr_Ray = camera.PixelRay(x, y, width, height);
            const SceneHit lr_Hit = scene.Trace(lr_Ray, 0.0, 1e9);
            // What the device clips away beyond the far plane is sky too.
            if (lr_Hit.Shape < 0 || camera.ViewDepth(lr_Hit.Point) > camera.Far) continue;
            const size_t i = lr_Pixels.Index(x, y);
            lr_Pixels.Shape[i] = lr_Hit.Shape;
            lr_Pixels.ViewDepth[i] = static_cast<float>(camera.ViewDepth(lr_Hit.Point));
            lr_Pixels.Planar[i] = lr_Hit.Planar ? 1 : 0;
        }
    });
    return lr_Pixels;
}

void TraceReferenceOcclusion(const AnalyticScene& scene, const SceneCamera& camera, const ReferenceSettings& settings,
                             ScenePixels& pixels) {
    const int lr_Rays = std::max(1, settings.Rays);
    // A Hammersley set over the unit square, turned per pixel by a hashed angle.
    std::vector<double> lr_U(static_cast<size_t>(lr_Rays)), lr_V(static_cast<size_t>(lr_Rays));
    for (int i = 0; i < lr_Rays; ++i) {
        lr_U[static_cast<size_t>(i)] = (i + 0.5) / lr_Rays;
        lr_V[static_cast<size_t>(i)] = RadicalInverse(static_cast<uint32_t>(i));
    }
    ForEachRow(pixels.Height, [&](int y) {
        std::vector<int> lr_Near;
        for (int x = 0; x < pixels.Width; ++x) {
            const size_t i = pixels.Index(x, y);
            if (!pixels.IsScene(i)) continue;
            const SceneHit lr_Hit = scene.Trace(camera.PixelRay(x, y, pixels.Width, pixels.Height), 0.0, 1e9);
            if (lr_Hit.Shape < 0) continue;
            scene.ShapesNear(lr_Hit.Point, settings.Radius, lr_Near);
            Vec3 t, b;
            TangentFrame(lr_Hit.Normal, t, b);
            const Vec3 lr_Origin = lr_Hit.Point + lr_Hit.Normal * 1e-6;
            const double lr_Turn = Hash(settings.Seed ^ Hash(static_cast<uint32_t>(i))) * (1.0 / 4294967296.0);
            int lr_Hits = 0;
            for (int r = 0; r < lr_Rays; ++r) {
                const double lr_Radius = std::sqrt(lr_U[static_cast<size_t>(r)]);
                const double lr_Angle = 2.0 * kPi * (lr_V[static_cast<size_t>(r)] + lr_Turn);
                const Vec3 lr_Direction = t * (lr_Radius * std::cos(lr_Angle)) + b * (lr_Radius * std::sin(lr_Angle)) +
                                          lr_Hit.Normal * std::sqrt(std::max(0.0, 1.0 - lr_U[static_cast<size_t>(r)]));
                if (scene.Occluded({lr_Origin, lr_Direction}, 1e-6, settings.Radius, lr_Near)) ++lr_Hits;
            }
            pixels.Reference[i] = 1.0f - static_cast<float>(lr_Hits) / static_cast<float>(lr_Rays);
        }
    });
}
