#include "DemoStudy.h"

#include "PictureSheet.h"
#include "PngWriter.h"
#include "TestScenes.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace {

Picture FromSurface(const PassImages& images, const std::vector<BYTE>& bgrx) {
    return PictureFromBgrx(images.Width, images.Height, bgrx);
}

std::string CameraText(const SceneCamera& camera) {
    std::ostringstream ls_Text;
    ls_Text << "camera at (" << camera.Position.X << ", " << camera.Position.Y << ", " << camera.Position.Z
            << "), heading " << camera.YawDegrees << ", pitch " << camera.PitchDegrees << ", field of view "
            << camera.FovYDegrees << " deg, near " << camera.Near << ", far " << camera.Far;
    return ls_Text.str();
}

std::string Number(double value) {
    std::ostringstream ls_Text;
    ls_Text << value;
    return ls_Text.str();
}

}  // namespace

SceneCamera WithHostProjection(SceneCamera camera, const DemoOptions& options) {
    if (options.NearPlane > 0) camera.Near = options.NearPlane;
    if (options.FarPlane > 0) camera.Far = options.FarPlane;
    camera.ReversedDepth = options.ReversedDepth;
    return camera;
}

bool DemoStudy::Save(const std::string& fileName, const Picture& picture, const std::string& what) {
    const std::string ls_Path = mr_Output + fileName;
    std::string ls_Error;
    if (!WritePng(ls_Path, picture, ls_Error)) {
        mr_Report("picture", "could not write " + what + ": " + ls_Error);
        ++mr_Problems;
        return false;
    }
    mr_Report("picture", what + " saved to " + ls_Path);
    return true;
}

bool DemoStudy::Measure(OcclusionStudy& study, const SceneCamera& camera, const std::string& name, PassImages& images,
                        ScenePixels& pixels) {
    std::string ls_Error;
    if (!study.Run(camera, mr_Mesh, images, ls_Error)) {
        mr_Report(name, "cannot draw the passes: " + ls_Error);
        ++mr_Problems;
        return false;
    }
    ReportFigures(camera, name, images, pixels);
    return true;
}

void DemoStudy::ReportFigures(const SceneCamera& camera, const std::string& name,
                              const PassImages& images, ScenePixels& pixels) {
    const OcclusionFigures lr_Figures =
        CompareWithReference(mr_Scene, camera, images, ReferenceSettings(), pixels);
    mr_Report(name, CameraText(camera));
    mr_Report(name, DescribeFigures(lr_Figures) + ", composite correlation " +
                        std::to_string(CompositeDarkeningCorrelation(pixels, images)).substr(0, 5));
}

bool DemoStudy::DrawOtherHost(const std::string& name, bool reversedDepth, PassImages& images, ScenePixels& pixels) {
    const SceneCamera lr_Camera = SceneCamera::WithOrdinaryNearPlane(SceneCamera::DemoView(), reversedDepth);
    std::string ls_Error;
    if (!mr_OtherHost ||
        !mr_OtherHost(name, lr_Camera, EffectSettings::ForCamera(lr_Camera), mr_Mesh, images, ls_Error)) {
        mr_Report(name, "cannot draw the passes: " + (mr_OtherHost ? ls_Error : std::string("no other host")));
        ++mr_Problems;
        return false;
    }
    ReportFigures(lr_Camera, name, images, pixels);
    return true;
}

