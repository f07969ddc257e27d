// What the shipped effects make of a real scene: the plug-in's occlusion
// term (ShowAOOnly on) and its composite against ray-traced ambient
// occlusion of the same view, for each kind of host: the near-0.0003 camera
// the plug-in's own slices are laid out for, with the shipped settings; a
// near plane of 0.1 with its settings; the same with a reversed depth
// buffer; and the ps_2_0 fallback on a device limited to ps_2_0. Each row
// runs on the demo's view and on a second view. Pictures of each row go to
// the build tree.
#include "AmbientReference.h"
#include "EffectSettings.h"
#include "Plugin.h"
#include "OcclusionMetrics.h"
#include "OcclusionStudy.h"
#include "PngWriter.h"
#include "SoftTestDevice.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace {

const int kWidth = 640, kHeight = 360;

struct Limits {
    double MinCorrelation, MaxFitError, MinCreaseDarkening, MaxFalseOcclusion, MaxHalo, MaxBanding;
    double MinCompositeCorrelation;
};

// The figures every host reaches with the first technique, its projection set or not.
const Limits kFirstTechnique{0.65, 0.10, 0.30, 0.02, 0.01, 0.02, 0.72};
// The ps_2_0 fallback: correlation and false occlusion only.
const Limits kFallback{0.55, 1.0, 0.0, 0.03, 1.0, 1.0, 0.0};

enum class Host { Shipped, NearPlane, ReversedDepth };

struct Row {
    const char* Name;
    bool SecondView;
    Host Kind;
    bool ModelTwoDevice;  // a device limited to ps_2_0
    Limits Limit;
    int BlurPasses = 0;  // fixed at zero in the plug-in; set here to reach the blur effect
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.Name; }

SceneCamera CameraOf(const Row& row) {
    const SceneCamera lr_View = row.SecondView ? SceneCamera::SecondView() : SceneCamera::DemoView();
    return row.Kind == Host::Shipped ? lr_View
                                     : SceneCamera::WithOrdinaryNearPlane(lr_View, row.Kind == Host::ReversedDepth);
}

EffectSettings SettingsOf(const Row& row, const SceneCamera& camera) {
    return row.Kind == Host::Shipped ? EffectSettings::Shipped() : EffectSettings::ForCamera(camera);
}

// What one run of the plug-in left, with the log it wrote.
struct PluginRun {
    PassImages Images;
    std::string Log;
};

// The plug-in on a fresh software device, its effects read from a copy of
// the shipped folder with `settings`.
class PluginRunFixture : public ::testing::Test {
protected:
    PluginRun Draw(const std::string& name, const SceneCamera& camera, const EffectSettings& settings, bool modelTwo,
                   int blurPasses = 0) {
        PluginRun lr_Run;
        const std::filesystem::path lr_Root = mr_Artefacts / name;
        std::string ls_Error;
        EXPECT_TRUE(WriteEffectFolder(std::string(SSAO_DATA_ROOT) + "/Plugins/SSAO",
                                      (lr_Root / "Plugins" / "SSAO").string(), settings, ls_Error))
            << ls_Error;
        std::filesystem::remove(lr_Root / "Vexil.log");
        {
            ScopedSoftDevice lr_Device{kWidth, kHeight};
            if (!lr_Device.Get()) {
                ADD_FAILURE() << "no device";
                return lr_Run;
            }
            ISoftDeviceControl* lr_Control_ = SoftControlOf(lr_Device.Get());
            if (modelTwo) lr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
            TestHost lr_Host{WidePath(lr_Root) + L"/", WidePath(lr_Root) + L"/"};
            k_Plugin lr_Plugin{lr_Host.AsHost()};
            lr_Plugin.Initialise(lr_Device.Get());
            lr_Plugin.SetActive(true);
            EXPECT_TRUE(lr_Plugin.IsActive());
            lr_Plugin.SetBlurPasses(blurPasses);  // after switching on, which sets the plug-in's tuning
            OcclusionStudy lr_Study(lr_Device.Get(), lr_Control_, &lr_Plugin);
            EXPECT_TRUE(lr_Study.Run(camera, mr_Mesh, lr_Run.Images, ls_Error)) << ls_Error;
            lr_Plugin.SetActive(false);
            lr_Plugin.Deinitialise();
        }
        lr_Run.Log = ReadTextFile(lr_Root / "Vexil.log");
        return lr_Run;
    }

