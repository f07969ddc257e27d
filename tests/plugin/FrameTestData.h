// What a frame test needs besides the device: a host whose paths are a
// directory of the test's own, and small effect files and a noise image.
#pragma once

#include "contract/Guids.h"
#include "contract/IHost.h"

#include <filesystem>
#include <string>

class TestHost : public IHost, public IHostPaths {
public:
    TestHost(const std::wstring& basePath, const std::wstring& dataPath)
        : mr_BasePath(basePath), mr_DataPath(dataPath) {}

    void* GetInterface(const GUID& id) override {
        return GuidBytesEqual(id, IID_IHostPaths) ? static_cast<IHostPaths*>(this) : nullptr;
    }
    std::wstring GetApplicationPath() override { return mr_BasePath; }
    std::wstring GetApplicationName() override { return L"FrameTests"; }
    std::wstring GetConfigPath() override { return mr_BasePath; }
    std::wstring GetShaderPath() override { return mr_DataPath; }
    std::wstring GetTexturePath() override { return mr_DataPath; }
    std::wstring GetScreenshotPath() override { return mr_BasePath; }
    std::wstring GetBasePath() override { return mr_BasePath; }
    std::wstring GetPluginPath() override { return mr_BasePath; }
    std::wstring GetDataPath() override { return mr_DataPath; }

private:
    std::wstring mr_BasePath;
    std::wstring mr_DataPath;
};

// Entry points of the pixel shaders in the test's effect files: the draw
// record names the pass that drew.
namespace FramePass {
extern const char* const Black;
extern const char* const Depth;
extern const char* const Occlusion;
extern const char* const Blur;
extern const char* const Show;
}  // namespace FramePass

// The five effect files and "Noise.bmp" into directory (created if missing).
void WriteFrameTestData(const std::filesystem::path& directory);
void WriteFrameEffectFile(const std::filesystem::path& directory, const std::string& file, const std::string& code);
void WriteFrameNoiseImage(const std::filesystem::path& directory);
