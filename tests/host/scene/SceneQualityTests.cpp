// The occlusion of scenes of other characters and scales than the demo's
// room (TestScenes): each view drawn with the settings a user would type
// for it (EffectSettings::ForScene), then with the shipped settings and only
// the radius typed, and measured against the reference traced at the
// scene's own radius. Pictures of each row go to the build
// tree.
#include "PluginRunFixture.h"
#include "TestScenes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

// What each row must reach today, typed and with the shipped settings: the
// horizon kernel's figures with a margin (correlation and composite 0.03
// below, crease darkening 0.03 below, the others about 0.01 above), rounded
// outwards. Each row prints the figures of kTarget it still misses; the
// assertion switches to kTarget by replacing `lr_Row.Limit` in the test.
struct SceneRow {
    const char* Name;
    const char* Scene;
    int View;
    Limits Limit;  // correlation, fit error, crease, false occlusion, halo, banding, composite
};
const SceneRow kRows[] = {
    {"outdoor_first_view", "outdoor", 0, {0.82, 0.04, 0.10, 0.02, 0.02, 0.04, 0.81}},
    {"outdoor_second_view", "outdoor", 1, {0.85, 0.04, 0.08, 0.02, 0.02, 0.035, 0.84}},
    {"table_first_view", "table", 0, {0.83, 0.03, 0.07, 0.02, 0.02, 0.02, 0.83}},
    {"table_second_view", "table", 1, {0.85, 0.03, 0.09, 0.02, 0.02, 0.02, 0.85}},
    {"street_first_view", "street", 0, {0.73, 0.06, 0.08, 0.02, 0.02, 0.04, 0.73}},
    {"street_second_view", "street", 1, {0.77, 0.065, 0.09, 0.025, 0.02, 0.045, 0.77}},
    {"railing_first_view", "railing", 0, {0.68, 0.06, 0.15, 0.035, 0.02, 0.02, 0.68}},
    {"railing_second_view", "railing", 1, {0.73, 0.06, 0.17, 0.04, 0.20, 0.02, 0.73}},
};
// Where every row should end.
const Limits kTarget{0.85, 0.06, 0.30, 0.02, 0.02, 0.02, 0.88};

// The one row the sanitizer build runs: the fewest pixels to trace far.
const char* const k_SanitizedRow = "table_first_view";

void PrintTo(const SceneRow& row, std::ostream* out) { *out << row.Name; }

const TestScene* SceneNamed(const std::string& name) {
    for (const TestScene& lr_Scene : TestScenes())
        if (lr_Scene.Name == name) return &lr_Scene;
    return nullptr;
}

// "correlation 0.712 < 0.85, ..." for each figure short of `target`; empty when none.
std::string Missed(const Limits& target, const Measured& m) {
    std::ostringstream ls_Text;
    ls_Text.precision(3);
    auto Below = [&ls_Text](const char* what, double value, double least) {
        if (value < least) ls_Text << (ls_Text.tellp() > 0 ? ", " : "") << what << " " << value << " < " << least;
    };
    auto Above = [&ls_Text](const char* what, double value, double most) {
        if (value > most) ls_Text << (ls_Text.tellp() > 0 ? ", " : "") << what << " " << value << " > " << most;
    };
    Below("correlation", m.Figures.Correlation, target.MinCorrelation);
    Below("composite", m.Composite, target.MinCompositeCorrelation);
    Above("fit error", m.Figures.FitError, target.MaxFitError);
    Below("crease darkening", m.Figures.CreaseDarkening, target.MinCreaseDarkening);
    Above("false occlusion", m.Figures.FalseOcclusion, target.MaxFalseOcclusion);
    Above("halo", m.Figures.Halo, target.MaxHalo);
    Above("banding", m.Figures.Banding, target.MaxBanding);
    return ls_Text.str();
}

class SceneQualityTest : public PluginRunFixture, public ::testing::WithParamInterface<SceneRow> {};

TEST_P(SceneQualityTest, TheOcclusionFollowsTheReferenceAtTheScenesScale) {
    const SceneRow& lr_Row = GetParam();
    if (k_Sanitized && std::string(lr_Row.Name) != k_SanitizedRow)
        GTEST_SKIP() << "skipped under the sanitizers (run time); the release build checks this row";
    const TestScene* lr_Scene_ = SceneNamed(lr_Row.Scene);
    ASSERT_NE(nullptr, lr_Scene_) << lr_Row.Scene;
    const SceneCamera& lr_Camera = lr_Scene_->Views[lr_Row.View];
    const ScenePixels& lr_Pixels = Reference(lr_Row.Name, lr_Scene_->Scene, lr_Camera, lr_Scene_->Radius);
    const EffectSettings lr_Settings = EffectSettings::ForScene(lr_Camera, lr_Pixels, lr_Scene_->Radius);
    std::printf("%s: typed near %g, far %g, slices %.3g to %.3g, radius %g\n", lr_Row.Name, lr_Settings.HostNearPlane,
                lr_Settings.HostFarPlane, lr_Settings.SliceNearest, lr_Settings.SliceFarthest, lr_Settings.Radius);
    const PluginRun lr_Run = DrawMesh(lr_Row.Name, lr_Camera, BuildSceneMesh(lr_Scene_->Scene), lr_Settings, false);
    const Measured lr_Measured = MeasureRun(lr_Row.Name, lr_Run, lr_Camera, lr_Pixels, false);
    const std::string ls_Missed = Missed(kTarget, lr_Measured);
    std::printf("%s: target %s\n", lr_Row.Name, ls_Missed.empty() ? "reached" : ("missed: " + ls_Missed).c_str());
    {
        SCOPED_TRACE(lr_Row.Name);
        ExpectWithin(lr_Row.Limit, lr_Measured);
    }
    // The shipped Settings.fxh with only the radius typed: the plug-in reads
    // the projection the host leaves and measures where the scene lies.
    EffectSettings lr_Shipped = EffectSettings::Shipped();
    lr_Shipped.Radius = lr_Scene_->Radius;
    const std::string ls_Name = std::string(lr_Row.Name) + "_shipped";
    const PluginRun lr_Found = DrawMesh(ls_Name, lr_Camera, BuildSceneMesh(lr_Scene_->Scene), lr_Shipped, false);
    EXPECT_EQ(DepthSource::Projection, lr_Found.Layout.Source);
    const Measured lr_FoundFigures = MeasureRun(ls_Name, lr_Found, lr_Camera, lr_Pixels, false);
    SCOPED_TRACE(ls_Name);
    ExpectWithin(lr_Row.Limit, lr_FoundFigures);
}