    // The reference of a view, traced once: the near plane moves no ray.
    const ScenePixels& Reference(const SceneCamera& camera) {
        const std::string ls_Key = std::to_string(camera.Position.X) + "," + std::to_string(camera.YawDegrees);
        auto& lr_Cache = ReferenceCache();
        auto lr_At = lr_Cache.find(ls_Key);
        if (lr_At == lr_Cache.end()) {
            ScenePixels lr_Pixels = TraceScenePixels(mr_Scene, camera, kWidth, kHeight);
            TraceReferenceOcclusion(mr_Scene, camera, ReferenceSettings(), lr_Pixels);
            lr_At = lr_Cache.emplace(ls_Key, std::move(lr_Pixels)).first;
        }
        return lr_At->second;
    }

    void Save(const std::string& name, const Picture& picture) {
        std::string ls_Error;
        EXPECT_TRUE(WritePng((mr_Artefacts / (name + ".png")).string(), picture, ls_Error)) << ls_Error;
    }

    static std::string ReadTextFile(const std::filesystem::path& path) {
        std::string ls_Text;
        if (FILE* lr_File_ = std::fopen(path.string().c_str(), "rb")) {
            char lr_Buffer[4096];
            size_t lr_Read;
            while ((lr_Read = std::fread(lr_Buffer, 1, sizeof(lr_Buffer), lr_File_)) > 0)
                ls_Text.append(lr_Buffer, lr_Read);
            std::fclose(lr_File_);
        }
        return ls_Text;
    }

    static std::map<std::string, ScenePixels>& ReferenceCache() {
        static std::map<std::string, ScenePixels> s_Cache;
        return s_Cache;
    }

    const std::filesystem::path mr_Artefacts = SSAO_ARTEFACT_DIR;
    const AnalyticScene mr_Scene = AnalyticScene::MakeDemoRoom();
    const std::vector<SceneVertex> mr_Mesh = BuildSceneMesh(mr_Scene);
};

class OcclusionQualityTest : public PluginRunFixture, public ::testing::WithParamInterface<Row> {};

#if defined(__SANITIZE_ADDRESS__)
const bool k_Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
const bool k_Sanitized = true;
#else
const bool k_Sanitized = false;
#endif
#else
const bool k_Sanitized = false;
#endif

