#include "SceneFrames.h"

#include "AnalyticScene.h"
#include "SceneCamera.h"
#include "SceneMesh.h"
#include "SceneRenderer.h"

#include <cstdio>
#include <cstring>

namespace {

bool Failed(HRESULT hr, const std::string& what, std::string& error) {
    if (SUCCEEDED(hr)) return false;
    char lr_Code[24];
    std::snprintf(lr_Code, sizeof(lr_Code), "0x%08lX", static_cast<unsigned long>(hr));
    error = what + " failed with " + lr_Code;
    return true;
}

// The back buffer through a system-memory copy, as a host reads what is on screen.
bool ReadBackBuffer(IDirect3DDevice9* device, SceneFrame& frame, std::string& error) {
    IDirect3DSurface9* lr_BackBuffer_ = nullptr;
    if (Failed(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &lr_BackBuffer_), "GetBackBuffer", error))
        return false;
    D3DSURFACE_DESC lr_Desc;
    lr_BackBuffer_->GetDesc(&lr_Desc);
    IDirect3DSurface9* lr_Copy_ = nullptr;
    bool lr_Done = false;
    if (lr_Desc.Format != D3DFMT_X8R8G8B8 && lr_Desc.Format != D3DFMT_A8R8G8B8) {
        error = "the back buffer is not a 32-bit RGB format";
    } else if (!Failed(device->CreateOffscreenPlainSurface(lr_Desc.Width, lr_Desc.Height, lr_Desc.Format,
                                                           D3DPOOL_SYSTEMMEM, &lr_Copy_, nullptr),
                       "CreateOffscreenPlainSurface", error) &&
               !Failed(device->GetRenderTargetData(lr_BackBuffer_, lr_Copy_), "GetRenderTargetData", error)) {
        D3DLOCKED_RECT lr_Locked;
        if (!Failed(lr_Copy_->LockRect(&lr_Locked, nullptr, D3DLOCK_READONLY), "LockRect", error)) {
            frame.Width = lr_Desc.Width;
            frame.Height = lr_Desc.Height;
            frame.Pixels.resize(static_cast<size_t>(lr_Desc.Width) * lr_Desc.Height);
            for (UINT y = 0; y < lr_Desc.Height; ++y) {
                const unsigned char* lr_Row = static_cast<const unsigned char*>(lr_Locked.pBits) +
                                              static_cast<size_t>(y) * static_cast<size_t>(lr_Locked.Pitch);
                std::memcpy(&frame.Pixels[static_cast<size_t>(y) * lr_Desc.Width], lr_Row, lr_Desc.Width * 4u);
            }
            for (std::uint32_t& lr_Pixel : frame.Pixels) lr_Pixel &= 0x00FFFFFFu;
            lr_Copy_->UnlockRect();
            lr_Done = true;
        }
    }
    if (lr_Copy_) lr_Copy_->Release();
    lr_BackBuffer_->Release();
    return lr_Done;
}

// The scene, then the plug-in's work on it inside a scene of the host's;
// either picture read back when asked.
bool Frame(IDirect3DDevice9* device, IDirect3D9BasePlugin* plugin, const SceneCamera& camera,
           const std::vector<SceneVertex>& mesh, int depthNudge, SceneFrame* scene, SceneFrame* after,
           std::string& error) {
    if (!DrawScene(device, camera, mesh, error, depthNudge)) return false;
    if (scene && !ReadBackBuffer(device, *scene, error)) return false;
    if (Failed(device->BeginScene(), "BeginScene", error)) return false;
    plugin->Render();
    if (Failed(device->EndScene(), "EndScene", error)) return false;
    if (after && !ReadBackBuffer(device, *after, error)) return false;
    return !Failed(device->Present(nullptr, nullptr, nullptr, nullptr), "Present", error);
}

}  // namespace

