// A plug-in on the software device, switched on through its own activation
// with small effect files of the test's making, and a host whose base and
// data paths are the test's temporary directory.
#pragma once

#include "FrameTestData.h"
#include "SoftDeviceFixture.h"

#include "contract/Guids.h"
#include "contract/IHost.h"
#include "plugin/Plugin.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <memory>
#include <string>
#include <vector>

// Opens the plug-in's insides to the tests.
class FramePlugin : public k_Plugin {
public:
    using k_Plugin::k_Plugin;

    using k_Plugin::ComputeSliceDepth;
    using k_Plugin::CopyBackBufferToTexture;
    using k_Plugin::CreateTexture;
    using k_Plugin::HasViewportDepthRangeChanged;
    using k_Plugin::IsRenderingToBackBuffer;
    using k_Plugin::RenderBlurPasses;
    using k_Plugin::RenderDepthPass;
    using k_Plugin::RenderOcclusionPass;
    using k_Plugin::RenderWithShader;
    using k_Plugin::UpdateRenderTargets;

    using k_Plugin::mr_AOBackBufferTexture;
    using k_Plugin::mr_BackBufferTexture;
    using k_Plugin::mr_BlurPasses;
    using k_Plugin::mr_Caps;
    using k_Plugin::mr_ClearMask_;
    using k_Plugin::mr_CurrentStateBlock_;
    using k_Plugin::mr_DefaultStateBlock_;
    using k_Plugin::mr_LogPath;
    using k_Plugin::mr_NoiseTexture;
    using k_Plugin::mr_Projection;
    using k_Plugin::mr_RenderBlackShader_;
    using k_Plugin::mr_RenderDepthShader_;
    using k_Plugin::mr_ScreenMask_;
    using k_Plugin::mr_ShaderSystem_;
    using k_Plugin::mr_ShowAOOnly;
    using k_Plugin::mr_ShowTextureShader_;
    using k_Plugin::mr_SliceCount;
    using k_Plugin::mr_SliceRange;
    using k_Plugin::mr_SliceStart;
    using k_Plugin::mr_SlicesDirty;
    using k_Plugin::mr_SSAOShader_;
    using k_Plugin::mr_View;
    using k_Plugin::mr_Viewport;
    using k_Plugin::mr_ZBackBufferTexture;
    using k_Plugin::mr_ZBlurShader_;
    using k_Plugin::mr_ZScreenMask_;
    using k_Plugin::mr_ZScreenMasks;
};

class FrameFixture : public SoftDeviceFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the five effect files and the noise image, makes the plug-in,
    // initialises it and switches it on.
    void StartPlugin();
    // Switches the plug-in off, deinitialises and deletes it (idempotent).
    void StopPlugin();

    // The effect files the plug-in loads; a test may change one before StartPlugin.
    void WriteEffectFile(const std::string& file, const std::string& code);
    std::filesystem::path EffectDirectory() const;

    // Sets the check box the host sees.
    void SetShowAOOnly(bool on);

    // The log so far, and what was added to it since the last Mark.
    std::string ReadLog() const;
    void MarkLog();
    std::string LogSinceMark() const;

    // Pixel-shader names of the draws since the last ClearRecords.
    std::vector<std::string> DrawNames() const;
    // The draws made by one pass.
    std::vector<SoftDrawRecord> DrawsOf(const char* pass) const;

    std::unique_ptr<TestHost> mr_Host;
    FramePlugin* mr_Plugin_ = nullptr;
    std::string mr_LogMark;
};

// Counts occurrences of needle in text.
size_t CountOf(const std::string& text, const std::string& needle);
