// One look at what the plug-in makes of the scene: the scene drawn through
// the device, then a frame of the plug-in showing the occlusion term, then
// one showing the composite. The depth-slice image and the occlusion term
// are read from the textures the plug-in copied them into, found through
// the device's copy records.
#pragma once

#include "AmbientReference.h"
#include "EffectSettings.h"
#include "OcclusionMetrics.h"
#include "SceneCamera.h"
#include "SceneMesh.h"

#include "HostContract.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <string>
#include <vector>

// Surface images as the device holds them: 4 bytes per pixel, B G R X. The
// occlusion term is as the plug-in shows it, after any blur passes.
struct PassImages {
    int Width = 0, Height = 0;
    // SliceImage: the depth-slice image as the occlusion's prefilter left it
    // (red and green, DepthSlices.fxh's EncodeSliceValue).
    std::vector<BYTE> Scene, SliceImage, Occlusion, Composite;
    // Pixel shader version of each draw of the ShowAOOnly frame (black fill,
    // slices, occlusion, blur passes).
    std::vector<DWORD> PixelShaderVersions;
};

class OcclusionStudy {
public:
    OcclusionStudy(IDirect3DDevice9* device, ISoftDeviceControl* control, IDirect3D9BasePlugin* plugin)
        : mr_Device_(device), mr_Control_(control), mr_Plugin_(plugin) {}

    // The plug-in must be active. Leaves ShowAOOnly as it found it. First
    // draws `warmUpFrames` presented frames, in which a plug-in that measures
    // the host's depth finds it.
    bool Run(const SceneCamera& camera, const std::vector<SceneVertex>& mesh, PassImages& images, std::string& error,
             int warmUpFrames = 0);
    // The draws of the last frame that are the plug-in's passes (not its depth probes).
    std::vector<SoftDrawRecord> PassDraws() const;

    // The red channel of a B G R X image, 0..1.
    static std::vector<float> RedChannel(const std::vector<BYTE>& bgrx);
    // The slice image's values (red + green / 255, DepthSlices.fxh) over the
    // ten slices' span, 0..1: brighter is nearer.
    static std::vector<float> SliceValues(const std::vector<BYTE>& bgrx);
    // The staircase the slices make of the scene (as TrueSliceStaircase),
    // read off the filtered slice image: its value is the true slice
    // position plus half a unit, whichever layout the plug-in chose.
    static std::vector<float> SliceStaircase(const ScenePixels& pixels, const std::vector<BYTE>& filtered);

private:
    // Draws the scene, reads it into `scene` when given, then runs one plug-in frame.
    bool Frame(ICheckBoxParameter* showOcclusionOnly, bool value, const SceneCamera& camera,
               const std::vector<SceneVertex>& mesh, std::vector<BYTE>* scene, std::string& error);
    bool ReadBackBuffer(std::vector<BYTE>& pixels, std::string& error);

    IDirect3DDevice9* mr_Device_;
    ISoftDeviceControl* mr_Control_;
    IDirect3D9BasePlugin* mr_Plugin_;
};

// The composite's darkening (its luminance over the scene's, where the scene
// is bright enough to tell) against the reference: Pearson correlation over
// those scene pixels.
double CompositeDarkeningCorrelation(const ScenePixels& pixels, const PassImages& images);

// Traces the reference for the view the images were drawn from (into
// `pixels`) and measures the plug-in's occlusion term against it.
OcclusionFigures CompareWithReference(const AnalyticScene& scene, const SceneCamera& camera, const PassImages& images,
                                      const ReferenceSettings& reference, ScenePixels& pixels);