TEST_P(OcclusionQualityTest, TheOcclusionFollowsTheRayTracedReference) {
    const Row& lr_Row = GetParam();
    // Under the sanitizers each row's reference and frames take minutes: one
    // row with the first technique and one with the fallback run the whole
    // path there; the figures are the release build's to check.
    if (k_Sanitized && std::string(lr_Row.Name) != "reversed_depth_demo_view" &&
        std::string(lr_Row.Name) != "fallback_second_view")
        GTEST_SKIP() << "skipped under the sanitizers (run time); the release build checks this row";
    const SceneCamera lr_Camera = CameraOf(lr_Row);
    const EffectSettings lr_Settings = SettingsOf(lr_Row, lr_Camera);
    const PluginRun lr_Run = Draw(lr_Row.Name, lr_Camera, lr_Settings, lr_Row.ModelTwoDevice, lr_Row.BlurPasses);
    const PassImages& lr_Images = lr_Run.Images;
    ASSERT_EQ(lr_Images.Occlusion.size(), static_cast<size_t>(kWidth) * kHeight * 4) << lr_Run.Log;
    // The occlusion pass ran the technique the device's shader model allows.
    ASSERT_GE(lr_Images.PixelShaderVersions.size(), 3u);
    EXPECT_EQ(static_cast<DWORD>(lr_Row.ModelTwoDevice ? D3DPS_VERSION(2, 0) : D3DPS_VERSION(2, 1)),
              lr_Images.PixelShaderVersions[2]);

    const ScenePixels& lr_Pixels = Reference(lr_Camera);
    // Banding against the staircase of the true depth, not the dithered image's own steps.
    const OcclusionFigures lr_Figures = MeasureOcclusion(lr_Pixels, OcclusionStudy::RedChannel(lr_Images.Occlusion),
                                                         TrueSliceStaircase(lr_Pixels, lr_Camera, lr_Settings));
    const double lr_Composite = CompositeDarkeningCorrelation(lr_Pixels, lr_Images);
    std::printf("%s: %s, composite correlation %.3f\n", lr_Row.Name, DescribeFigures(lr_Figures).c_str(), lr_Composite);
    Save(std::string(lr_Row.Name) + "-occlusion", PictureFromBgrx(kWidth, kHeight, lr_Images.Occlusion));
    Save(std::string(lr_Row.Name) + "-composite", PictureFromBgrx(kWidth, kHeight, lr_Images.Composite));
    Save(std::string(lr_Row.Name) + "-slices", PictureFromBgrx(kWidth, kHeight, lr_Images.SliceImage));
    Save(std::string(lr_Row.Name) + "-reference", PictureFromGrey(kWidth, kHeight, lr_Pixels.Reference));

    const Limits& lr_Limit = lr_Row.Limit;
    EXPECT_GE(lr_Figures.Correlation, lr_Limit.MinCorrelation);
    EXPECT_LE(lr_Figures.FitError, lr_Limit.MaxFitError);
    EXPECT_GE(lr_Figures.CreaseDarkening, lr_Limit.MinCreaseDarkening);
    EXPECT_LE(lr_Figures.FalseOcclusion, lr_Limit.MaxFalseOcclusion);
    EXPECT_LE(lr_Figures.Halo, lr_Limit.MaxHalo);
    EXPECT_LE(lr_Figures.Banding, lr_Limit.MaxBanding);
    EXPECT_GE(lr_Composite, lr_Limit.MinCompositeCorrelation);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, OcclusionQualityTest,
    ::testing::Values(Row{"demo_view", false, Host::Shipped, false, kFirstTechnique},
                      Row{"second_view", true, Host::Shipped, false, kFirstTechnique},
                      Row{"near_plane_demo_view", false, Host::NearPlane, false, kFirstTechnique},
                      Row{"near_plane_second_view", true, Host::NearPlane, false, kFirstTechnique},
                      Row{"reversed_depth_demo_view", false, Host::ReversedDepth, false, kFirstTechnique},
                      Row{"reversed_depth_second_view", true, Host::ReversedDepth, false, kFirstTechnique},
                      Row{"fallback_demo_view", false, Host::NearPlane, true, kFallback},
                      Row{"fallback_second_view", true, Host::NearPlane, true, kFallback},
                      // The depth-aware blur decodes the slice image as the occlusion pass does.
                      Row{"blurred_near_plane_demo_view", false, Host::NearPlane, false, kFirstTechnique, 2}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.Name); });

// How many pixels of an image show each slice index: a pixel adds up
// (i + 1 - t) units of 24 for its nearest passing slice i and its offset t
// in [0, 1) (rounding puts an offset next to 1 on the index below).
std::map<int, size_t> SliceIndices(const std::vector<BYTE>& bgrx) {
    std::map<int, size_t> lr_Indices;
    for (size_t i = 2; i < bgrx.size(); i += 4) ++lr_Indices[std::max(0, (bgrx[i] + 23) / 24 - 1)];
    return lr_Indices;
}

