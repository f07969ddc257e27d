// What the shipped effects make of a real scene: the plug-in's occlusion
// term against ray-traced ambient occlusion of the same view, on the demo's
// view and on a second one, and once through the blur effect. The limits
// sit just below what the shipped effects reach, so a change that makes the
// picture worse fails here. Pictures of each case go to the build tree.
#include "AmbientReference.h"
#include "Plugin.h"
#include "OcclusionMetrics.h"
#include "OcclusionStudy.h"
#include "PngWriter.h"
#include "SoftTestDevice.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

namespace {

const int kWidth = 640, kHeight = 360;

struct Limits {
    double MinCorrelation, MaxFitError, MinCreaseDarkening, MaxFalseOcclusion, MaxHalo, MaxBanding;
};

struct ViewCase {
    const char* Name;
    SceneCamera (*Camera)();
    int BlurPasses;  // fixed at zero in the plug-in; set here to reach the blur effect
    Limits Limit;
};

void PrintTo(const ViewCase& view, std::ostream* out) { *out << view.Name; }

// The plug-in, switched on over a software device, on the demo's room.
class SceneFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(mr_Artefacts);
        ASSERT_NE(mr_Device.Get(), nullptr);
        mr_Plugin.Initialise(mr_Device.Get());
        mr_Plugin.SetActive(true);
        ASSERT_TRUE(mr_Plugin.IsActive());
    }
    void TearDown() override {
        mr_Plugin.SetActive(false);
        mr_Plugin.Deinitialise();
    }
    PassImages Draw(const SceneCamera& camera) {
        OcclusionStudy lr_Study(mr_Device.Get(), SoftControlOf(mr_Device.Get()), &mr_Plugin);
        PassImages lr_Images;
        std::string ls_Error;
        EXPECT_TRUE(lr_Study.Run(camera, mr_Mesh, lr_Images, ls_Error)) << ls_Error;
        return lr_Images;
    }
    void Save(const std::string& name, const Picture& picture) {
        std::string ls_Error;
        EXPECT_TRUE(WritePng((mr_Artefacts / (name + ".png")).string(), picture, ls_Error)) << ls_Error;
    }

    const std::filesystem::path mr_Artefacts = SSAO_ARTEFACT_DIR;
    const AnalyticScene mr_Scene = AnalyticScene::MakeDemoRoom();
    const std::vector<SceneVertex> mr_Mesh = BuildSceneMesh(mr_Scene);
    ScopedSoftDevice mr_Device{kWidth, kHeight};
    TestHost mr_Host{WidePath(mr_Artefacts) + L"/", WidePath(std::filesystem::path(SSAO_DATA_ROOT)) + L"/"};
    k_Plugin mr_Plugin{mr_Host.AsHost()};
};

class OcclusionQualityTest : public SceneFixture, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(OcclusionQualityTest, TheOcclusionTermFollowsTheRayTracedReference) {
    const ViewCase& lr_Case = GetParam();
    mr_Plugin.SetBlurPasses(lr_Case.BlurPasses);
    const SceneCamera lr_Camera = lr_Case.Camera();
    const PassImages lr_Images = Draw(lr_Camera);
    ASSERT_EQ(lr_Images.Occlusion.size(), static_cast<size_t>(kWidth) * kHeight * 4);

    ScenePixels lr_Pixels;
    const OcclusionFigures lr_Figures =
        CompareWithReference(mr_Scene, lr_Camera, lr_Images, ReferenceSettings(), lr_Pixels);
    std::printf("%s: %s\n", lr_Case.Name, DescribeFigures(lr_Figures).c_str());
    Save(std::string(lr_Case.Name) + "-occlusion", PictureFromBgrx(kWidth, kHeight, lr_Images.Occlusion));
    Save(std::string(lr_Case.Name) + "-slices", PictureFromBgrx(kWidth, kHeight, lr_Images.SliceImage));
    Save(std::string(lr_Case.Name) + "-reference", PictureFromGrey(kWidth, kHeight, lr_Pixels.Reference));

    const Limits& lr_Limit = lr_Case.Limit;
    EXPECT_GE(lr_Figures.Correlation, lr_Limit.MinCorrelation);
    EXPECT_LE(lr_Figures.FitError, lr_Limit.MaxFitError);
    EXPECT_GE(lr_Figures.CreaseDarkening, lr_Limit.MinCreaseDarkening);
    EXPECT_LE(lr_Figures.FalseOcclusion, lr_Limit.MaxFalseOcclusion);
    EXPECT_LE(lr_Figures.Halo, lr_Limit.MaxHalo);
    EXPECT_LE(lr_Figures.Banding, lr_Limit.MaxBanding);
}

INSTANTIATE_TEST_SUITE_P(
    Views, OcclusionQualityTest,
    ::testing::Values(ViewCase{"demo_view", &SceneCamera::DemoView, 0, {0.43, 0.123, 0.25, 0.004, 0.01, 0.075}},
                      ViewCase{"second_view", &SceneCamera::SecondView, 0, {0.39, 0.124, 0.17, 0.008, 0.01, 0.092}},
                      // The depth-aware blur takes grain off without spreading darkness over silhouettes.
                      ViewCase{
                          "demo_view_blurred", &SceneCamera::DemoView, 2, {0.52, 0.112, 0.25, 0.004, 0.01, 0.075}}),
    [](const ::testing::TestParamInfo<ViewCase>& info) { return std::string(info.param.Name); });

// The slices resolve only distances beyond about 22,000 near planes: a host
// whose near plane is 0.1 has its whole scene in front of every slice.
TEST_F(SceneFixture, AnOrdinaryNearPlaneLeavesAFlatDepthImageAndNoOcclusion) {
    const PassImages lr_Images = Draw(SceneCamera::OrdinaryNearPlaneView());
    std::set<BYTE> lr_Levels;
    for (size_t i = 2; i < lr_Images.SliceImage.size(); i += 4) lr_Levels.insert(lr_Images.SliceImage[i]);
    EXPECT_LE(lr_Levels.size(), 2u);  // sky and everything else
    const std::vector<float> lr_Term = OcclusionStudy::RedChannel(lr_Images.Occlusion);
    ASSERT_FALSE(lr_Term.empty());
    EXPECT_GE(*std::min_element(lr_Term.begin(), lr_Term.end()), 0.99f);
    Save("ordinary_near_plane-slices", PictureFromBgrx(kWidth, kHeight, lr_Images.SliceImage));
}

}  // namespace