void DemoStudy::DrawTestScenes(std::vector<SheetTile>& tiles) {
    for (size_t i = 1; i < TestScenes().size(); ++i) {
        const TestScene& lr_Scene = TestScenes()[i];
        const SceneCamera& lr_Camera = lr_Scene.Views[0];
        const std::string ls_Name = lr_Scene.Name + " scene";
        // The settings a user would type, read off the scene's depth as the quality rows read them.
        const EffectSettings lr_Settings =
            EffectSettings::ForScene(lr_Camera, TraceScenePixels(lr_Scene.Scene, lr_Camera, 640, 360), lr_Scene.Radius);
        PassImages lr_Images;
        std::string ls_Error;
        if (!mr_OtherHost ||
            !mr_OtherHost(ls_Name, lr_Camera, lr_Settings, BuildSceneMesh(lr_Scene.Scene), lr_Images, ls_Error)) {
            mr_Report(ls_Name, "cannot draw the passes: " + (mr_OtherHost ? ls_Error : std::string("no other host")));
            ++mr_Problems;
            continue;
        }
        ReferenceSettings lr_Reference;
        lr_Reference.Radius = lr_Scene.Radius;
        ScenePixels lr_Pixels;
        const OcclusionFigures lr_Figures =
            CompareWithReference(lr_Scene.Scene, lr_Camera, lr_Images, lr_Reference, lr_Pixels);
        mr_Report(ls_Name, CameraText(lr_Camera) + ", radius " + Number(lr_Scene.Radius));
        mr_Report(ls_Name, DescribeFigures(lr_Figures) + ", composite correlation " +
                               std::to_string(CompositeDarkeningCorrelation(lr_Pixels, lr_Images)).substr(0, 5));
        tiles.push_back({FromSurface(lr_Images, lr_Images.Occlusion), "Occlusion term, " + ls_Name});
        Save("scene-" + lr_Scene.Name + "-occlusion.png", tiles.back().Image, "the occlusion term of the " + ls_Name);
        tiles.push_back({PictureFromGrey(lr_Images.Width, lr_Images.Height, lr_Pixels.Reference),
                         "Ray-traced reference, " + ls_Name});
        Save("scene-" + lr_Scene.Name + "-reference.png", tiles.back().Image, "the reference of the " + ls_Name);
    }
}

