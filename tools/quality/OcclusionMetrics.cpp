#include "OcclusionMetrics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

const float kOpen = 0.97f;
const float kCrease = 0.8f;

// Smallest value within `reach` pixels along rows (horizontal) or columns.
std::vector<float> MinAlong(const ScenePixels& pixels, const std::vector<float>& values, int reach, bool horizontal) {
    std::vector<float> lr_Out(values.size());
    const int lr_Length = horizontal ? pixels.Width : pixels.Height;
    for (int y = 0; y < pixels.Height; ++y)
        for (int x = 0; x < pixels.Width; ++x) {
            const int lr_At = horizontal ? x : y;
            float lr_Min = std::numeric_limits<float>::infinity();
            for (int d = std::max(0, lr_At - reach); d <= std::min(lr_Length - 1, lr_At + reach); ++d)
                lr_Min = std::min(lr_Min, values[horizontal ? pixels.Index(d, y) : pixels.Index(x, d)]);
            lr_Out[pixels.Index(x, y)] = lr_Min;
        }
    return lr_Out;
}

// Smallest view depth within `reach` pixels (square window); sky is infinitely far.
std::vector<float> NearestAround(const ScenePixels& pixels, int reach) {
    std::vector<float> lr_Depth(pixels.ViewDepth.size());
    for (size_t i = 0; i < lr_Depth.size(); ++i)
        lr_Depth[i] = pixels.IsScene(i) ? pixels.ViewDepth[i] : std::numeric_limits<float>::infinity();
    return MinAlong(pixels, MinAlong(pixels, lr_Depth, reach, true), reach, false);
}

// Side of the nearest slice step within `reach` pixels on the same shape:
// 0 none, 1 the pixel is on the step's nearer side, 2 on its farther side.
int SliceStepSide(const ScenePixels& pixels, const std::vector<float>& slices, int x, int y, int reach) {
    const size_t i = pixels.Index(x, y);
    const int lr_Offsets[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    int lr_Best = reach + 1, lr_Side = 0;
    for (const auto& lr_Offset : lr_Offsets)
        for (int d = 1; d < lr_Best; ++d) {
            const int nx = x + lr_Offset[0] * d, ny = y + lr_Offset[1] * d;
            if (nx < 0 || ny < 0 || nx >= pixels.Width || ny >= pixels.Height) break;
            const size_t n = pixels.Index(nx, ny);
            if (pixels.Shape[n] != pixels.Shape[i]) break;  // an object edge, not a step on the plane
            if (std::fabs(slices[n] - slices[i]) > 0.02f) {
                lr_Best = d;
                lr_Side = slices[n] > slices[i] ? 1 : 2;
                break;
            }
        }
    return lr_Side;
}

}  // namespace

OcclusionFigures MeasureOcclusion(const ScenePixels& pixels, const std::vector<float>& term,
                                  const std::vector<float>& sliceImage, const MetricSettings& settings) {
    OcclusionFigures lr_Figures;
    const size_t n = pixels.Shape.size();
    if (term.size() != n || sliceImage.size() != n) return lr_Figures;

    double sa = 0, sr = 0, saa = 0, srr = 0, sar = 0;
    double lr_Crease = 0, lr_Open = 0, lr_Halo = 0;
    double lr_Side[3] = {0, 0, 0};
    size_t lr_SideCount[3] = {0, 0, 0};
    const int lr_Reach = std::max(settings.BoundaryReach, pixels.Height / settings.BoundaryReachDivisor);
    const std::vector<float> lr_Nearest = NearestAround(pixels, settings.HaloBand);
    for (int y = 0; y < pixels.Height; ++y)
        for (int x = 0; x < pixels.Width; ++x) {
            const size_t i = pixels.Index(x, y);
            const double lr_Dark = 1.0 - term[i];
            const bool lr_Scene = pixels.IsScene(i);
            const double lr_Depth = lr_Scene ? pixels.ViewDepth[i] : std::numeric_limits<double>::infinity();
            const bool lr_IsOpen = !lr_Scene || pixels.Reference[i] > kOpen;
            if (lr_IsOpen && lr_Nearest[i] < settings.SilhouetteRatio * lr_Depth) {
                lr_Halo += lr_Dark;
                ++lr_Figures.HaloPixels;
            }
            if (!lr_Scene) continue;
            const double a = term[i], r = pixels.Reference[i];
            sa += a;
            sr += r;
            saa += a * a;
            srr += r * r;
            sar += a * r;
            ++lr_Figures.ScenePixels;
            if (r < kCrease) {
                lr_Crease += lr_Dark;
                ++lr_Figures.CreasePixels;
            }
            if (pixels.Planar[i]) {
                // Darkening the reference does not explain, by where the pixel lies on its step.
                const int lr_StepSide = SliceStepSide(pixels, sliceImage, x, y, lr_Reach);
                lr_Side[lr_StepSide] += r - a;
                ++lr_SideCount[lr_StepSide];
            }
            if (!lr_IsOpen) continue;
            lr_Open += lr_Dark;
            ++lr_Figures.OpenPixels;
        }
    const double lr_N = static_cast<double>(lr_Figures.ScenePixels);
    if (lr_N < 2) return lr_Figures;
    const double lr_VarA = saa - sa * sa / lr_N, lr_VarR = srr - sr * sr / lr_N, lr_Cov = sar - sa * sr / lr_N;
    lr_Figures.Correlation = lr_VarA > 0 && lr_VarR > 0 ? lr_Cov / std::sqrt(lr_VarA * lr_VarR) : 0.0;
    // reference ~ slope * term + offset
    const double lr_Slope = lr_VarA > 0 ? lr_Cov / lr_VarA : 0.0;
    const double lr_Offset = (sr - lr_Slope * sa) / lr_N;
    double lr_Error = 0;
    for (size_t i = 0; i < n; ++i)
        if (pixels.IsScene(i)) lr_Error += std::fabs(pixels.Reference[i] - (lr_Slope * term[i] + lr_Offset));
    lr_Figures.FitError = lr_Error / lr_N;
    auto Mean = [](double sum, size_t count) { return count ? sum / static_cast<double>(count) : 0.0; };
    lr_Figures.CreaseDarkening = Mean(lr_Crease, lr_Figures.CreasePixels);
    lr_Figures.FalseOcclusion = Mean(lr_Open, lr_Figures.OpenPixels);
    lr_Figures.Halo = Mean(lr_Halo, lr_Figures.HaloPixels);
    // Darkening that follows the steps shows on one side of them or on both.
    lr_Figures.BoundaryPixels = lr_SideCount[1] + lr_SideCount[2];
    const double lr_Away = Mean(lr_Side[0], lr_SideCount[0]);
    lr_Figures.Banding =
        std::max({Mean(lr_Side[1], lr_SideCount[1]) - lr_Away, Mean(lr_Side[2], lr_SideCount[2]) - lr_Away,
                  Mean(lr_Side[1] + lr_Side[2], lr_Figures.BoundaryPixels) - lr_Away});
    return lr_Figures;
}

std::string DescribeFigures(const OcclusionFigures& figures) {
    char lr_Text[256];
    std::snprintf(lr_Text, sizeof(lr_Text),
                  "correlation %.3f, fit error %.3f, crease darkening %.3f, false occlusion %.3f, halo %.3f, "
                  "banding %.3f",
                  figures.Correlation, figures.FitError, figures.CreaseDarkening, figures.FalseOcclusion, figures.Halo,
                  figures.Banding);
    return lr_Text;
}
