// Initialise and Deinitialise, switching on and off, and surviving a device
// reset by switching off before it and on again after it.
#include "plugin/Plugin.h"

#include "effects/ShaderSystem.h"
#include "plugin/VexilTextureSemanticHandler.h"

#include <cstring>

namespace {

void ReleaseRecord(TextureRecord& record) {
    if (record.Texture) record.Texture->Release();
    record = TextureRecord();
}

}  // namespace

void k_Plugin::Initialise(IDirect3DDevice9* device) {
    Log(L"SSAO: Initialising...\n");
    // A null device is refused by the base below; there are no caps to read.
    if (device)
        device->GetDeviceCaps(&mr_Caps);
    else
        std::memset(&mr_Caps, 0, sizeof(mr_Caps));
    std::memset(&mr_Viewport, 0, sizeof(mr_Viewport));
    mr_SliceRange = 0.01f;
    mr_SliceStart = 1.0f;
    mr_ShowAOOnly = false;
    mr_BlurPasses = 0;
    mr_SliceCount = 10;
    Log(L"SSAO: Initialising finished.\n");
    k_Direct3D9BasePlugin::Initialise(device);
}

void k_Plugin::Deinitialise() {
    Log(L"SSAO: Deinitialising...\n");
    SetActive(false);
    Log(L"SSAO: Deinitialising finished.\n");
    k_Direct3D9BasePlugin::Deinitialise();
}

void k_Plugin::SetActive(bool on) {
    if (on && !IsActive())
        Activate();
    else if (!on && IsActive())
        Deactivate();
    k_Direct3D9BasePlugin::SetActive(on);
}

void k_Plugin::Activate() {
    Log(L"SSAO: Activating...\n");
    mr_SlicesDirty = true;
    UpdateParameters();

    Log(L"SSAO: Initialising shader subsystem.\n");
    mr_ShaderSystem_ = new ShaderSystem(mr_Device_);
    mr_ShaderSystem_->AddSemanticHandler(new VexilTextureSemanticHandler("BackBuffer", &mr_BackBufferTexture));
    mr_ShaderSystem_->AddSemanticHandler(new VexilTextureSemanticHandler("BlurBackBuffer", &mr_AOBackBufferTexture));
    mr_ShaderSystem_->AddSemanticHandler(new VexilTextureSemanticHandler("NoiseTexture", &mr_NoiseTexture));
    mr_ShaderSystem_->AddSemanticHandler(new VexilTextureSemanticHandler("ZBackBuffer", &mr_ZBackBufferTexture));

    Log(L"SSAO: Loading shaders...\n");
    mr_ShowTextureShader_ = LoadEffectFile("ShowTexture.hlsl", "Plugins\\SSAO");
    mr_ZBlurShader_ = LoadEffectFile("ZBlur.hlsl", "Plugins\\SSAO");
    mr_RenderDepthShader_ = LoadEffectFile("RenderDepth.hlsl", "Plugins\\SSAO");
    mr_RenderBlackShader_ = LoadEffectFile("RenderBlack.hlsl", "Plugins\\SSAO");
    mr_SSAOShader_ = LoadEffectFile("SSAO.hlsl", "Plugins\\SSAO");
    // Never leak a texture from an earlier activation (none should be left).
    ReleaseRecord(mr_NoiseTexture);
    mr_NoiseTexture = LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");

    Log(L"SSAO: Gather basic states...\n");
    mr_DefaultStateBlock_ = nullptr;
    mr_CurrentStateBlock_ = nullptr;
    // A failed creation leaves null, which the frame and deactivation skip;
    // so does switching on before any device was given.
    if (mr_Device_) {
        if (FAILED(mr_Device_->CreateStateBlock(D3DSBT_ALL, &mr_DefaultStateBlock_))) mr_DefaultStateBlock_ = nullptr;
        if (FAILED(mr_Device_->CreateStateBlock(D3DSBT_ALL, &mr_CurrentStateBlock_))) mr_CurrentStateBlock_ = nullptr;
    }
    Log(L"SSAO: Activating finished.\n");
}

void k_Plugin::Deactivate() {
    Log(L"SSAO: Deactivating...\n");

    Log(L"SSAO: Deinitialising mr_ShaderSystem_...\n");
    delete mr_ShaderSystem_;
    mr_ShaderSystem_ = nullptr;
    // The shaders died with the system; forget them so nothing can use them.
    mr_ShowTextureShader_ = nullptr;
    mr_ZBlurShader_ = nullptr;
    mr_RenderDepthShader_ = nullptr;
    mr_RenderBlackShader_ = nullptr;
    mr_SSAOShader_ = nullptr;

    Log(L"SSAO: Deinitialising mr_ScreenMask_...\n");
    delete mr_ScreenMask_;
    mr_ScreenMask_ = nullptr;

    Log(L"SSAO: Deinitialising mr_ZScreenMask_...\n");
    for (size_t lr_Index = 0; lr_Index < mr_ZScreenMasks.size(); ++lr_Index) {
        delete mr_ZScreenMasks[lr_Index];
        mr_ZScreenMasks[lr_Index] = nullptr;
    }
    mr_ZScreenMasks.clear();
    delete mr_ZScreenMask_;
    mr_ZScreenMask_ = nullptr;

    Log(L"SSAO: Deinitialising mr_ClearMask_...\n");
    delete mr_ClearMask_;
    mr_ClearMask_ = nullptr;

    Log(L"SSAO: Deinitialising mr_NoiseTexture...\n");
    ReleaseRecord(mr_NoiseTexture);
    Log(L"SSAO: Deinitialising mr_BackBufferTexture...\n");
    ReleaseRecord(mr_BackBufferTexture);
    Log(L"SSAO: Deinitialising mr_AOBackBufferTexture...\n");
    ReleaseRecord(mr_AOBackBufferTexture);
    Log(L"SSAO: Deinitialising mr_ZBackBufferTexture...\n");
    ReleaseRecord(mr_ZBackBufferTexture);

    Log(L"SSAO: Deinitialising mr_DefaultStateBlock_...\n");
    if (mr_DefaultStateBlock_) mr_DefaultStateBlock_->Release();
    mr_DefaultStateBlock_ = nullptr;

    Log(L"SSAO: Deinitialising mr_CurrentStateBlock_...\n");
    if (mr_CurrentStateBlock_) mr_CurrentStateBlock_->Release();
    mr_CurrentStateBlock_ = nullptr;

    Log(L"SSAO: Deactivating finished.\n");
}

void k_Plugin::OnLostDevice() {
    mr_WasActive = IsActive();
    SetActive(false);
}

void k_Plugin::OnResetDevice() {
    if (mr_WasActive) {
        SetActive(true);
        mr_WasActive = false;
    }
}
