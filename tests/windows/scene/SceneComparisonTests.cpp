// The shipped module's frames of the demo's room under Wine (real Direct3D 9
// and D3DX reading the compiled effects, drawn by
// windows_wine_scene_frames_<arch>) against the same session on the software
// device from the same compiled effects. Frames that differ beyond the
// limits are written as PNG files (both frames and their difference)
// beside Wine's.
//
// With --slices the data folder holds the slice-view effect in place of the
// occlusion effect, and the test compares the module's slice image instead.
// With --near the host's camera has that near plane (the data folder's
// Settings.fxh matches it) and an ordinary host's limits apply; with --view
// second it looks from the quality tests' second view. With --projection
// none the host leaves no projection (the shipped Settings.fxh then has the
// module measure the depth), and --warm-up N draws N frames before the
// captured ones, as the Wine run did.
//
//   wine_scene_comparison_tests <compiled data folder> <Wine output folder> [--slices] [--near D] [--view second]
//                               [--projection none] [--warm-up N] [gtest options]
#include "PassPng.h"
#include "PathHost.h"
#include "PluginModule.h"
#include "SceneFrames.h"
#include "SoftTestDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "WineRunFiles.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string g_CompiledData;
std::string g_WineOutput;
bool g_Slices = false;
SceneCamera g_Camera = SceneCamera::DemoView();
int g_WarmUp = 0;

using winerun::k_EffectFiles;
using winerun::ReadLines;

// The data folder's path, which differs between the two runs, as "<data>".
std::string WithoutDataPath(std::string line) {
    const size_t lr_Plugins = line.find("Plugins\\SSAO\\");
    if (lr_Plugins == std::string::npos) return line;
    const size_t lr_Start = line.rfind(": ", lr_Plugins);
    const size_t lr_From = lr_Start == std::string::npos ? 0 : lr_Start + 2;
    return line.replace(lr_From, lr_Plugins - lr_From, "<data>");
}

// The frame count of a measured layout's line as "<n>": the device answers
// queries when it can and the module never waits, so Wine's counts arrive
// frames later than the software device's (the first layout after 6 to 9
// frames under Wine, from run to run, after 5 on the software device); the
// layout itself must not differ.
std::string WithoutMeasuringFrames(std::string line) {
    const size_t lr_Measured = line.find("Depth from the measured depth after ");
    if (lr_Measured == std::string::npos) return line;
    const size_t lr_From = line.find(" after ", lr_Measured) + 7;
    const size_t lr_To = line.find(" frames", lr_From);
    return lr_To == std::string::npos ? line : line.replace(lr_From, lr_To - lr_From, "<n>");
}

PassImage AsImage(const SceneFrame& frame) {
    PassImage lr_Image;
    lr_Image.Width = frame.Width;
    lr_Image.Height = frame.Height;
    lr_Image.Format = D3DFMT_X8R8G8B8;
    lr_Image.BytesPerPixel = 4;
    lr_Image.Bytes.resize(frame.Pixels.size() * 4);
    for (size_t i = 0; i < frame.Pixels.size(); ++i)
        for (int c = 0; c < 4; ++c) lr_Image.Bytes[4 * i + c] = static_cast<unsigned char>(frame.Pixels[i] >> (8 * c));
    return lr_Image;
}

// Float steps of the projection's depth scale the session is moved by.
constexpr int k_DepthNudge = 1;

bool WithinTwoSteps(std::uint32_t a, std::uint32_t b, unsigned* largest) {
    unsigned lr_Largest = 0;
    for (int c = 0; c < 24; c += 8) {
        const int lr_A = static_cast<int>((a >> c) & 0xFF), lr_B = static_cast<int>((b >> c) & 0xFF);
        lr_Largest = std::max(lr_Largest, static_cast<unsigned>(std::abs(lr_A - lr_B)));
    }
    if (largest) *largest = std::max(*largest, lr_Largest);
    return lr_Largest <= 2;
}

