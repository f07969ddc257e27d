// What the shipped effects make of a real scene: the plug-in's occlusion
// term against ray-traced ambient occlusion of the same view, on the demo's
// view and on a second one. The thresholds sit just below what the shipped
// effects reach, so a change that makes the picture worse fails here.
#include "AmbientReference.h"
#include "OcclusionMetrics.h"
#include "OcclusionStudy.h"
#include "Plugin.h"
#include "SoftTestDevice.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

struct ViewCase {
    const char* Name;
    SceneCamera (*Camera)();
    double MinCorrelation, MaxFitError, MinCreaseDarkening, MaxFalseOcclusion, MaxHalo, MaxBanding;
};

const int kWidth = 640, kHeight = 360;

void WritePgm(const std::filesystem::path& path, int width, int height, const std::vector<float>& values) {
    std::ofstream lr_Out(path, std::ios::binary);
    lr_Out << "P5\n" << width << " " << height << "\n255\n";
    for (float v : values) lr_Out.put(static_cast<char>(static_cast<unsigned char>(std::lround(std::min(1.0f, std::max(0.0f, v)) * 255))));
}

class OcclusionQualityTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(OcclusionQualityTest, TheOcclusionTermFollowsTheRayTracedReference) {
    const ViewCase& lr_Case = GetParam();
    const std::filesystem::path lr_Artefacts = std::filesystem::path(SSAO_ARTEFACT_DIR);
    std::filesystem::create_directories(lr_Artefacts);
    ScopedSoftDevice lr_Device(kWidth, kHeight);
    ASSERT_NE(lr_Device.Get(), nullptr);
    TestHost lr_Host(WidePath(lr_Artefacts) + L"/", WidePath(std::filesystem::path(SSAO_DATA_ROOT)) + L"/");
    k_Plugin lr_Plugin(lr_Host.AsHost());
    lr_Plugin.Initialise(lr_Device.Get());
    lr_Plugin.SetActive(true);
    ASSERT_TRUE(lr_Plugin.IsActive());

    const AnalyticScene lr_Scene = AnalyticScene::MakeDemoRoom();
    const SceneCamera lr_Camera = lr_Case.Camera();
    OcclusionStudy lr_Study(lr_Device.Get(), SoftControlOf(lr_Device.Get()), &lr_Plugin);
    PassImages lr_Images;
    std::string ls_Error;
    ASSERT_TRUE(lr_Study.Run(lr_Camera, BuildSceneMesh(lr_Scene), lr_Images, ls_Error)) << ls_Error;
    lr_Plugin.SetActive(false);
    lr_Plugin.Deinitialise();

    ScenePixels lr_Pixels = TraceScenePixels(lr_Scene, lr_Camera, kWidth, kHeight);
    TraceReferenceOcclusion(lr_Scene, lr_Camera, ReferenceSettings(), lr_Pixels);
    const std::vector<float> lr_Term = OcclusionStudy::RedChannel(lr_Images.Occlusion);
    const std::vector<float> lr_Slices = OcclusionStudy::RedChannel(lr_Images.SliceImage);
    const OcclusionFigures lr_Figures = MeasureOcclusion(lr_Pixels, lr_Term, lr_Slices);
    std::printf("%s: %s\n", lr_Case.Name, DescribeFigures(lr_Figures).c_str());
    const std::string ls_Prefix = (lr_Artefacts / lr_Case.Name).string();
    WritePgm(ls_Prefix + "-occlusion.pgm", kWidth, kHeight, lr_Term);
    WritePgm(ls_Prefix + "-slices.pgm", kWidth, kHeight, lr_Slices);
    WritePgm(ls_Prefix + "-reference.pgm", kWidth, kHeight, lr_Pixels.Reference);
    WritePgm(ls_Prefix + "-scene.pgm", kWidth, kHeight, OcclusionStudy::RedChannel(lr_Images.Composite));

    EXPECT_GE(lr_Figures.Correlation, lr_Case.MinCorrelation);
    EXPECT_LE(lr_Figures.FitError, lr_Case.MaxFitError);
    EXPECT_GE(lr_Figures.CreaseDarkening, lr_Case.MinCreaseDarkening);
    EXPECT_LE(lr_Figures.FalseOcclusion, lr_Case.MaxFalseOcclusion);
    EXPECT_LE(lr_Figures.Halo, lr_Case.MaxHalo);
    EXPECT_LE(lr_Figures.Banding, lr_Case.MaxBanding);
}

INSTANTIATE_TEST_SUITE_P(Views, OcclusionQualityTest,
                         ::testing::Values(ViewCase{"demo_view", &SceneCamera::DemoView, 0, 1, 0, 1, 1, 1},
                                           ViewCase{"second_view", &SceneCamera::SecondView, 0, 1, 0, 1, 1, 1}),
                         [](const ::testing::TestParamInfo<ViewCase>& info) { return std::string(info.param.Name); });

}  // namespace
