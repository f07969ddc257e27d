// The ambient-occlusion plug-in. Its work is split by concern over
// PluginObject.cpp (construction), PluginActivation.cpp (initialise, switch
// on and off, device loss), PluginLoading.cpp (effects and the noise image),
// PluginRenderTargets.cpp (frame textures and masks) and PluginFrame.cpp
// (the per-frame passes).
#pragma once

#include "contract/IHost.h"
#include "contract/k_Direct3D9BasePlugin.h"
#include "contract/LogFile.h"
#include "effects/IShader.h"
#include "effects/IShaderSystem.h"
#include "geometry/BatchScreenMask.h"
#include "geometry/IRenderable.h"
#include "geometry/ScreenMask.h"
#include "plugin/TextureRecord.h"

#include <d3d9.h>
#include <d3dx9.h>

#include <string>
#include <vector>

class k_Plugin : public k_Direct3D9BasePlugin {
public:
    explicit k_Plugin(IHost* host);
    ~k_Plugin() override;

    void Initialise(IDirect3DDevice9* device) override;
    void Deinitialise() override;
    void Render() override;
    void OnLostDevice() override;
    void OnResetDevice() override;
    void SetActive(bool on) override;

    // Copies the ShowAOOnly check box into mr_ShowAOOnly.
    void UpdateParameters();

protected:
    // Activation and deactivation, run by SetActive on a change of state.
    void Activate();
    void Deactivate();

    // Loading.
    IShader* LoadEffectFile(const std::string& file, const std::string& directory);
    TextureRecord LoadTextureFile(const std::wstring& file, const std::wstring& directory);

    // Render targets.
    IDirect3DTexture9* CreateTexture(unsigned width, unsigned height, D3DFORMAT format);
    void UpdateRenderTargets();

    // Frame.
    bool IsRenderingToBackBuffer();
    void RenderDepthPass();
    void RenderOcclusionPass();
    void RenderBlurPasses(int passes);
    void RenderWithShader(IRenderable* renderable, IShader* shader);
    void CopyBackBufferToTexture(IDirect3DTexture9* texture, const RECT& rect);
    bool HasViewportDepthRangeChanged();
    float ComputeSliceDepth(double d);

    // Writes one log entry made of the given items (wide literals, narrow
    // strings, integers) with one open-append-close of the log file.
    template <typename... Items>
    void Log(const Items&... items) {
        WriteLog(mr_LogPath, items...);
    }

    TextureRecord mr_NoiseTexture;
    TextureRecord mr_BackBufferTexture;
    TextureRecord mr_AOBackBufferTexture;
    TextureRecord mr_ZBackBufferTexture;
    ScreenMask* mr_ScreenMask_;
    ScreenMask* mr_ClearMask_;
    std::vector<ScreenMask*> mr_ZScreenMasks;
    BatchScreenMask* mr_ZScreenMask_;
    IShaderSystem* mr_ShaderSystem_;
    IShader* mr_ShowTextureShader_;
    IShader* mr_ZBlurShader_;
    IShader* mr_RenderDepthShader_;
    IShader* mr_RenderBlackShader_;
    IShader* mr_SSAOShader_;
    float mr_SliceStart;
    float mr_SliceRange;
    int mr_BlurPasses;
    bool mr_ShowAOOnly;
    int mr_SliceCount;
    bool mr_SlicesDirty;
    IDirect3DStateBlock9* mr_DefaultStateBlock_;
    IDirect3DStateBlock9* mr_CurrentStateBlock_;
    D3DCAPS9 mr_Caps;
    D3DVIEWPORT9 mr_Viewport;
    D3DXMATRIX mr_View;
    D3DXMATRIX mr_Projection;
    std::wstring mr_LogPath;
    bool mr_WasActive;
};