// Pixels whose value moves beyond 2/255 when the depths move either way.
std::vector<bool> UndecidedPixels(const SceneFrame& base, const SceneFrame& lower, const SceneFrame& higher) {
    std::vector<bool> lr_Undecided(base.Pixels.size(), false);
    for (size_t i = 0; i < base.Pixels.size() && i < lower.Pixels.size() && i < higher.Pixels.size(); ++i)
        lr_Undecided[i] = !WithinTwoSteps(base.Pixels[i], lower.Pixels[i], nullptr) ||
                          !WithinTwoSteps(base.Pixels[i], higher.Pixels[i], nullptr);
    return lr_Undecided;
}

// `mask` with every pixel within `radius` (a square) of a set one set too.
std::vector<bool> Dilated(const std::vector<bool>& mask, int width, int height, int radius) {
    std::vector<bool> lr_Out(mask.size(), false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (!mask[static_cast<size_t>(y) * width + x]) continue;
            for (int v = std::max(0, y - radius); v <= std::min(height - 1, y + radius); ++v)
                for (int u = std::max(0, x - radius); u <= std::min(width - 1, x + radius); ++u)
                    lr_Out[static_cast<size_t>(v) * width + u] = true;
        }
    return lr_Out;
}

struct Agreement {
    size_t Pixels = 0;
    size_t Within = 0;
    unsigned Largest = 0;
    double Percent() const { return Pixels ? 100.0 * static_cast<double>(Within) / static_cast<double>(Pixels) : 0.0; }
};

// How many pixels (those not `skip`ped) agree within 2/255 on every channel.
Agreement Agree(const SceneFrame& a, const SceneFrame& b, const std::vector<bool>* skip) {
    Agreement lr_Result;
    for (size_t i = 0; i < a.Pixels.size() && i < b.Pixels.size(); ++i) {
        if (skip && (*skip)[i]) continue;
        ++lr_Result.Pixels;
        lr_Result.Within += WithinTwoSteps(a.Pixels[i], b.Pixels[i], &lr_Result.Largest);
    }
    return lr_Result;
}

// The undecided pixels in magenta over the frame.
SceneFrame MaskFrame(const std::vector<bool>& undecided, const SceneFrame& frame) {
    SceneFrame lr_Mask = frame;
    for (size_t i = 0; i < lr_Mask.Pixels.size() && i < undecided.size(); ++i)
        if (undecided[i]) lr_Mask.Pixels[i] = 0xFF00FFu;
    return lr_Mask;
}

// The session on a fresh software device, its log in `base`.
bool DrawOnSoftwareDevice(const std::string& base, SceneFrames& frames, std::string& error, int depthNudge = 0,
                          bool fixedPointFiltering = false) {
    PluginModule lr_Module;
    if (!lr_Module.Load(SSAO_BUILT_MODULE, error)) return false;
    IDirect3D9* lr_Direct3D_ = nullptr;
    IDirect3DDevice9* lr_Device_ = nullptr;
    if (FAILED(CreateSoftDevice(SoftPresentParameters(160, 90), D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Direct3D_,
                                &lr_Device_))) {
        error = "no software device";
        return false;
    }
    SoftControlOf(lr_Device_)->SetFixedPointFiltering(fixedPointFiltering);
    const std::string ls_Data = g_CompiledData + "/";
    PathHost lr_Host(std::wstring(base.begin(), base.end()), std::wstring(ls_Data.begin(), ls_Data.end()));
    IDirect3D9BasePlugin* lr_Plugin_ = lr_Module.CreatePlugin()(lr_Host.AsHost());
    const bool lr_Drawn =
        lr_Plugin_ && RunSceneFrames(lr_Device_, lr_Plugin_, frames, error, g_Camera, depthNudge, g_WarmUp);
    delete lr_Plugin_;
    const ULONG lr_Left = lr_Device_->Release();
    lr_Direct3D_->Release();
    if (lr_Drawn && lr_Left != 0) {
        error = "the session left " + std::to_string(lr_Left) + " references on the device";
        return false;
    }
    return lr_Drawn;
}