bool DemoStudy::Run(OcclusionStudy& study) {
    const ReferenceSettings lr_Settings;
    std::ostringstream ls_Reference;
    ls_Reference << "reference: " << lr_Settings.Rays << " cosine-weighted rays a pixel, occluders within "
                 << lr_Settings.Radius << " m";
    mr_Report("quality", ls_Reference.str());

    PassImages lr_Demo, lr_Second, lr_Ordinary, lr_NearSet, lr_Reversed;
    ScenePixels lr_DemoPixels, lr_SecondPixels, lr_NearSetPixels, lr_ReversedPixels;
    if (!Measure(study, WithHostProjection(SceneCamera::DemoView(), mr_Options), "demo view", lr_Demo, lr_DemoPixels))
        return false;
    Measure(study, WithHostProjection(SceneCamera::SecondView(), mr_Options), "second view", lr_Second,
            lr_SecondPixels);

    std::string ls_Error;
    // A host with near plane 0.1 that draws with vertex shaders, leaving no
    // projection: the plug-in measures its depth over the first frames.
    SceneCamera lr_OrdinaryCamera = SceneCamera::OrdinaryNearPlaneView();
    lr_OrdinaryCamera.LeavesProjection = false;
    if (study.Run(lr_OrdinaryCamera, mr_Mesh, lr_Ordinary, ls_Error, 6)) {
        // A pixel adds up (i + 1 - t) units of 24 for its nearest passing slice i and its offset t.
        std::set<int> lr_Levels;
        for (size_t i = 2; i < lr_Ordinary.SliceImage.size(); i += 4)
            lr_Levels.insert(std::max(0, (lr_Ordinary.SliceImage[i] + 23) / 24 - 1));
        std::ostringstream ls_Text;
        ls_Text << "near plane " << lr_OrdinaryCamera.Near << ", shipped settings: the depth-slice image holds "
                << lr_Levels.size() << " slice level(s) of up to 10";
        mr_Report("ordinary host", ls_Text.str());
        // What the plug-in found, as its log says it.
        std::ifstream lr_Log(mr_Output + "Vexil.log");
        for (std::string ls_Line; std::getline(lr_Log, ls_Line);) {
            if (!ls_Line.empty() && ls_Line.back() == '\r') ls_Line.pop_back();
            if (ls_Line.rfind("SSAO: Depth from ", 0) == 0) mr_Report("depth found", ls_Line.substr(6));
        }
    } else {
        mr_Report("ordinary host", "cannot draw the passes: " + ls_Error);
        ++mr_Problems;
    }

    const bool lr_NearDrawn = DrawOtherHost("near plane set", false, lr_NearSet, lr_NearSetPixels);
    const bool lr_ReversedDrawn = DrawOtherHost("reversed depth", true, lr_Reversed, lr_ReversedPixels);

    const Picture lr_Scene = FromSurface(lr_Demo, lr_Demo.Scene);
    const Picture lr_Slices =
        PictureFromGrey(lr_Demo.Width, lr_Demo.Height, OcclusionStudy::SliceValues(lr_Demo.SliceImage));
    const Picture lr_Term = FromSurface(lr_Demo, lr_Demo.Occlusion);
    const Picture lr_Composite = FromSurface(lr_Demo, lr_Demo.Composite);
    const Picture lr_Reference = PictureFromGrey(lr_Demo.Width, lr_Demo.Height, lr_DemoPixels.Reference);
    const Picture lr_SecondTerm = FromSurface(lr_Second, lr_Second.Occlusion);
    const Picture lr_FlatSlices =
        PictureFromGrey(lr_Ordinary.Width, lr_Ordinary.Height, OcclusionStudy::SliceValues(lr_Ordinary.SliceImage));
    const Picture lr_FlatTerm = FromSurface(lr_Ordinary, lr_Ordinary.Occlusion);
    Save("scene.png", lr_Scene, "the host's scene");
    Save("depth-slices.png", lr_Slices, "the depth-slice image");
    Save("occlusion.png", lr_Term, "the occlusion term");
    Save("composite.png", lr_Composite, "the composite, ShowAOOnly off");
    Save("reference.png", lr_Reference, "the ray-traced reference");
    Save("second-view-occlusion.png", lr_SecondTerm, "the occlusion term of the second view");
    std::vector<SheetTile> lr_Hosts;
    if (lr_NearDrawn) {
        lr_Hosts.push_back({FromSurface(lr_NearSet, lr_NearSet.Occlusion), "Occlusion term, near 0.1, its settings"});
        Save("near-plane-set-occlusion.png", lr_Hosts.back().Image,
             "the occlusion term of near plane 0.1, its settings");
    }
    if (lr_ReversedDrawn) {
        lr_Hosts.push_back({FromSurface(lr_Reversed, lr_Reversed.Occlusion), "Occlusion term, reversed depth"});
        Save("reversed-depth-occlusion.png", lr_Hosts.back().Image, "the occlusion term of the reversed-depth host");
    }

    const int lr_Tile = 480;
    std::string ls_SheetError;
    const Picture lr_Near =
        MakeSheet({{lr_FlatSlices, "Depth slices, near plane 0.1"}, {lr_FlatTerm, "Occlusion term, near plane 0.1"}}, 2,
                  lr_Tile, ls_SheetError, "A host with near plane 0.1 and the shipped settings: its depth measured");
    Save("ordinary-near-plane.png", lr_Near, "what a host with near plane 0.1 gets");
    std::vector<SheetTile> lr_Tiles = {{lr_Scene, "Scene (before the plug-in)"},
                                       {lr_Slices, "Depth-slice image, filtered"},
                                       {lr_Term, "Occlusion term (ShowAOOnly on)"},
                                       {lr_Composite, "Composite (ShowAOOnly off)"},
                                       {lr_Reference, "Ray-traced reference"},
                                       {lr_SecondTerm, "Occlusion term, second view"},
                                       {lr_FlatSlices, "Depth slices filtered, near 0.1, as shipped"},
                                       {lr_FlatTerm, "Occlusion term, near 0.1, as shipped"}};
    lr_Tiles.insert(lr_Tiles.end(), lr_Hosts.begin(), lr_Hosts.end());
    DrawTestScenes(lr_Tiles);
    const Picture lr_Sheet = MakeSheet(lr_Tiles, 2, lr_Tile, ls_SheetError, "SSAO plug-in on the software device");
    if (!ls_SheetError.empty()) mr_Report("picture", "the sheet has no labels: " + ls_SheetError);
    Save("sheet.png", lr_Sheet, "the sheet of all pictures");
    return mr_Problems == 0;
}
