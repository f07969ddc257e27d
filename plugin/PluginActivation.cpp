// Initialise and Deinitialise, switching on and off, and surviving a device
// reset by switching off before it and on again after it.
#include "Plugin.h"

#include "DepthTestSelector.h"
#include "PassCopyHandler.h"
#include "ShaderSystem.h"
#include "VexilTextureSemanticHandler.h"

#include <cstring>
#include <memory>

namespace {

// The system owns the handler once it has taken it; a refused one is deleted here.
void AddTextureHandler(IShaderSystem& system, const char* semantic, TextureRecord* record) {
    std::unique_ptr<VexilTextureSemanticHandler> lr_Handler(new VexilTextureSemanticHandler(semantic, record));
    if (system.AddSemanticHandler(lr_Handler.get())) lr_Handler.release();
}

}  // namespace

void k_Plugin::Initialise(IDirect3DDevice9* device) {
    const bool lr_Done = Guarded(L"Initialise", [&]() {
        // Objects made on another device must go before the plug-in forgets it.
        const bool lr_NewDevice = IsActive() && device != mr_Device_;
        if (lr_NewDevice) Deactivate();
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
        if (lr_NewDevice && device) Activate();
    });
    if (!lr_Done) SwitchOffAfterFailure();
}

void k_Plugin::Deinitialise() {
    Guarded(L"Deinitialise", [&]() {
        Log(L"SSAO: Deinitialising...\n");
        // Whatever a lost device had put off is off for good.
        mr_DeviceLost = false;
        mr_WasActive = false;
        SetActive(false);
        Log(L"SSAO: Deinitialising finished.\n");
    });
    k_Direct3D9BasePlugin::Deinitialise();
    // The host may release its device now: nothing may reach it any more.
    mr_Device_ = nullptr;
}

void k_Plugin::SetActive(bool on) {
    if (mr_DeviceLost) {
        // Nothing can be made on a lost device: the wish is kept for OnResetDevice.
        mr_WasActive = on;
        return;
    }
    const bool lr_Done = Guarded(L"SetActive", [&]() {
        if (on && !IsActive())
            Activate();
        else if (!on && IsActive())
            Deactivate();
    });
    if (lr_Done)
        k_Direct3D9BasePlugin::SetActive(on);
    else
        SwitchOffAfterFailure();
}

void k_Plugin::SwitchOffAfterFailure() noexcept {
    // Nothing half made is kept: the plug-in is off.
    Deactivate();
    k_Direct3D9BasePlugin::SetActive(false);
}

void k_Plugin::Activate() {
    Log(L"SSAO: Activating...\n");
    mr_SlicesDirty = true;
    UpdateParameters();

    Log(L"SSAO: Initialising shader subsystem.\n");
    mr_ShaderSystem_ = new ShaderSystem(mr_Device_);
    for (const FrameTexture& lr_Texture : FrameTextures())
        AddTextureHandler(*mr_ShaderSystem_, lr_Texture.Semantic, lr_Texture.Record);
    {
        // Chooses RenderDepth.hlsl's pass for the way the host's depth runs.
        std::unique_ptr<DepthTestSelector> lr_Selector(new DepthTestSelector());
        if (mr_ShaderSystem_->AddCallbackHandler(lr_Selector.get())) mr_DepthTestSelector_ = lr_Selector.release();
    }
    {
        // Lets a pass read what the passes before it drew.
        std::unique_ptr<PassCopyHandler> lr_Copies(
            new PassCopyHandler([this](const char* semantic) { CopyForPass(semantic); }));
        if (mr_ShaderSystem_->AddCallbackHandler(lr_Copies.get())) lr_Copies.release();
    }

    Log(L"SSAO: Loading shaders...\n");
    mr_ShowTextureShader_ = LoadEffectFile("ShowTexture.hlsl", "Plugins\\SSAO");
    mr_ZBlurShader_ = LoadEffectFile("ZBlur.hlsl", "Plugins\\SSAO");
    mr_RenderDepthShader_ = LoadEffectFile("RenderDepth.hlsl", "Plugins\\SSAO");
    mr_RenderBlackShader_ = LoadEffectFile("RenderBlack.hlsl", "Plugins\\SSAO");
    mr_SSAOShader_ = LoadEffectFile("SSAO.hlsl", "Plugins\\SSAO");
    // Never leak a texture from an earlier activation (none should be left).
    ReleaseRecord(mr_NoiseTexture);
    mr_NoiseTexture = LoadTextureFile(L"Noise.bmp", L"Plugins\\SSAO");
    ReadDepthSettings();
    CreateDepthProbes();

    Log(L"SSAO: Gather basic states...\n");
    mr_Failures = 0;
    // Without a device there is nothing to make; a failure is made good by a later frame.
    if (mr_Device_) CreateStateBlocks();
    Log(L"SSAO: Activating finished.\n");
}

bool k_Plugin::CreateStateBlocks() {
    // ComPtr's & is its out parameter: the holders' own addresses need std::addressof.
    for (ComPtr<IDirect3DStateBlock9>* lr_Block_ :
         {std::addressof(mr_DefaultStateBlock), std::addressof(mr_CurrentStateBlock)})
        if (!*lr_Block_) Acquired(mr_Device_->CreateStateBlock(D3DSBT_ALL, &*lr_Block_), *lr_Block_);
    if (mr_DefaultStateBlock && mr_CurrentStateBlock) {
        Recovered(k_StateBlocksFailed);
        return true;
    }
    LogOnce(k_StateBlocksFailed, L"SSAO: Unable to create state blocks.\n");
    return false;
}

void k_Plugin::Deactivate() noexcept {
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
    ReleaseDepthProbes();

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
    mr_DefaultStateBlock.reset();

    Log(L"SSAO: Deinitialising mr_CurrentStateBlock_...\n");
    mr_CurrentStateBlock.reset();

    Log(L"SSAO: Deactivating finished.\n");
}

void k_Plugin::OnLostDevice() {
    // Notified again (some hosts do, and after a failed Reset): the first
    // notification's record of the host's wish stands.
    if (mr_DeviceLost) return;
    mr_WasActive = IsActive();
    SetActive(false);
    mr_DeviceLost = true;
}

void k_Plugin::OnResetDevice() {
    if (!mr_DeviceLost) return;
    mr_DeviceLost = false;
    if (mr_WasActive) {
        SetActive(true);
        mr_WasActive = false;
    }
}