// The session on the software device into <Wine output>/software/, and again
// with every depth moved a step either way (software-nudged-0 and -1) and,
// when asked, with fixed-point filtering (software-fixed-point).
void DrawAllOnSoftwareDevice(SceneFrames& frames, SceneFrames (&nudged)[2], SceneFrames* fixedPoint = nullptr) {
    // <Wine output>/<name>/, emptied, for one session's log.
    auto FreshFolder = [](const std::string& name) {
        const std::string ls_Folder = g_WineOutput + "/" + name + "/";
        std::filesystem::remove_all(ls_Folder);
        std::filesystem::create_directories(ls_Folder);
        return ls_Folder;
    };
    std::string ls_Error;
    ASSERT_TRUE(DrawOnSoftwareDevice(FreshFolder("software"), frames, ls_Error)) << ls_Error;
    // Depth precision alone: the same session with every depth moved a few
    // steps either way. The slices lie 75 steps of the 24-bit depth buffer
    // apart at this near plane, and no two rasterisers agree on every
    // step, so pixels whose term changes under such a move are decided by
    // depth rounding, not by either runtime.
    for (int n = 0; n < 2; ++n) {
        ASSERT_TRUE(DrawOnSoftwareDevice(FreshFolder("software-nudged-" + std::to_string(n)), nudged[n], ls_Error,
                                         n ? k_DepthNudge : -k_DepthNudge))
            << ls_Error;
    }
    // Filtering precision alone: Direct3D leaves it to the driver, and
    // OpenGL's software rasteriser under Wine blends 8-bit textures in 8-bit
    // fixed point.
    if (fixedPoint) {
        ASSERT_TRUE(DrawOnSoftwareDevice(FreshFolder("software-fixed-point"), *fixedPoint, ls_Error, 0, true))
            << ls_Error;
    }
}

// Wine's log reports every compiled effect loaded, and the software
// device's log holds the same lines, paths apart.
void ExpectTheSameLogs(const std::vector<std::string>& wineLog, const std::vector<std::string>& softLog) {
    for (const char* lr_File : k_EffectFiles) {
        const std::string ls_Loaded = std::string("Plugins\\SSAO\\") + lr_File + " shader loaded.";
        bool lr_Found = false;
        for (const std::string& ls_Line : wineLog) lr_Found = lr_Found || ls_Line.find(ls_Loaded) != std::string::npos;
        EXPECT_TRUE(lr_Found) << lr_File << " is not reported loaded in Wine's log";
    }
    for (const std::string& ls_Line : wineLog)
        EXPECT_EQ(ls_Line.find("shader not loaded"), std::string::npos) << ls_Line;
    EXPECT_EQ(softLog.size(), wineLog.size());
    for (size_t i = 0; i < softLog.size() && i < wineLog.size(); ++i)
        EXPECT_EQ(WithoutMeasuringFrames(WithoutDataPath(wineLog[i])),
                  WithoutMeasuringFrames(WithoutDataPath(softLog[i])))
            << "log line " << i + 1;
}

// Both frames, their difference (16 times magnified) and the undecided
// pixels in magenta, as <stem>-{wine,software,difference,undecided}.png.
void WriteEvidence(const std::string& stem, const SceneFrame& wine, const SceneFrame& soft,
                   const std::vector<bool>& undecided) {
    WritePassPng(stem + "-wine.png", AsImage(wine));
    WritePassPng(stem + "-software.png", AsImage(soft));
    WriteDifferencePng(stem + "-difference.png", AsImage(wine), AsImage(soft));
    WritePassPng(stem + "-undecided.png", AsImage(MaskFrame(undecided, soft)));
}

struct FrameKind {
    const char* Name;
    SceneFrame SceneFrames::*Member;
};
const FrameKind k_Frames[] = {
    {"scene", &SceneFrames::Scene}, {"occlusion", &SceneFrames::Occlusion}, {"composite", &SceneFrames::Composite}};

