// A host with the path service, a plug-in with its insides exposed, and
// helpers to read the log and to lay out a data folder.
#pragma once

#include "SoftDeviceFixture.h"
#include "contract/Guids.h"
#include "contract/IHost.h"
#include "plugin/Plugin.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class TestHost : public IHost, public IHostPaths {
public:
    TestHost(const std::wstring& basePath, const std::wstring& dataPath) : mr_BasePath(basePath), mr_DataPath(dataPath) {}

    void* GetInterface(const GUID& id) override {
        ++mr_Queries;
        if (GuidBytesEqual(id, IID_IHostPaths)) return static_cast<IHostPaths*>(this);
        return nullptr;
    }
    std::wstring GetApplicationPath() override { return L""; }
    std::wstring GetApplicationName() override { return L"test host"; }
    std::wstring GetConfigPath() override { return L""; }
    std::wstring GetShaderPath() override { return L""; }
    std::wstring GetTexturePath() override { return L""; }
    std::wstring GetScreenshotPath() override { return L""; }
    std::wstring GetBasePath() override { return mr_BasePath; }
    std::wstring GetPluginPath() override { return L""; }
    std::wstring GetDataPath() override {
        ++mr_DataPathCalls;
        return mr_DataPath;
    }

    std::wstring mr_BasePath;
    std::wstring mr_DataPath;
    int mr_Queries = 0;
    int mr_DataPathCalls = 0;
};

// k_Plugin with its members and protected steps in reach of the tests.
class ExposedPlugin : public k_Plugin {
public:
    using k_Plugin::k_Plugin;
    using k_Plugin::LoadEffectFile;
    using k_Plugin::LoadTextureFile;
    using k_Plugin::mr_AOBackBufferTexture;
    using k_Plugin::mr_BackBufferTexture;
    using k_Plugin::mr_BlurPasses;
    using k_Plugin::mr_CurrentStateBlock_;
    using k_Plugin::mr_DefaultStateBlock_;
    using k_Plugin::mr_Device_;
    using k_Plugin::mr_LogPath;
    using k_Plugin::mr_NoiseTexture;
    using k_Plugin::mr_Projection;
    using k_Plugin::mr_RenderBlackShader_;
    using k_Plugin::mr_RenderDepthShader_;
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
    using k_Plugin::mr_WasActive;
    using k_Plugin::mr_ZBackBufferTexture;
    using k_Plugin::mr_ZBlurShader_;
};

// UTF-8 file-system path <-> wide text, through the platform's own conversion.
inline std::wstring WidePath(const std::filesystem::path& path) {
    const std::string ls_Narrow = path.string();
    if (ls_Narrow.empty()) return std::wstring();
    const int lr_Size = MultiByteToWideChar(CP_UTF8, 0, ls_Narrow.data(), static_cast<int>(ls_Narrow.size()), nullptr, 0);
    std::wstring ls_Out(static_cast<size_t>(lr_Size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, ls_Narrow.data(), static_cast<int>(ls_Narrow.size()), &ls_Out[0], lr_Size);
    return ls_Out;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream lr_In(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(lr_In), std::istreambuf_iterator<char>());
}

// The log as lines, each without its "\n".
inline std::vector<std::string> ReadLines(const std::filesystem::path& path) {
    std::vector<std::string> lr_Lines;
    std::istringstream lr_In(ReadFile(path));
    std::string ls_Line;
    while (std::getline(lr_In, ls_Line)) lr_Lines.push_back(ls_Line);
    return lr_Lines;
}

// A small uncompressed 24-bit BMP of the given size.
inline void WriteBmp(const std::filesystem::path& path, int width, int height) {
    const int lr_Row = (width * 3 + 3) & ~3;
    const int lr_ImageSize = lr_Row * height;
    std::vector<unsigned char> lr_File(54 + static_cast<size_t>(lr_ImageSize), 0);
    auto Put32 = [&lr_File](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) lr_File[at + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    lr_File[0] = 'B';
    lr_File[1] = 'M';
    Put32(2, static_cast<uint32_t>(lr_File.size()));
    Put32(10, 54);
    Put32(14, 40);
    Put32(18, static_cast<uint32_t>(width));
    Put32(22, static_cast<uint32_t>(height));
    lr_File[26] = 1;
    lr_File[28] = 24;
    Put32(34, static_cast<uint32_t>(lr_ImageSize));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x) lr_File[54 + static_cast<size_t>(y * lr_Row + x)] = static_cast<unsigned char>(x * 37 + y * 11);
    std::ofstream lr_Out(path, std::ios::binary);
    lr_Out.write(reinterpret_cast<const char*>(lr_File.data()), static_cast<std::streamsize>(lr_File.size()));
}

// The twelve lines of a deactivation, in order.
inline std::vector<std::string> DeactivationLines() {
    return {"SSAO: Deactivating...",
            "SSAO: Deinitialising mr_ShaderSystem_...",
            "SSAO: Deinitialising mr_ScreenMask_...",
            "SSAO: Deinitialising mr_ZScreenMask_...",
            "SSAO: Deinitialising mr_ClearMask_...",
            "SSAO: Deinitialising mr_NoiseTexture...",
            "SSAO: Deinitialising mr_BackBufferTexture...",
            "SSAO: Deinitialising mr_AOBackBufferTexture...",
            "SSAO: Deinitialising mr_ZBackBufferTexture...",
            "SSAO: Deinitialising mr_DefaultStateBlock_...",
            "SSAO: Deinitialising mr_CurrentStateBlock_...",
            "SSAO: Deactivating finished."};
}
