// A plug-in on the software device, switched on through its own activation
// with small effect files of the test's making, and a host whose base and
// data paths are the test's temporary directory.
#pragma once

#include "Plugin.h"
#include "ScreenMask.h"
#include "FrameTestData.h"
#include "SoftDeviceFixture.h"
#include "TestHost.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <memory>
#include <string>
#include <vector>

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
    // The shipped depth effect and the files it includes, read from `shipped`,
    // with `define`'s line of Settings.fxh set to `value` when one is named.
    void WriteShippedDepthEffect(const std::filesystem::path& shipped, const std::string& define = "",
                                 const std::string& value = "");
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
    // The slice vertices of the depth pass's one draw, by vertex index (empty, and a failure, without it).
    using Vertex = ScreenMask::ScreenMaskVertex;
    std::vector<Vertex> SliceVertices() const;
    // Whether the draw samples the texture whose level 0 is surface (a copy's destination).
    static bool ReadsSurface(const SoftDrawRecord& draw, IDirect3DSurface9* surface);

    std::unique_ptr<TestHost> mr_Host;
    k_Plugin* mr_Plugin_ = nullptr;
    std::string mr_LogMark;
};

// Counts occurrences of needle in text.
size_t CountOf(const std::string& text, const std::string& needle);