// Wine's frames, and the session drawn on the software device as it is,
// with the depths moved either way and with fixed-point filtering; the two
// logs compared.
class WineFrames : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(ls_Wine + "composite.ppm"))
            GTEST_SKIP() << "no frames from Wine in " << g_WineOutput << " (the Wine run was skipped or failed)";
        DrawAllOnSoftwareDevice(mr_Soft, mr_Nudged, &mr_FixedPoint);
        if (HasFatalFailure()) return;
        ExpectTheSameLogs(ReadLines(ls_Wine + "Vexil.log"), ReadLines(ls_Base + "Vexil.log"));
    }

    // The software device's frame written beside its log, Wine's read, and
    // the pixels the depth move decides; a fatal failure when Wine's is missing.
    void ReadFrames(const FrameKind& kind, SceneFrame& wine, std::vector<bool>& undecided) {
        const SceneFrame& lr_Soft = mr_Soft.*kind.Member;
        WriteFramePpm(ls_Base + kind.Name + ".ppm", lr_Soft);
        ASSERT_TRUE(ReadFramePpm(ls_Wine + kind.Name + ".ppm", wine)) << kind.Name;
        ASSERT_TRUE(wine.Width == lr_Soft.Width && wine.Height == lr_Soft.Height) << kind.Name;
        undecided = UndecidedPixels(lr_Soft, mr_Nudged[0].*kind.Member, mr_Nudged[1].*kind.Member);
    }

    // A host with an ordinary near plane (0.1). Its depth buffer resolves
    // the room finely, so depth rounding decides next to nothing, and the
    // frames hold to 2/255 on 99.5% of all pixels against the software
    // device filtering as the driver under Wine does (Direct3D leaves
    // filtering precision to the driver); the scene and the composite hold
    // to that with the device's own filtering too.
    void ExpectAnOrdinaryHostsFrames() {
        for (const FrameKind& lr_Frame : k_Frames) {
            const SceneFrame& lr_SoftFrame = mr_Soft.*lr_Frame.Member;
            const SceneFrame& lr_Fixed = mr_FixedPoint.*lr_Frame.Member;
            SceneFrame lr_WineFrame;
            std::vector<bool> lr_Undecided;
            ReadFrames(lr_Frame, lr_WineFrame, lr_Undecided);
            if (HasFatalFailure()) return;
            const Agreement lr_Own = Agree(lr_WineFrame, lr_SoftFrame, nullptr);
            const Agreement lr_AsDriver = Agree(lr_WineFrame, lr_Fixed, nullptr);
            const Agreement lr_Decided = Agree(lr_WineFrame, lr_Fixed, &lr_Undecided);
            const size_t lr_UndecidedCount = lr_Own.Pixels - lr_Decided.Pixels;
            std::printf(
                "%s: all %zu pixels within 2/255: %.2f%% with the device's filtering (largest %u/255), %.2f%% with the "
                "driver's fixed-point filtering (largest %u/255); %zu decided by depth rounding, the rest %.2f%% "
                "within\n",
                lr_Frame.Name, lr_Own.Pixels, lr_Own.Percent(), lr_Own.Largest, lr_AsDriver.Percent(),
                lr_AsDriver.Largest, lr_UndecidedCount, lr_Decided.Percent());
            if (lr_AsDriver.Within < lr_AsDriver.Pixels || lr_Own.Within < lr_Own.Pixels)
                WriteEvidence(ls_Wine + lr_Frame.Name, lr_WineFrame, lr_SoftFrame, lr_Undecided);
            if (lr_AsDriver.Within < lr_AsDriver.Pixels)
                WriteEvidence(ls_Wine + lr_Frame.Name + "-fixed-point", lr_WineFrame, lr_Fixed, lr_Undecided);
            EXPECT_GE(lr_AsDriver.Percent(), 99.5) << lr_Frame.Name << ": see " << ls_Wine << lr_Frame.Name << "-*.png";
            // The raw term's grain turns filtering's last bits into whole steps;
            // the composite's filter evens them out.
            if (std::string(lr_Frame.Name) != "occlusion") {
                EXPECT_GE(lr_Own.Percent(), 99.5) << lr_Frame.Name << ": see " << ls_Wine << lr_Frame.Name << "-*.png";
            }
            EXPECT_LE(lr_UndecidedCount * 100, lr_Own.Pixels) << lr_Frame.Name << ": depth rounding decides over 1%";
            // The occlusion's passes hand each other 8-bit pictures: a last-bit
            // difference in the filtered depth may move a walk's sample across
            // the radius's cut, at a few pixels in ten thousand.
            const double lr_Least = std::string(lr_Frame.Name) == "occlusion" ? 99.75 : 99.9;
            EXPECT_GE(lr_Decided.Percent(), lr_Least) << lr_Frame.Name << ": pixels depth rounding does not decide";
        }
    }

    const std::string ls_Wine = g_WineOutput + "/";
    const std::string ls_Base = g_WineOutput + "/software/";
    SceneFrames mr_Soft, mr_Nudged[2], mr_FixedPoint;
};
class WineSceneFrames : public WineFrames {};
class WineOrdinaryFrames : public WineFrames {};
class WineShippedFrames : public WineFrames {};

