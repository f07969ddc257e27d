// The demo's look at the plug-in's picture: the scene through the demo's
// camera, every pass as a PNG, the ray-traced reference and the figures
// that compare the two, a second camera view, and what a host with an
// ordinary near plane gets, with the shipped settings and with its own
// (depth as usual, and reversed), and the test scenes of other characters
// and scales beside their references. Ends with one labelled sheet of the
// pictures.
#pragma once

#include "AnalyticScene.h"
#include "DemoOptions.h"
#include "EffectSettings.h"
#include "OcclusionMetrics.h"
#include "OcclusionStudy.h"
#include "Picture.h"
#include "PictureSheet.h"
#include "SceneMesh.h"

#include <functional>
#include <string>

// `camera` with the projection the options ask for (--near, --far,
// --reversed-depth); unchanged without them.
SceneCamera WithHostProjection(SceneCamera camera, const DemoOptions& options);

class DemoStudy {
public:
    using Report = std::function<void(const std::string& label, const std::string& text)>;
    // Draws `camera`'s view of `mesh` through another instance of the
    // plug-in whose Settings.fxh holds `settings`; `name` is the host's short name.
    using OtherHost =
        std::function<bool(const std::string& name, const SceneCamera& camera, const EffectSettings& settings,
                           const std::vector<SceneVertex>& mesh, PassImages& images, std::string& error)>;

    DemoStudy(const AnalyticScene& scene, const std::vector<SceneVertex>& mesh, std::string outputFolder,
              const DemoOptions& options, Report report, OtherHost otherHost)
        : mr_Scene(scene),
          mr_Mesh(mesh),
          mr_Output(std::move(outputFolder)),
          mr_Options(options),
          mr_Report(std::move(report)),
          mr_OtherHost(std::move(otherHost)) {}

    // False when a frame or a picture could not be made; each problem is reported.
    bool Run(OcclusionStudy& study);

private:
    bool Measure(OcclusionStudy& study, const SceneCamera& camera, const std::string& name, PassImages& images,
                 ScenePixels& pixels);
    // The figures of the images against the reference.
    void ReportFigures(const SceneCamera& camera, const std::string& name,
                       const PassImages& images, ScenePixels& pixels);
    // A host with near plane 0.1 and its own settings; false when it could not be drawn.
    bool DrawOtherHost(const std::string& name, bool reversedDepth, PassImages& images, ScenePixels& pixels);
    // The first view of each test scene but the room, through a host typing
    // the scene's settings: its occlusion term and reference as a pair of tiles.
    void DrawTestScenes(std::vector<SheetTile>& tiles);
    bool Save(const std::string& fileName, const Picture& picture, const std::string& what);

    const AnalyticScene& mr_Scene;
    const std::vector<SceneVertex>& mr_Mesh;
    std::string mr_Output;
    const DemoOptions& mr_Options;
    Report mr_Report;
    OtherHost mr_OtherHost;
    int mr_Problems = 0;
};
