// The demo's look at the plug-in's picture: the scene through the demo's
// camera, every pass as a PNG, the ray-traced reference and the figures
// that compare the two, a second camera view, and what a host with an
// ordinary near plane gets. Ends with one labelled sheet of the pictures.
#pragma once

#include "AnalyticScene.h"
#include "DemoOptions.h"
#include "EffectSettings.h"
#include "OcclusionMetrics.h"
#include "OcclusionStudy.h"
#include "Picture.h"
#include "SceneMesh.h"

#include <functional>
#include <string>

// `camera` with the projection the options ask for (--near, --far,
// --reversed-depth); unchanged without them.
SceneCamera WithHostProjection(SceneCamera camera, const DemoOptions& options);

class DemoStudy {
public:
    using Report = std::function<void(const std::string& label, const std::string& text)>;

    DemoStudy(const AnalyticScene& scene, const std::vector<SceneVertex>& mesh, std::string outputFolder,
              const DemoOptions& options, Report report)
        : mr_Scene(scene),
          mr_Mesh(mesh),
          mr_Output(std::move(outputFolder)),
          mr_Options(options),
          mr_Report(std::move(report)) {}

    // False when a frame or a picture could not be made; each problem is reported.
    bool Run(OcclusionStudy& study);

private:
    bool Measure(OcclusionStudy& study, const SceneCamera& camera, const std::string& name, PassImages& images,
                 ScenePixels& pixels);
    bool Save(const std::string& fileName, const Picture& picture, const std::string& what);

    const AnalyticScene& mr_Scene;
    const std::vector<SceneVertex>& mr_Mesh;
    std::string mr_Output;
    const DemoOptions& mr_Options;
    Report mr_Report;
    int mr_Problems = 0;
};