// The demo's own projection (near plane 0.0003), where depth precision
// decides part of the picture.
TEST_F(WineSceneFrames, CompiledEffectsLoadUnderWineAndFramesMatchTheSoftwareDevice) {
    std::vector<bool> lr_TermPrecision;  // the occlusion term's pixels that depth or filtering decides
    for (const FrameKind& lr_Frame : k_Frames) {
        const SceneFrame& lr_SoftFrame = mr_Soft.*lr_Frame.Member;
        SceneFrame lr_WineFrame;
        std::vector<bool> lr_Undecided;
        ReadFrames(lr_Frame, lr_WineFrame, lr_Undecided);
        if (HasFatalFailure()) return;
        const Agreement lr_All = Agree(lr_WineFrame, lr_SoftFrame, nullptr);
        const Agreement lr_Decided = Agree(lr_WineFrame, lr_SoftFrame, &lr_Undecided);
        // Pixels that filtering precision moves too.
        std::vector<bool> lr_Precision = lr_Undecided;
        const SceneFrame& lr_Fixed = mr_FixedPoint.*lr_Frame.Member;
        for (size_t i = 0; i < lr_Precision.size() && i < lr_Fixed.Pixels.size(); ++i)
            lr_Precision[i] = lr_Precision[i] || !WithinTwoSteps(lr_SoftFrame.Pixels[i], lr_Fixed.Pixels[i], nullptr);
        const Agreement lr_Robust = Agree(lr_WineFrame, lr_SoftFrame, &lr_Precision);
        auto Share = [&](size_t pixels) {
            return 100.0 * static_cast<double>(pixels) / static_cast<double>(lr_All.Pixels);
        };
        std::printf(
            "%s: all %zu pixels: %.2f%% within 2/255, largest %u/255; the %zu decided by more than depth "
            "rounding (%.2f%%): %.2f%% within 2/255; the %zu decided by neither depth rounding nor filtering "
            "precision (%.2f%%): %.2f%% within 2/255\n",
            lr_Frame.Name, lr_All.Pixels, lr_All.Percent(), lr_All.Largest, lr_Decided.Pixels, Share(lr_Decided.Pixels),
            lr_Decided.Percent(), lr_Robust.Pixels, Share(lr_Robust.Pixels), lr_Robust.Percent());
        if (lr_All.Within < lr_All.Pixels)
            WriteEvidence(ls_Wine + lr_Frame.Name, lr_WineFrame, lr_SoftFrame, lr_Undecided);
        // The scene holds to 99.5%. The occlusion term and the composite
        // hold to what they measure (see the README, "Differences with the
        // new effects"): the dithered slices turn any one-step difference
        // in the scene's stored depth into a slice step at scattered pixels,
        // which the uniform move above cannot single out (without the
        // dither both reach 99.5%); the dither's position, taken from
        // gradients of coordinates that are not exact at this width, and
        // Wine's 8-bit filtering add the rest.
        const bool lr_Scene = std::string(lr_Frame.Name) == "scene";
        const double lr_Least = lr_Scene ? 99.5 : (std::string(lr_Frame.Name) == "occlusion" ? 94.5 : 95.5);
        EXPECT_GE(lr_Decided.Percent(), lr_Least) << lr_Frame.Name << ": see " << ls_Wine << lr_Frame.Name << "-*.png";
        // Filtering precision explains most of the occlusion term's rest; what
        // is left comes from the occlusion's passes, which hand each
        // other 8-bit pictures: a last-bit difference in the filtered depth
        // may move a walk's sample across the radius's cut.
        if (std::string(lr_Frame.Name) == "occlusion") {
            EXPECT_GE(lr_Robust.Percent(), 97.5);
            lr_TermPrecision = lr_Precision;
        }
        // The composite filters the term up to 2.5 pixels around each pixel
        // (ShowTexture.hlsl): where every term pixel it reads is decided by
        // neither cause, it agrees.
        if (std::string(lr_Frame.Name) == "composite" && lr_TermPrecision.size() == lr_Precision.size()) {
            std::vector<bool> lr_Around = Dilated(lr_TermPrecision, static_cast<int>(lr_SoftFrame.Width),
                                                  static_cast<int>(lr_SoftFrame.Height), 3);
            for (size_t i = 0; i < lr_Around.size(); ++i) lr_Around[i] = lr_Around[i] || lr_Precision[i];
            const Agreement lr_Clear = Agree(lr_WineFrame, lr_SoftFrame, &lr_Around);
            std::printf("composite: the %zu whose filter reads only such term pixels (%.2f%%): %.2f%% within 2/255\n",
                        lr_Clear.Pixels, Share(lr_Clear.Pixels), lr_Clear.Percent());
            EXPECT_GE(lr_Clear.Percent(), 99.5);
            EXPECT_GE(lr_Clear.Pixels * 10, lr_All.Pixels * 2) << "too few composite pixels clear of the term's";
        }
        // The move must leave most of the picture decided, or the comparison says nothing.
        EXPECT_GE(lr_Decided.Pixels * 10, lr_All.Pixels * (lr_Scene ? 8 : 6)) << lr_Frame.Name;
    }
}