bool RunSceneFrames(IDirect3DDevice9* device, IDirect3D9BasePlugin* plugin, SceneFrames& frames, std::string& error,
                    const SceneCamera& camera, int depthNudge, int warmUpFrames) {
    const AnalyticScene lr_Scene = AnalyticScene::MakeDemoRoom();
    const std::vector<SceneVertex> lr_Mesh = BuildSceneMesh(lr_Scene);
    plugin->Initialise(device);
    plugin->SetActive(true);
    IParameter* lr_Parameter_ = plugin->FindParameter(IID_ShowAOOnlyParameter);
    ICheckBoxParameter* lr_ShowAOOnly_ =
        lr_Parameter_ ? static_cast<ICheckBoxParameter*>(lr_Parameter_->GetInterface(IID_ICheckBoxParameter)) : nullptr;
    bool lr_Done = false;
    if (!lr_ShowAOOnly_) {
        error = "the plug-in has no ShowAOOnly check box";
    } else {
        lr_ShowAOOnly_->SetValue(true);
        bool lr_Warm = true;
        for (int i = 0; lr_Warm && i < warmUpFrames; ++i)
            lr_Warm = Frame(device, plugin, camera, lr_Mesh, depthNudge, nullptr, nullptr, error);
        if (lr_Warm && Frame(device, plugin, camera, lr_Mesh, depthNudge, &frames.Scene, &frames.Occlusion, error)) {
            lr_ShowAOOnly_->SetValue(false);
            lr_Done = Frame(device, plugin, camera, lr_Mesh, depthNudge, nullptr, &frames.Composite, error);
        }
    }
    plugin->SetActive(false);
    plugin->Deinitialise();
    return lr_Done;
}

bool WriteFramePpm(const std::string& path, const SceneFrame& frame) {
    std::FILE* lr_File_ = std::fopen(path.c_str(), "wb");
    if (!lr_File_) return false;
    std::fprintf(lr_File_, "P6\n%u %u\n255\n", frame.Width, frame.Height);
    std::vector<unsigned char> lr_Bytes;
    lr_Bytes.reserve(frame.Pixels.size() * 3);
    for (std::uint32_t p : frame.Pixels) {
        lr_Bytes.push_back(static_cast<unsigned char>(p >> 16));
        lr_Bytes.push_back(static_cast<unsigned char>(p >> 8));
        lr_Bytes.push_back(static_cast<unsigned char>(p));
    }
    const bool lr_Written = std::fwrite(lr_Bytes.data(), 1, lr_Bytes.size(), lr_File_) == lr_Bytes.size();
    return std::fclose(lr_File_) == 0 && lr_Written;
}

bool ReadFramePpm(const std::string& path, SceneFrame& frame) {
    std::FILE* lr_File_ = std::fopen(path.c_str(), "rb");
    if (!lr_File_) return false;
    unsigned lr_Width = 0, lr_Height = 0, lr_Max = 0;
    bool lr_Read = std::fscanf(lr_File_, "P6 %u %u %u", &lr_Width, &lr_Height, &lr_Max) == 3 && lr_Max == 255 &&
                   std::fgetc(lr_File_) != EOF && lr_Width > 0 && lr_Height > 0 && lr_Width <= 8192 &&
                   lr_Height <= 8192;
    if (lr_Read) {
        std::vector<unsigned char> lr_Bytes(static_cast<size_t>(lr_Width) * lr_Height * 3);
        lr_Read = std::fread(lr_Bytes.data(), 1, lr_Bytes.size(), lr_File_) == lr_Bytes.size();
        frame.Width = lr_Width;
        frame.Height = lr_Height;
        frame.Pixels.assign(static_cast<size_t>(lr_Width) * lr_Height, 0);
        for (size_t i = 0; lr_Read && i < frame.Pixels.size(); ++i)
            frame.Pixels[i] = (static_cast<std::uint32_t>(lr_Bytes[3 * i]) << 16) |
                              (static_cast<std::uint32_t>(lr_Bytes[3 * i + 1]) << 8) | lr_Bytes[3 * i + 2];
    }
    std::fclose(lr_File_);
    return lr_Read;
}