INSTANTIATE_TEST_SUITE_P(Scenes, SceneQualityTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<SceneRow>& info) { return std::string(info.param.Name); });

// Each view of each scene shows mostly its scene, with creases the
// reference darkens: a view that missed its scene would measure nothing.
TEST(TestScenes, EveryViewShowsItsSceneAndItsCreases) {
    const int k_W = 160, k_H = 90;
    ASSERT_GE(TestScenes().size(), 4u);
    for (const TestScene& lr_Scene : TestScenes()) {
        for (int v = 0; v < 2; ++v) {
            SCOPED_TRACE(lr_Scene.Name + " view " + std::to_string(v));
            const SceneCamera& lr_Camera = lr_Scene.Views[v];
            EXPECT_GT(lr_Camera.Near, 0.0);
            EXPECT_GT(lr_Camera.Far, 100 * lr_Camera.Near);
            ScenePixels lr_Pixels = TraceScenePixels(lr_Scene.Scene, lr_Camera, k_W, k_H);
            ReferenceSettings lr_Reference;
            lr_Reference.Rays = 32;
            lr_Reference.Radius = lr_Scene.Radius;
            TraceReferenceOcclusion(lr_Scene.Scene, lr_Camera, lr_Reference, lr_Pixels);
            size_t lr_Scene_Pixels = 0, lr_Creases = 0;
            for (size_t i = 0; i < lr_Pixels.Shape.size(); ++i) {
                if (!lr_Pixels.IsScene(i)) continue;
                ++lr_Scene_Pixels;
                if (lr_Pixels.Reference[i] < 0.8f) ++lr_Creases;
            }
            EXPECT_GE(lr_Scene_Pixels, lr_Pixels.Shape.size() * 6 / 10);
            EXPECT_GE(lr_Creases, lr_Scene_Pixels / 100);
        }
    }
}

ScenePixels PixelsAt(const std::vector<float>& depths) {
    ScenePixels lr_Pixels;
    lr_Pixels.Width = static_cast<int>(depths.size());
    lr_Pixels.Height = 1;
    for (const float d : depths) {
        lr_Pixels.Shape.push_back(d > 0 ? 0 : -1);
        lr_Pixels.ViewDepth.push_back(d);
    }
    return lr_Pixels;
}

// The slices span the 2nd to the 98th percentile of the scene's depth, sky
// left out, inside the clip range; the rest comes from the camera and the radius.
TEST(SceneSettings, TheSlicesSpanTheScenesDepthInsideTheClipRange) {
    SceneCamera lr_Camera;
    lr_Camera.Near = 0.5;
    lr_Camera.Far = 400;
    lr_Camera.FovYDegrees = 50;
    lr_Camera.ReversedDepth = true;
    std::vector<float> lr_Depths;
    for (int i = 1; i <= 100; ++i) lr_Depths.push_back(static_cast<float>(i));
    lr_Depths.insert(lr_Depths.end(), 50, 0.0f);
    const EffectSettings lr_Settings = EffectSettings::ForScene(lr_Camera, PixelsAt(lr_Depths), 3.5);
    EXPECT_EQ(3.0, lr_Settings.SliceNearest);
    EXPECT_NEAR(99.0 * 1.5, lr_Settings.SliceFarthest, 1e-9);
    EXPECT_EQ(3.5, lr_Settings.Radius);
    EXPECT_EQ(0.5, lr_Settings.HostNearPlane);
    EXPECT_EQ(400.0, lr_Settings.HostFarPlane);
    EXPECT_EQ(50.0, lr_Settings.FieldOfViewY);
    EXPECT_TRUE(lr_Settings.HostDepthReversed);

    // A scene at one depth, nearer than the near plane: clamped apart.
    const EffectSettings lr_Flat = EffectSettings::ForScene(lr_Camera, PixelsAt({0.2f, 0.2f, 0.2f}), 1);
    EXPECT_EQ(0.5, lr_Flat.SliceNearest);
    EXPECT_NEAR(0.55, lr_Flat.SliceFarthest, 1e-12);
    // Beyond the far plane.
    const EffectSettings lr_Far = EffectSettings::ForScene(lr_Camera, PixelsAt({900.0f, 1000.0f}), 1);
    EXPECT_EQ(400.0, lr_Far.SliceFarthest);
    EXPECT_LE(lr_Far.SliceNearest * 1.1, 400.0 + 1e-9);
}

}  // namespace