// A host with near plane 0.1 and a Settings.fxh typed for it.
TEST_F(WineOrdinaryFrames, AnOrdinaryHostsFramesMatchTheSoftwareDeviceOnNearlyEveryPixel) {
    ExpectAnOrdinaryHostsFrames();
}

// The same host drawing with vertex shaders (no projection to read) and the
// shipped Settings.fxh: the module measures the depth with occlusion
// queries over the warm-up frames on both devices, and the frames hold to
// the limits of the host that types its settings.
TEST_F(WineShippedFrames, TheMeasuredDepthAndTheFramesMatchTheSoftwareDevice) {
    for (const std::string& ls_Log : {ls_Wine + "Vexil.log", ls_Base + "Vexil.log"}) {
        size_t lr_Layouts = 0;
        for (const std::string& ls_Line : ReadLines(ls_Log)) {
            if (ls_Line.find("SSAO: Depth from ") == std::string::npos) continue;
            ++lr_Layouts;
            std::printf("%s: %s\n", ls_Log.c_str(), ls_Line.c_str());
            EXPECT_NE(ls_Line.find("Depth from the measured depth"), std::string::npos) << ls_Log << ": " << ls_Line;
        }
        EXPECT_GT(lr_Layouts, 0u) << ls_Log << " names no depth layout";
    }
    ExpectAnOrdinaryHostsFrames();
}

