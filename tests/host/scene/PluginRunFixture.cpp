#include "PluginRunFixture.h"

#include "PngWriter.h"

#include <algorithm>
#include <cstdio>

PluginRun PluginRunFixture::DrawMesh(const std::string& name, const SceneCamera& camera,
                                     const std::vector<SceneVertex>& mesh, const EffectSettings& settings,
                                     bool modelTwo, int blurPasses, D3DFORMAT depthFormat, D3DFORMAT backBufferFormat) {
    PluginRun lr_Run;
    D3DPRESENT_PARAMETERS lr_Parameters = SoftPresentParameters(kWidth, kHeight);
    lr_Parameters.AutoDepthStencilFormat = depthFormat;
    lr_Parameters.BackBufferFormat = backBufferFormat;
    lr_Run.Log = WithPlugin(name, settings, lr_Parameters, modelTwo,
                            [&](IDirect3DDevice9* device, ISoftDeviceControl* control, k_Plugin& plugin) {
                                // After switching on, which sets the plug-in's tuning.
                                plugin.SetBlurPasses(blurPasses);
                                OcclusionStudy lr_Study(device, control, &plugin);
                                std::string ls_Error;
                                EXPECT_TRUE(lr_Study.Run(camera, mesh, lr_Run.Images, ls_Error, k_WarmUpFrames))
                                    << ls_Error;
                                lr_Run.Layout = plugin.DepthLayoutInUse();
                                // Settled: the frames after those pictures lay the slices
                                // alike and draw the same term.
                                PassImages lr_Later;
                                EXPECT_TRUE(lr_Study.Run(camera, mesh, lr_Later, ls_Error)) << ls_Error;
                                EXPECT_TRUE(plugin.DepthLayoutInUse() == lr_Run.Layout)
                                    << name << ": the slices moved after frame " << k_WarmUpFrames + 1;
                                EXPECT_TRUE(lr_Later.Occlusion == lr_Run.Images.Occlusion)
                                    << name << ": a still scene drew another term after frame " << k_WarmUpFrames + 1;
                            });
    return lr_Run;
}

const std::vector<SceneVertex>& PluginRunFixture::Mesh(double scale) {
    if (scale == 1.0) return mr_Mesh;
    if (mr_ScaledMesh.empty()) mr_ScaledMesh = BuildSceneMesh(mr_Scene.Scaled(scale));
    return mr_ScaledMesh;
}

const ScenePixels& PluginRunFixture::Reference(const SceneCamera& camera, double scale) {
    const std::string ls_Key = std::to_string(camera.Position.X) + "," + std::to_string(camera.YawDegrees);
    ReferenceSettings lr_Reference;
    return Reference(ls_Key, scale == 1.0 ? mr_Scene : mr_Scene.Scaled(scale), camera, lr_Reference.Radius * scale);
}

const ScenePixels& PluginRunFixture::Reference(const std::string& key, const AnalyticScene& scene,
                                               const SceneCamera& camera, double radius) {
    auto& lr_Cache = ReferenceCache();
    auto lr_At = lr_Cache.find(key);
    if (lr_At == lr_Cache.end()) {
        ScenePixels lr_Pixels = TraceScenePixels(scene, camera, kWidth, kHeight);
        ReferenceSettings lr_Reference;
        lr_Reference.Radius = radius;
        TraceReferenceOcclusion(scene, camera, lr_Reference, lr_Pixels);
        lr_At = lr_Cache.emplace(key, std::move(lr_Pixels)).first;
    }
    return lr_At->second;
}

Measured PluginRunFixture::MeasureRun(const std::string& name, const PluginRun& run, const SceneCamera& camera,
                                      const ScenePixels& pixels, bool modelTwo) {
    const PassImages& lr_Images = run.Images;
    Measured lr_Measured;
    EXPECT_EQ(lr_Images.Occlusion.size(), static_cast<size_t>(kWidth) * kHeight * 4) << run.Log;
    if (lr_Images.Occlusion.size() != static_cast<size_t>(kWidth) * kHeight * 4) return lr_Measured;
    // The occlusion pass ran the technique the device's shader model allows.
    EXPECT_GE(lr_Images.PixelShaderVersions.size(), 3u);
    if (lr_Images.PixelShaderVersions.size() >= 3) {
        EXPECT_EQ(static_cast<DWORD>(modelTwo ? D3DPS_VERSION(2, 0) : D3DPS_VERSION(2, 1)),
                  lr_Images.PixelShaderVersions[2]);
    }
    // Banding against the staircase the plug-in's slices make of the true
    // depth, not the dithered image's own steps.
    lr_Measured.Figures =
        MeasureOcclusion(pixels, OcclusionStudy::RedChannel(lr_Images.Occlusion),
                         TrueSliceStaircase(pixels, camera, run.Layout.Slices.x, run.Layout.Slices.y));
    lr_Measured.Composite = CompositeDarkeningCorrelation(pixels, lr_Images);
    std::printf("%s: %s, composite correlation %.3f\n", name.c_str(), DescribeFigures(lr_Measured.Figures).c_str(),
                lr_Measured.Composite);
    std::vector<double> lr_Depths;
    for (size_t i = 0; i < pixels.ViewDepth.size(); ++i)
        if (pixels.IsScene(i)) lr_Depths.push_back(pixels.ViewDepth[i]);
    std::sort(lr_Depths.begin(), lr_Depths.end());
    if (!lr_Depths.empty())
        std::printf("%s: slices from %.3g to %.3g (%s), scene's median view depth %.3g\n", name.c_str(),
                    run.Layout.NearestSlice, run.Layout.FarthestSlice,
                    run.Layout.Source == DepthSource::Measured ? "median distances" : "view units",
                    lr_Depths[lr_Depths.size() / 2]);
    Save(name + "-occlusion", PictureFromBgrx(kWidth, kHeight, lr_Images.Occlusion));
    Save(name + "-composite", PictureFromBgrx(kWidth, kHeight, lr_Images.Composite));
    Save(name + "-slices", PictureFromBgrx(kWidth, kHeight, lr_Images.SliceImage));
    Save(name + "-reference", PictureFromGrey(kWidth, kHeight, pixels.Reference));
    return lr_Measured;
}

void PluginRunFixture::ExpectWithin(const Limits& limit, const Measured& m) {
    EXPECT_GE(m.Figures.Correlation, limit.MinCorrelation);
    EXPECT_LE(m.Figures.FitError, limit.MaxFitError);
    EXPECT_GE(m.Figures.CreaseDarkening, limit.MinCreaseDarkening);
    EXPECT_LE(m.Figures.FalseOcclusion, limit.MaxFalseOcclusion);
    EXPECT_LE(m.Figures.Halo, limit.MaxHalo);
    EXPECT_LE(m.Figures.Banding, limit.MaxBanding);
    EXPECT_GE(m.Composite, limit.MinCompositeCorrelation);
}

void PluginRunFixture::Save(const std::string& name, const Picture& picture) {
    std::string ls_Error;
    EXPECT_TRUE(WritePng((mr_Artefacts / (name + ".png")).string(), picture, ls_Error)) << ls_Error;
}

std::map<std::string, ScenePixels>& PluginRunFixture::ReferenceCache() {
    static std::map<std::string, ScenePixels> s_Cache;
    return s_Cache;
}
