#include "EffectSettings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Number(double value) {
    std::ostringstream ls_Text;
    ls_Text.precision(9);
    ls_Text << value;
    return ls_Text.str();
}

// Replaces the value of `#define name value`; false when the line is missing.
bool SetDefine(std::string& text, const std::string& name, const std::string& value) {
    const std::string ls_Key = "#define " + name + " ";
    const size_t lr_At = text.find(ls_Key);
    if (lr_At == std::string::npos) return false;
    const size_t lr_From = lr_At + ls_Key.size();
    const size_t lr_End = text.find('\n', lr_From);
    text.replace(lr_From, (lr_End == std::string::npos ? text.size() : lr_End) - lr_From, value);
    return true;
}

}  // namespace

EffectSettings EffectSettings::ForCamera(const SceneCamera& camera, double scale) {
    EffectSettings lr_Settings;
    lr_Settings.SliceNearest *= scale;
    lr_Settings.SliceFarthest *= scale;
    lr_Settings.Radius *= scale;
    lr_Settings.HostNearPlane = camera.Near;
    lr_Settings.HostFarPlane = camera.Far;
    lr_Settings.HostDepthReversed = camera.ReversedDepth;
    lr_Settings.FieldOfViewY = camera.FovYDegrees;
    return lr_Settings;
}

EffectSettings EffectSettings::ForScene(const SceneCamera& camera, const ScenePixels& pixels, double radius) {
    EffectSettings lr_Settings = ForCamera(camera);
    lr_Settings.Radius = radius;
    std::vector<float> lr_Depths;
    for (size_t i = 0; i < pixels.ViewDepth.size(); ++i)
        if (pixels.IsScene(i)) lr_Depths.push_back(pixels.ViewDepth[i]);
    if (lr_Depths.empty()) return lr_Settings;
    auto Percentile = [&lr_Depths](double share) {
        const size_t lr_At = std::min(lr_Depths.size() - 1, static_cast<size_t>(share * lr_Depths.size()));
        std::nth_element(lr_Depths.begin(), lr_Depths.begin() + static_cast<std::ptrdiff_t>(lr_At), lr_Depths.end());
        return static_cast<double>(lr_Depths[lr_At]);
    };
    // Inside the clip range, and as far apart as the plug-in keeps slices anyway.
    // Settings.fxh has no infinite far plane: a far one serves. What lies past
    // the farthest slice reads as background, so the slices reach half as far
    // again as the farthest 2% of the scene, as the plug-in's measured ones do.
    const double lr_Far = camera.InfiniteFar ? 1e7 : camera.Far;
    lr_Settings.HostFarPlane = lr_Far;
    lr_Settings.SliceNearest = std::clamp(Percentile(0.02), camera.Near, lr_Far / 1.1);
    lr_Settings.SliceFarthest = std::clamp(Percentile(0.98) * 1.5, lr_Settings.SliceNearest * 1.1, lr_Far);
    return lr_Settings;
}

bool ReadProjection(const D3DMATRIX& projection, ProjectionPlanes& planes) {
    const double m22 = projection.m[1][1], m33 = projection.m[2][2], m34 = projection.m[2][3], m43 = projection.m[3][2];
    if (m34 != 1.0 || m33 == 0.0 || m33 == 1.0 || m22 <= 0.0) return false;
    const double lr_First = -m43 / m33, lr_Second = m43 / (1.0 - m33);
    planes.Reversed = lr_First > lr_Second;
    planes.Near = planes.Reversed ? lr_Second : lr_First;
    planes.Far = planes.Reversed ? lr_First : lr_Second;
    planes.FieldOfViewY = 2.0 * std::atan(1.0 / m22) * 180.0 / 3.14159265358979323846;
    return planes.Near > 0.0;
}

std::string SettingsText(const std::string& shipped, const EffectSettings& settings) {
    std::string ls_Text = shipped;
    const bool lr_Ok = SetDefine(ls_Text, "HOST_NEAR_PLANE", Number(settings.HostNearPlane)) &&
                       SetDefine(ls_Text, "HOST_FAR_PLANE", Number(settings.HostFarPlane)) &&
                       SetDefine(ls_Text, "HOST_DEPTH_REVERSED", settings.HostDepthReversed ? "1" : "0") &&
                       SetDefine(ls_Text, "HOST_FIELD_OF_VIEW_Y", Number(settings.FieldOfViewY)) &&
                       SetDefine(ls_Text, "SLICE_NEAREST", Number(settings.SliceNearest)) &&
                       SetDefine(ls_Text, "SLICE_FARTHEST", Number(settings.SliceFarthest)) &&
                       SetDefine(ls_Text, "PLUGIN_SLICE_DEPTHS", settings.PluginSlices ? "1" : "0") &&
                       SetDefine(ls_Text, "AO_RADIUS", Number(settings.Radius)) &&
                       SetDefine(ls_Text, "AO_STRENGTH", Number(settings.Strength));
    return lr_Ok ? ls_Text : std::string();
}

bool WriteEffectFolder(const std::string& sourceFolder, const std::string& folder, const EffectSettings& settings,
                       std::string& error) {
    namespace fs = std::filesystem;
    std::error_code lr_Code;
    fs::create_directories(folder, lr_Code);
    for (const fs::directory_entry& lr_Entry : fs::directory_iterator(sourceFolder, lr_Code)) {
        if (!lr_Entry.is_regular_file()) continue;
        fs::copy_file(lr_Entry.path(), fs::path(folder) / lr_Entry.path().filename(),
                      fs::copy_options::overwrite_existing, lr_Code);
        if (lr_Code) break;
    }
    if (lr_Code) {
        error = "cannot copy " + sourceFolder + " to " + folder + ": " + lr_Code.message();
        return false;
    }
    std::ifstream lr_In(fs::path(sourceFolder) / "Settings.fxh", std::ios::binary);
    std::stringstream ls_Shipped;
    ls_Shipped << lr_In.rdbuf();
    const std::string ls_Text = SettingsText(ls_Shipped.str(), settings);
    if (ls_Text.empty()) {
        error = "Settings.fxh in " + sourceFolder + " lacks a setting";
        return false;
    }
    std::ofstream lr_Out(fs::path(folder) / "Settings.fxh", std::ios::binary | std::ios::trunc);
    lr_Out << ls_Text;
    if (!lr_Out.flush()) {
        error = "cannot write Settings.fxh in " + folder;
        return false;
    }
    return true;
}

std::vector<float> TrueSliceStaircase(const ScenePixels& pixels, const SceneCamera& camera, double u0, double u1) {
    std::vector<float> lr_Values(pixels.ViewDepth.size(), 1.0f);
    if (!(u1 > 0.0)) return lr_Values;
    for (size_t i = 0; i < lr_Values.size(); ++i) {
        if (!pixels.IsScene(i)) continue;
        const double lr_Z = camera.ScreenDepth(pixels.ViewDepth[i]);
        const double lr_U = camera.ReversedDepth ? lr_Z : 1.0 - lr_Z;
        const double lr_Slice = std::clamp(std::floor((lr_U - u0) / u1), 0.0, 9.0);
        lr_Values[i] = static_cast<float>(1.0 - lr_Slice / 10.0);
    }
    return lr_Values;
}