// The module's own depth-slice image, shown by the slice-view effect in
// place of the occlusion term: each pixel holds (i + 1 - t) units of 24/255
// for its nearest passing slice i and its dither offset t.
TEST(WineSliceFrames, TheModulesSliceImageMatchesTheSoftwareDevice) {
    const std::string ls_Wine = g_WineOutput + "/";
    if (!std::filesystem::exists(ls_Wine + "occlusion.ppm"))
        GTEST_SKIP() << "no frames from Wine in " << g_WineOutput << " (the Wine run was skipped or failed)";
    for (const std::string& ls_Line : ReadLines(ls_Wine + "Vexil.log"))
        EXPECT_EQ(ls_Line.find("shader not loaded"), std::string::npos) << ls_Line;
    SceneFrames lr_Soft, lr_Nudged[2];
    DrawAllOnSoftwareDevice(lr_Soft, lr_Nudged);
    if (HasFatalFailure()) return;
    SceneFrame lr_WineSlices;
    ASSERT_TRUE(ReadFramePpm(ls_Wine + "occlusion.ppm", lr_WineSlices));
    const SceneFrame& lr_SoftSlices = lr_Soft.Occlusion;
    ASSERT_EQ(lr_WineSlices.Pixels.size(), lr_SoftSlices.Pixels.size());
    const std::vector<bool> lr_Undecided =
        UndecidedPixels(lr_SoftSlices, lr_Nudged[0].Occlusion, lr_Nudged[1].Occlusion);
    size_t lr_Decided = 0, lr_Identical = 0, lr_OneSlice = 0, lr_AllIdentical = 0;
    for (size_t i = 0; i < lr_SoftSlices.Pixels.size(); ++i) {
        const int lr_A = static_cast<int>((lr_WineSlices.Pixels[i] >> 16) & 0xFF);
        const int lr_B = static_cast<int>((lr_SoftSlices.Pixels[i] >> 16) & 0xFF);
        const bool lr_Same = (lr_WineSlices.Pixels[i] & 0xFFFFFFu) == (lr_SoftSlices.Pixels[i] & 0xFFFFFFu);
        lr_AllIdentical += lr_Same;
        if (lr_Undecided[i]) continue;
        ++lr_Decided;
        lr_Identical += lr_Same;
        lr_OneSlice += !lr_Same && std::abs(std::abs(lr_A - lr_B) - 24) <= 1;
    }
    const size_t lr_Pixels = lr_SoftSlices.Pixels.size();
    auto Percent = [](size_t part, size_t whole) {
        return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
    };
    std::printf(
        "slices: all %zu pixels: %.2f%% identical; the %zu decided by more than depth rounding (%.2f%%): %.2f%% "
        "identical, %.2f%% one slice step apart, %.2f%% otherwise\n",
        lr_Pixels, Percent(lr_AllIdentical, lr_Pixels), lr_Decided, Percent(lr_Decided, lr_Pixels),
        Percent(lr_Identical, lr_Decided), Percent(lr_OneSlice, lr_Decided),
        Percent(lr_Decided - lr_Identical - lr_OneSlice, lr_Decided));
    if (lr_AllIdentical < lr_Pixels) WriteEvidence(ls_Wine + "slices", lr_WineSlices, lr_SoftSlices, lr_Undecided);
    EXPECT_EQ(lr_Decided - lr_Identical - lr_OneSlice, 0u) << "pixels apart by more than one slice step";
    if (g_Camera.Near == SceneCamera::DemoView().Near) {
        // The room in the last 3e-5 of the depth range: a scene depth a step
        // from a dithered threshold may land on either side.
        EXPECT_GE(Percent(lr_Identical, lr_Decided), 99.5) << "see " << ls_Wine << "slices-*.png";
        EXPECT_GE(lr_Decided * 10, lr_Pixels * 6) << "the depth move leaves too little of the picture decided";
    } else {
        // An ordinary depth range: nearly every decided pixel identical (a
        // slice's depth, written by the shader from the dither, may round to
        // either side of a scene depth it equals), nearly all decided.
        EXPECT_GE(lr_Identical * 10000, lr_Decided * 9995) << "see " << ls_Wine << "slices-*.png";
        EXPECT_GE(lr_Decided * 1000, lr_Pixels * 999) << "depth rounding decides over 0.1% of the slice image";
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: wine_scene_comparison_tests <compiled data folder> <Wine output folder> [--slices]\n");
        return 2;
    }
    g_CompiledData = argv[1];
    g_WineOutput = argv[2];
    for (int i = 3; i < argc; ++i) {
        const std::string ls_Argument = argv[i];
        if (ls_Argument == "--slices") {
            g_Slices = true;
        } else if (ls_Argument == "--near" && i + 1 < argc) {
            g_Camera.Near = std::atof(argv[++i]);
        } else if (ls_Argument == "--view" && i + 1 < argc && std::string(argv[i + 1]) == "second") {
            const double lr_Near = g_Camera.Near;
            g_Camera = SceneCamera::SecondView();
            g_Camera.Near = lr_Near;
            ++i;
        } else if (ls_Argument == "--projection" && i + 1 < argc && std::string(argv[i + 1]) == "none") {
            g_Camera.LeavesProjection = false;
            ++i;
        } else if (ls_Argument == "--warm-up" && i + 1 < argc) {
            g_WarmUp = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "wine_scene_comparison_tests: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    // One comparison per run: the frames of the shipped effects, or the slice image.
    const bool lr_Ordinary = g_Camera.Near != SceneCamera::DemoView().Near;
    const char* lr_Frames = !g_Camera.LeavesProjection ? "WineShippedFrames.*"
                            : lr_Ordinary              ? "WineOrdinaryFrames.*"
                                                       : "WineSceneFrames.*";
    ::testing::GTEST_FLAG(filter) = g_Slices ? "WineSliceFrames.*" : lr_Frames;
    return RUN_ALL_TESTS();
}
