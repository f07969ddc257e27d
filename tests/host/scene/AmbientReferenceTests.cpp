// The ray-traced reference and the figures built on it, on scenes whose
// answers are known.
#include "AmbientReference.h"
#include "OcclusionMetrics.h"

#include <gtest/gtest.h>

namespace {

// A camera 2 m above a floor, looking down at a wall that stands on it.
struct FloorAndWall {
    AnalyticScene Scene;
    SceneCamera Camera;
    FloorAndWall() {
        Scene.AddBox("floor", {-50, -1, -50}, {50, 0, 50}, 0xFFFFFF);
        Scene.AddBox("wall", {-50, 0, 10}, {50, 20, 11}, 0xFFFFFF);
        Camera.Position = {0, 2, 0};
        Camera.PitchDegrees = -10;
    }
};

TEST(AmbientReferenceTest, OpenFloorIsUnoccludedAndTheCreaseIsHalfOccluded) {
    FloorAndWall lr_Setup;
    ScenePixels lr_Pixels = TraceScenePixels(lr_Setup.Scene, lr_Setup.Camera, 96, 64);
    ReferenceSettings lr_Settings;
    lr_Settings.Radius = 1.0;
    TraceReferenceOcclusion(lr_Setup.Scene, lr_Setup.Camera, lr_Settings, lr_Pixels);
    // Bottom row: floor about 6 m out, far from the wall.
    const size_t lr_Floor = lr_Pixels.Index(48, 63);
    ASSERT_EQ(lr_Pixels.Shape[lr_Floor], 0);
    EXPECT_FLOAT_EQ(lr_Pixels.Reference[lr_Floor], 1.0f);
    // Down the middle column, the last wall pixel above the floor is within a
    // few centimetres of the crease: half the cosine-weighted hemisphere
    // faces the floor (or the wall), fully inside the radius.
    int lr_Row = 0;
    while (lr_Row < 63 && lr_Pixels.Shape[lr_Pixels.Index(48, lr_Row + 1)] != 0) ++lr_Row;
    ASSERT_LT(lr_Row, 63);
    EXPECT_EQ(lr_Pixels.Shape[lr_Pixels.Index(48, lr_Row)], 1);
    EXPECT_NEAR(lr_Pixels.Reference[lr_Pixels.Index(48, lr_Row)], 0.5f, 0.08f);
    // Farther up the wall than the radius: open again.
    EXPECT_FLOAT_EQ(lr_Pixels.Reference[lr_Pixels.Index(48, 2)], 1.0f);
}

TEST(OcclusionMetricsTest, FiguresSeparateAFaithfulTermFromHalosAndFalseDarkening) {
    FloorAndWall lr_Setup;
    lr_Setup.Scene.AddBox("post", {-0.3, 0, 4}, {0.3, 3, 4.6}, 0xFFFFFF);  // near, against the wall
    ScenePixels lr_Pixels = TraceScenePixels(lr_Setup.Scene, lr_Setup.Camera, 96, 64);
    ReferenceSettings lr_Settings;
    lr_Settings.Rays = 64;
    lr_Settings.Radius = 1.0;
    TraceReferenceOcclusion(lr_Setup.Scene, lr_Setup.Camera, lr_Settings, lr_Pixels);
    const std::vector<float> lr_Flat(lr_Pixels.Shape.size(), 0.5f);

    const OcclusionFigures lr_Faithful = MeasureOcclusion(lr_Pixels, lr_Pixels.Reference, lr_Flat);
    EXPECT_NEAR(lr_Faithful.Correlation, 1.0, 1e-9);
    EXPECT_NEAR(lr_Faithful.FitError, 0.0, 1e-6);
    EXPECT_LT(lr_Faithful.FalseOcclusion, 0.01);
    EXPECT_LT(lr_Faithful.Halo, 0.01);
    EXPECT_GT(lr_Faithful.CreaseDarkening, 0.2);
    EXPECT_GT(lr_Faithful.HaloPixels, 0u);  // the wall around the post

    // Darken a ring around the post's silhouette on the wall: a halo, and
    // false occlusion, without touching the correlation's sign.
    std::vector<float> lr_Haloed = lr_Pixels.Reference;
    for (int y = 0; y < lr_Pixels.Height; ++y)
        for (int x = 0; x < lr_Pixels.Width; ++x) {
            const size_t i = lr_Pixels.Index(x, y);
            if (lr_Pixels.Shape[i] != 1) continue;
            for (int d = 1; d <= 3; ++d)
                if ((x >= d && lr_Pixels.Shape[lr_Pixels.Index(x - d, y)] == 2) ||
                    (x + d < lr_Pixels.Width && lr_Pixels.Shape[lr_Pixels.Index(x + d, y)] == 2))
                    lr_Haloed[i] = 0.3f;
        }
    const OcclusionFigures lr_Halo = MeasureOcclusion(lr_Pixels, lr_Haloed, lr_Flat);
    EXPECT_GT(lr_Halo.Halo, lr_Faithful.Halo + 0.05);
    EXPECT_GT(lr_Halo.FalseOcclusion, lr_Faithful.FalseOcclusion + 0.01);
    EXPECT_LT(lr_Halo.Correlation, lr_Faithful.Correlation);
}

TEST(OcclusionMetricsTest, BandingFollowsDarkeningThatSticksToSliceSteps) {
    FloorAndWall lr_Setup;
    ScenePixels lr_Pixels = TraceScenePixels(lr_Setup.Scene, lr_Setup.Camera, 96, 64);
    // Slice steps on the floor every 8 rows; the wall one value.
    std::vector<float> lr_Slices(lr_Pixels.Shape.size());
    for (int y = 0; y < lr_Pixels.Height; ++y)
        for (int x = 0; x < lr_Pixels.Width; ++x)
            lr_Slices[lr_Pixels.Index(x, y)] = lr_Pixels.Shape[lr_Pixels.Index(x, y)] == 0 ? 0.1f * (y / 8) : 0.9f;
    std::vector<float> lr_Term(lr_Pixels.Shape.size(), 1.0f);
    const OcclusionFigures lr_Clean = MeasureOcclusion(lr_Pixels, lr_Term, lr_Slices);
    // Dark rows just above every step.
    for (int y = 0; y < lr_Pixels.Height; ++y)
        for (int x = 0; x < lr_Pixels.Width; ++x)
            if (y % 8 == 7) lr_Term[lr_Pixels.Index(x, y)] = 0.5f;
    const OcclusionFigures lr_Banded = MeasureOcclusion(lr_Pixels, lr_Term, lr_Slices);
    EXPECT_NEAR(lr_Clean.Banding, 0.0, 1e-9);
    EXPECT_GT(lr_Banded.Banding, 0.1);
}

}  // namespace
