// Figures that compare the plug-in's occlusion term with the ray-traced
// reference, over the scene's pixels (the sky is left out except where a
// halo around a silhouette would fall on it).
#pragma once

#include "AmbientReference.h"

#include <string>
#include <vector>

struct OcclusionFigures {
    double Correlation = 0;      // Pearson, occlusion term against reference
    double FitError = 0;         // mean |reference - (a * term + b)| after the best affine fit
    double CreaseDarkening = 0;  // mean darkening (1 - term) where the reference is below 0.8
    double FalseOcclusion = 0;   // mean darkening where the reference is above 0.97
    double Halo = 0;             // mean darkening just outside silhouettes of nearer objects
    double Banding = 0;          // darkening beyond the reference's near slice steps of flat surfaces (either
                                 // side), less that away from them
    size_t ScenePixels = 0, CreasePixels = 0, OpenPixels = 0, HaloPixels = 0, BoundaryPixels = 0;
};

struct MetricSettings {
    int HaloBand = 6;               // pixels outside a silhouette
    double SilhouetteRatio = 0.8;   // nearer object: view depth below this times the pixel's
    int BoundaryReach = 2;          // pixels from a slice step, at least,
    int BoundaryReachDivisor = 45;  // and the image height over this
};

// `term` and `sliceImage` hold one value per pixel, 0..1, as the plug-in left them.
OcclusionFigures MeasureOcclusion(const ScenePixels& pixels, const std::vector<float>& term,
                                  const std::vector<float>& sliceImage,
                                  const MetricSettings& settings = MetricSettings());

// "correlation 0.52, fit error 0.071, ..." on one line.
std::string DescribeFigures(const OcclusionFigures& figures);