// The share of pixels on the two most common indices.
double TopTwoShare(const std::map<int, size_t>& indices) {
    std::vector<size_t> lr_Counts;
    size_t lr_All = 0;
    for (const auto& lr_Index : indices) {
        lr_Counts.push_back(lr_Index.second);
        lr_All += lr_Index.second;
    }
    std::sort(lr_Counts.rbegin(), lr_Counts.rend());
    return lr_All ? static_cast<double>(lr_Counts[0] + (lr_Counts.size() > 1 ? lr_Counts[1] : 0)) / lr_All : 0.0;
}

// A host with an ordinary near plane and the shipped settings has its whole
// scene in front of every slice of the plug-in's own layout: a flat image
// and no occlusion. Its own settings bring the slices onto the scene.
TEST_F(PluginRunFixture, AnOrdinaryNearPlaneNeedsItsSettings) {
    const SceneCamera lr_Camera = SceneCamera::OrdinaryNearPlaneView();
    const PluginRun lr_Default = Draw("ordinary_near_plane", lr_Camera, EffectSettings::Shipped(), false);
    // Sky and everything else.
    EXPECT_GE(TopTwoShare(SliceIndices(lr_Default.Images.SliceImage)), 0.97);
    // Flat but for a line along the skyline, where the pixel's own depth mixes sky and wall.
    const std::vector<float> lr_Term = OcclusionStudy::RedChannel(lr_Default.Images.Occlusion);
    ASSERT_FALSE(lr_Term.empty());
    const size_t lr_Dark = std::count_if(lr_Term.begin(), lr_Term.end(), [](float v) { return v < 0.99f; });
    EXPECT_LE(lr_Dark, lr_Term.size() / 1000);
    Save("ordinary_near_plane-slices", PictureFromBgrx(kWidth, kHeight, lr_Default.Images.SliceImage));
    Save("ordinary_near_plane-occlusion", PictureFromBgrx(kWidth, kHeight, lr_Default.Images.Occlusion));

    const PluginRun lr_Set = Draw("ordinary_near_plane_set", lr_Camera, EffectSettings::ForCamera(lr_Camera), false);
    EXPECT_GE(SliceIndices(lr_Set.Images.SliceImage).size(), 8u);
    EXPECT_LT(TopTwoShare(SliceIndices(lr_Set.Images.SliceImage)), 0.6);
    const std::vector<float> lr_SetTerm = OcclusionStudy::RedChannel(lr_Set.Images.Occlusion);
    ASSERT_FALSE(lr_SetTerm.empty());
    const size_t lr_Occluded = std::count_if(lr_SetTerm.begin(), lr_SetTerm.end(), [](float v) { return v < 0.8f; });
    EXPECT_GE(lr_Occluded, lr_SetTerm.size() / 20);
}

