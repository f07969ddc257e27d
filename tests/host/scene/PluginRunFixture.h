// The plug-in run on a fresh software device over an analytic scene, and
// its occlusion term measured against the ray-traced reference: what the
// quality rows of the demo's room and of the other test scenes share.
#pragma once

#include "AmbientReference.h"
#include "EffectSettings.h"
#include "OcclusionMetrics.h"
#include "OcclusionStudy.h"
#include "Picture.h"
#include "Plugin.h"
#include "SceneMesh.h"
#include "SoftTestDevice.h"
#include "TestFiles.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

const int kWidth = 640, kHeight = 360;

// Under the sanitizers a row's reference and frames take minutes.
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

struct Limits {
    double MinCorrelation, MaxFitError, MinCreaseDarkening, MaxFalseOcclusion, MaxHalo, MaxBanding;
    double MinCompositeCorrelation;
};

// What one run of the plug-in left, with the log it wrote and where its slices lay.
struct PluginRun {
    PassImages Images;
    std::string Log;
    DepthLayout Layout;
};

struct Measured {
    OcclusionFigures Figures;
    double Composite = 0.0;
};

// Frames a plug-in that measures the host's depth is given before its
// pictures are taken (two frames: the term, then the composite). It must
// have settled by the first picture, frame 5: later frames draw the same.
const int k_WarmUpFrames = 4;

// The plug-in on a fresh software device, its effects read from a copy of
// the shipped folder with `settings`.
class PluginRunFixture : public ::testing::Test {
protected:
    // The plug-in switched on on a fresh software device, its effects read
    // from a copy of the shipped folder with `settings` under the artefacts'
    // folder `name`, on a device limited to ps_2_0 if asked; `use` gets the
    // device, its controls and the plug-in.
    // Returns the log the plug-in wrote.
    template <class Use>
    std::string WithPlugin(const std::string& name, const EffectSettings& settings,
                           const D3DPRESENT_PARAMETERS& parameters, bool modelTwo, Use use) {
        const std::filesystem::path lr_Root = mr_Artefacts / name;
        std::string ls_Error;
        EXPECT_TRUE(WriteEffectFolder(std::string(SSAO_DATA_ROOT) + "/Plugins/SSAO",
                                      (lr_Root / "Plugins" / "SSAO").string(), settings, ls_Error))
            << ls_Error;
        std::filesystem::remove(lr_Root / "Vexil.log");
        {
            ScopedSoftDevice lr_Device{parameters};
            if (!lr_Device.Get()) {
                ADD_FAILURE() << "no device";
                return std::string();
            }
            // Before the effects load: they pick their techniques then.
            if (modelTwo) SoftControlOf(lr_Device.Get())->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
            TestHost lr_Host{WidePath(lr_Root) + L"/", WidePath(lr_Root) + L"/"};
            k_Plugin lr_Plugin{lr_Host.AsHost()};
            lr_Plugin.Initialise(lr_Device.Get());
            lr_Plugin.SetActive(true);
            EXPECT_TRUE(lr_Plugin.IsActive());
            use(lr_Device.Get(), SoftControlOf(lr_Device.Get()), lr_Plugin);
            lr_Plugin.SetActive(false);
            lr_Plugin.Deinitialise();
        }
        return ReadText(lr_Root / "Vexil.log");
    }

    // The demo's room, `scale` times its size.
    PluginRun Draw(const std::string& name, const SceneCamera& camera, const EffectSettings& settings, bool modelTwo,
                   int blurPasses = 0, double scale = 1.0, D3DFORMAT depthFormat = D3DFMT_D24S8,
                   D3DFORMAT backBufferFormat = D3DFMT_X8R8G8B8) {
        return DrawMesh(name, camera, Mesh(scale), settings, modelTwo, blurPasses, depthFormat, backBufferFormat);
    }
    PluginRun DrawMesh(const std::string& name, const SceneCamera& camera, const std::vector<SceneVertex>& mesh,
                       const EffectSettings& settings, bool modelTwo, int blurPasses = 0,
                       D3DFORMAT depthFormat = D3DFMT_D24S8, D3DFORMAT backBufferFormat = D3DFMT_X8R8G8B8);

    const std::vector<SceneVertex>& Mesh(double scale);

    // The reference of a view of the demo's room, traced once: the near
    // plane moves no ray. In a room `scale` times larger, at a radius `scale`
    // times larger.
    const ScenePixels& Reference(const SceneCamera& camera, double scale = 1.0);
    // The reference of any scene's view at `radius`, traced once under `key`.
    const ScenePixels& Reference(const std::string& key, const AnalyticScene& scene, const SceneCamera& camera,
                                 double radius);

    // Checks the run drew the technique the device allows, measures its term
    // against `pixels`, prints the figures and saves the run's pictures and
    // the reference as `name`-*.png.
    Measured MeasureRun(const std::string& name, const PluginRun& run, const SceneCamera& camera,
                        const ScenePixels& pixels, bool modelTwo);

    static void ExpectWithin(const Limits& limit, const Measured& m);

    void Save(const std::string& name, const Picture& picture);

    const std::filesystem::path mr_Artefacts = SSAO_ARTEFACT_DIR;
    const AnalyticScene mr_Scene = AnalyticScene::MakeDemoRoom();
    const std::vector<SceneVertex> mr_Mesh = BuildSceneMesh(mr_Scene);
    std::vector<SceneVertex> mr_ScaledMesh;

private:
    static std::map<std::string, ScenePixels>& ReferenceCache();
};
