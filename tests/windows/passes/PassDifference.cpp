#include "PassDifference.h"

#include <cmath>

namespace {

// Half floats near 1 step by 1/1024: a tolerance below any real step of 1/255.
const float k_Slack = 1e-4f;

}  // namespace

PassDifference PassDifference::Of(const PassImage& a, const PassImage& b) {
    PassDifference lr_Result;
    lr_Result.SameShape = a.Width == b.Width && a.Height == b.Height && a.Format == b.Format;
    if (!lr_Result.SameShape) return lr_Result;
    lr_Result.Pixels = static_cast<size_t>(a.Width) * a.Height;
    const int lr_Channels = a.HasAlpha() ? 4 : 3;
    for (UINT y = 0; y < a.Height; ++y)
        for (UINT x = 0; x < a.Width; ++x) {
            float lr_A[4], lr_B[4];
            a.Channels(x, y, lr_A);
            b.Channels(x, y, lr_B);
            float lr_Pixel = 0.0f;
            for (int c = 0; c < lr_Channels; ++c) {
                const float lr_D = std::fabs(lr_A[c] - lr_B[c]);
                // A NaN on one side only is as far apart as it gets.
                lr_Pixel = std::fmax(
                    lr_Pixel, std::isnan(lr_D) ? (std::isnan(lr_A[c]) != std::isnan(lr_B[c]) ? 1e9f : 0.0f) : lr_D);
            }
            lr_Result.Largest = std::fmax(lr_Result.Largest, lr_Pixel);
            if (lr_Pixel > 1.0f / 255.0f + k_Slack) ++lr_Result.BeyondOneStep;
            if (lr_Pixel > 2.0f / 255.0f + k_Slack) ++lr_Result.BeyondTwoSteps;
        }
    return lr_Result;
}