// The README's reading of near, far and field of view from a host's
// D3DXMatrixPerspectiveFovLH matrix, and of reversed depth from a matrix
// built with the planes swapped; and the demo camera's own matrix.
TEST(ProjectionReading, NearFarAndFieldOfViewComeBackFromTheMatrix) {
    struct Case {
        float FovY, Aspect, Near, Far;
    } const lr_Cases[] = {
        {1.0471976f, 16.0f / 9.0f, 0.1f, 80.0f}, {0.7f, 1.0f, 0.5f, 5000.0f}, {1.2f, 1.5f, 2.0f, 3.0f}};
    for (const Case& c : lr_Cases) {
        for (const bool lr_Reversed : {false, true}) {
            D3DXMATRIX lr_M;
            D3DXMatrixPerspectiveFovLH(&lr_M, c.FovY, c.Aspect, lr_Reversed ? c.Far : c.Near,
                                       lr_Reversed ? c.Near : c.Far);
            ProjectionPlanes lr_Planes;
            ASSERT_TRUE(ReadProjection(lr_M, lr_Planes));
            EXPECT_EQ(lr_Reversed, lr_Planes.Reversed);
            EXPECT_NEAR(c.Near, lr_Planes.Near, 1e-4 * c.Far);
            EXPECT_NEAR(c.Far, lr_Planes.Far, 2e-3 * c.Far);
            EXPECT_NEAR(c.FovY * 180.0 / 3.14159265358979323846, lr_Planes.FieldOfViewY, 1e-3);
        }
    }
    SceneCamera lr_Camera = SceneCamera::WithOrdinaryNearPlane(SceneCamera::DemoView(), true);
    ProjectionPlanes lr_Planes;
    ASSERT_TRUE(ReadProjection(lr_Camera.Projection(16.0 / 9.0), lr_Planes));
    EXPECT_TRUE(lr_Planes.Reversed);
    EXPECT_NEAR(0.1, lr_Planes.Near, 1e-4);
    EXPECT_NEAR(lr_Camera.FovYDegrees, lr_Planes.FieldOfViewY, 1e-3);
    D3DMATRIX lr_NotPerspective{};
    lr_NotPerspective.m[0][0] = lr_NotPerspective.m[1][1] = lr_NotPerspective.m[2][2] = lr_NotPerspective.m[3][3] = 1;
    EXPECT_FALSE(ReadProjection(lr_NotPerspective, lr_Planes));
}

// Settings that cannot work are clamped: the picture stays a picture, not
// black and not the NaN a division by a zero radius or range would give.
TEST_F(PluginRunFixture, SettingsThatCannotWorkGiveAPictureWithoutNaN) {
    const SceneCamera lr_Camera = SceneCamera::OrdinaryNearPlaneView();
    struct Bad {
        const char* Name;
        EffectSettings Settings;
    };
    std::vector<Bad> lr_Cases;
    EffectSettings lr_S = EffectSettings::ForCamera(lr_Camera);
    lr_S.HostFarPlane = lr_S.HostNearPlane;  // near >= far
    lr_Cases.push_back({"near_equals_far", lr_S});
    lr_S = EffectSettings::ForCamera(lr_Camera);
    lr_S.SliceNearest = 500;  // slices beyond far, nearest behind farthest
    lr_S.SliceFarthest = 0.01;
    lr_Cases.push_back({"slices_outside_the_range", lr_S});
    lr_S = EffectSettings::ForCamera(lr_Camera);
    lr_S.Radius = 0;
    lr_S.FieldOfViewY = 0;
    lr_Cases.push_back({"zero_radius_and_field_of_view", lr_S});
    lr_S = EffectSettings::ForCamera(lr_Camera);
    lr_S.HostNearPlane = -1;
    lr_S.Radius = -3;
    lr_Cases.push_back({"negative_near_plane_and_radius", lr_S});
    for (const Bad& lr_Case : lr_Cases) {
        SCOPED_TRACE(lr_Case.Name);
        const PluginRun lr_Run = Draw(std::string("bad_settings_") + lr_Case.Name, lr_Camera, lr_Case.Settings, false);
        const std::vector<float> lr_Term = OcclusionStudy::RedChannel(lr_Run.Images.Occlusion);
        ASSERT_EQ(lr_Term.size(), static_cast<size_t>(kWidth) * kHeight) << lr_Run.Log;
        double lr_Sum = 0;
        for (float v : lr_Term) lr_Sum += v;
        // NaN reaches an 8-bit target as 0: a term that is mostly black is the tell.
        EXPECT_GT(lr_Sum / static_cast<double>(lr_Term.size()), 0.6);
        double lr_Scene = 0, lr_Composite = 0;
        for (size_t i = 0; i < lr_Run.Images.Scene.size(); ++i) {
            lr_Scene += lr_Run.Images.Scene[i];
            lr_Composite += lr_Run.Images.Composite[i];
        }
        EXPECT_GT(lr_Composite, 0.6 * lr_Scene);
    }
}

}  // namespace
