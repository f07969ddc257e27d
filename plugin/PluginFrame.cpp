// The per-frame passes: scene copy, depth slices, occlusion, blur, composite.
#include "Plugin.h"

#include "ComPtr.h"
#include "ShaderPasses.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

// Built once: a steady frame must not build strings.
const std::string& SddxName() {
    static const std::string ls_Name("sddx");
    return ls_Name;
}

D3DXVECTOR4 PixelSize(const TextureRecord& record) {
    // A zero-sized record (nothing created yet) gives 0 rather than a division by zero.
    const float lr_X = record.Width ? 1.0f / static_cast<float>(record.Width) : 0.0f;
    const float lr_Y = record.Height ? 1.0f / static_cast<float>(record.Height) : 0.0f;
    return D3DXVECTOR4(lr_X, lr_Y, 0.0f, 0.0f);
}

// The copies cover the size a record was made for, from the top-left corner.
RECT WholeRect(const TextureRecord& record) {
    RECT lr_Rect;
    lr_Rect.left = 0;
    lr_Rect.top = 0;
    lr_Rect.right = static_cast<LONG>(record.Width);
    lr_Rect.bottom = static_cast<LONG>(record.Height);
    return lr_Rect;
}

// How many noise images span the frame, for one noise texel a pixel; 1 without one.
D3DXVECTOR2 NoiseSpan(const TextureRecord& frame, const TextureRecord& noise) {
    if (!noise.Width || !noise.Height) return D3DXVECTOR2(1.0f, 1.0f);
    return D3DXVECTOR2(static_cast<float>(frame.Width) / static_cast<float>(noise.Width),
                       static_cast<float>(frame.Height) / static_cast<float>(noise.Height));
}

void SetPixelSize(IShader* shader, const D3DXVECTOR4& value) {
    if (!shader) {
        return;
    }
    if (IShaderParameter* lr_Parameter_ = shader->GetParameter(SddxName(), ShaderParameterType::Any)) {
        lr_Parameter_->SetFloat4(value);
    }
}

}  // namespace

void k_Plugin::Render() {
    bool lr_HostStateSaved = false;
    if (!Guarded(
            L"Render", [&]() { RenderFrame(lr_HostStateSaved); }, k_RenderThrew) &&
        lr_HostStateSaved) {
        RestoreHostState();
    }
}

void k_Plugin::RenderFrame(bool& hostStateSaved) {
    // Before Initialise, after Deinitialise or while switched off there is
    // nothing to draw with, and the device may be gone.
    if (!mr_Device_ || !IsActive() || !IsRenderingToBackBuffer()) {
        return;
    }
    UpdateParameters();
    // Without both state blocks the host's state could not be put back after
    // our passes, so the frame is left alone until they can be made.
    if (!CreateStateBlocks()) {
        return;
    }
    if (FAILED(mr_CurrentStateBlock->Capture())) {
        // The block holds an older state of the host's: applying it would change the host's state.
        LogOnce(k_CaptureFailed, L"SSAO: Unable to save the host's device state.\n");
        return;
    }
    Recovered(k_CaptureFailed);
    hostStateSaved = true;
    ReadHostDepthState();
    if (FAILED(mr_DefaultStateBlock->Apply())) {
        LogOnce(k_ApplyFailed, L"SSAO: Unable to set the device state of activation.\n");
    } else {
        Recovered(k_ApplyFailed);
        UpdateRenderTargets();
        MeasureDepth();
        RenderDepthPass();
        RenderOcclusionPass();
        ProbeDepth();
    }
    hostStateSaved = false;
    RestoreHostState();
}

void k_Plugin::RestoreHostState() noexcept {
    if (SUCCEEDED(mr_CurrentStateBlock->Apply())) {
        Recovered(k_RestoreFailed);
        return;
    }
    // The host's state is lost; at least none of our geometry stays bound for its draws.
    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    mr_Device_->SetIndices(nullptr);
    mr_Device_->SetFVF(0);
    LogOnce(k_RestoreFailed, L"SSAO: Unable to restore the host's device state.\n");
}

bool k_Plugin::IsRenderingToBackBuffer() {
    ComPtr<IDirect3DSurface9> lr_Surface;
    if (!Acquired(mr_Device_->GetRenderTarget(0, &lr_Surface), lr_Surface)) {
        // A missing render target never matches a back buffer.
        return false;
    }
    // A subordinate head of a multi-head adapter reports 0: it still has its own swap chain.
    const UINT lr_Chains = mr_Caps.NumberOfAdaptersInGroup ? mr_Caps.NumberOfAdaptersInGroup : 1;
    for (UINT lr_Chain = 0; lr_Chain < lr_Chains; ++lr_Chain) {
        ComPtr<IDirect3DSwapChain9> lr_SwapChain;
        if (!Acquired(mr_Device_->GetSwapChain(lr_Chain, &lr_SwapChain), lr_SwapChain)) {
            continue;
        }
        D3DPRESENT_PARAMETERS lr_Param = {};
        lr_SwapChain->GetPresentParameters(&lr_Param);
        for (UINT lr_Buffer = 0; lr_Buffer < lr_Param.BackBufferCount; ++lr_Buffer) {
            ComPtr<IDirect3DSurface9> lr_BackBuffer;
            const HRESULT lr_Result = lr_SwapChain->GetBackBuffer(lr_Buffer, D3DBACKBUFFER_TYPE_MONO, &lr_BackBuffer);
            if (Acquired(lr_Result, lr_BackBuffer) && lr_BackBuffer == lr_Surface.get()) {
                return true;
            }
        }
    }
    return false;
}

void k_Plugin::RenderDepthPass() {
    const RECT lr_Rect = WholeRect(mr_BackBufferTexture);
    CopyInto(mr_BackBufferTexture, k_SceneTextureMissing, lr_Rect);

    // The viewport is read every frame, whatever the flag says.
    const bool lr_RangeChanged = HasViewportDepthRangeChanged();
    if ((lr_RangeChanged || mr_SlicesDirty) && mr_SliceCount > 0) {
        const int lr_Count = mr_SliceCount;
        const float lr_Step = mr_SliceRange / static_cast<float>(lr_Count);
        const float lr_ValueStep = 1.0f / static_cast<float>(lr_Count);
        const size_t lr_Masks = mr_ZScreenMasks.size();
        const D3DXVECTOR2 lr_NoiseSpan = NoiseSpan(mr_BackBufferTexture, mr_NoiseTexture);
        for (size_t lr_Index = 0; lr_Index < lr_Masks; ++lr_Index) {
            ScreenMask* lr_Mask_ = mr_ZScreenMasks[lr_Index];
            if (!lr_Mask_) {
                continue;
            }
            const float lr_I = static_cast<float>(lr_Index);
            const float lr_A = mr_SliceStart - lr_I * lr_Step;
            const float lr_B = static_cast<float>(std::pow(static_cast<double>(lr_A), 0.01));
            lr_Mask_->SetDepth(ComputeSliceDepth(lr_B));
            const float lr_Value = 1.0f - lr_I * lr_ValueStep;
            lr_Mask_->SetTexCoords(lr_Value, lr_Value, lr_Value, lr_Value, 1);
            // The noise image's coordinates, one texel a pixel, for the slices' dither.
            lr_Mask_->SetTexCoords(0.0f, 0.0f, lr_NoiseSpan.x, lr_NoiseSpan.y, 0);
            lr_Mask_->Update(mr_Device_);
            if (mr_ZScreenMask_) {
                mr_ZScreenMask_->AddMask(lr_Mask_, mr_Device_, lr_Index == 0, lr_Index + 1 == lr_Masks);
            }
        }
        mr_SlicesDirty = false;
    }

    RenderWithShader(mr_ClearMask_, mr_RenderBlackShader_);
    RenderWithShader(mr_ZScreenMask_, mr_RenderDepthShader_);
    CopyInto(mr_ZBackBufferTexture, k_DepthTextureMissing, lr_Rect);
}

void k_Plugin::RenderOcclusionPass() {
    SetPixelSize(mr_SSAOShader_, PixelSize(mr_AOBackBufferTexture));
    RenderWithShader(mr_ScreenMask_, mr_SSAOShader_);
    RenderBlurPasses(mr_BlurPasses);
    if (!mr_ShowAOOnly) {
        RenderWithShader(mr_ScreenMask_, mr_ShowTextureShader_);
    }
}

void k_Plugin::RenderBlurPasses(int passes) {
    const RECT lr_Rect = WholeRect(mr_AOBackBufferTexture);
    CopyInto(mr_AOBackBufferTexture, k_OcclusionTextureMissing, lr_Rect);
    SetPixelSize(mr_ZBlurShader_, PixelSize(mr_AOBackBufferTexture));
    for (int lr_Pass = 0; lr_Pass < passes; ++lr_Pass) {
        RenderWithShader(mr_ScreenMask_, mr_ZBlurShader_);
        CopyInto(mr_AOBackBufferTexture, k_OcclusionTextureMissing, lr_Rect);
    }
}

void k_Plugin::RenderWithShader(IRenderable* renderable, IShader* shader) {
    // A pass whose shader, effect or geometry is missing (a failed activation
    // step) is left out; the rest of the frame still runs. A shader that has
    // its effect but went invalid later is still driven: it decides itself.
    // A missing noise image does not stop a pass: its semantic binds null.
    if (!renderable || !shader || !shader->GetEffect()) {
        return;
    }
    renderable->Bind(mr_Device_);
    DrawPasses(*shader, [&]() { renderable->Draw(mr_Device_); });
}

// A frame texture that could not be made is said once, not at every frame
// until it is made again.
void k_Plugin::CopyInto(const TextureRecord& record, unsigned missingFailure, const RECT& rect) {
    if (!record.Texture) {
        LogOnce(missingFailure, L"SSAO: Destination texture is NULL.\n");
        return;
    }
    CopyBackBufferToTexture(record.Texture, rect);
}

std::array<k_Plugin::FrameTexture, 4> k_Plugin::FrameTextures() {
    return {{{"BackBuffer", &mr_BackBufferTexture, k_SceneTextureMissing},
             {"BlurBackBuffer", &mr_AOBackBufferTexture, k_OcclusionTextureMissing},
             {"NoiseTexture", &mr_NoiseTexture, 0},
             {"ZBackBuffer", &mr_ZBackBufferTexture, k_DepthTextureMissing}}};
}

void k_Plugin::CopyForPass(const char* semantic) {
    for (const FrameTexture& lr_Target : FrameTextures()) {
        if (lr_Target.MissingFailure != 0 && std::strcmp(lr_Target.Semantic, semantic) == 0) {
            CopyInto(*lr_Target.Record, lr_Target.MissingFailure, WholeRect(*lr_Target.Record));
            return;
        }
    }
    // Said once: an effect that names no texture of ours asks for it at every frame.
    if (mr_Failures & k_UnknownCopyTarget) return;
    mr_Failures |= k_UnknownCopyTarget;
    Log(L"SSAO: A pass asks for a copy into \"", semantic, L"\", which is no texture of the plug-in's.\n");
}

void k_Plugin::CopyBackBufferToTexture(IDirect3DTexture9* texture, const RECT& rect) {
    if (!texture) {
        Log(L"SSAO: Destination texture is NULL.\n");
        return;
    }
    ComPtr<IDirect3DSurface9> lr_Dest;
    if (!Acquired(texture->GetSurfaceLevel(0, &lr_Dest), lr_Dest)) {
        Log(L"SSAO: Unable to get surface from destination texture.\n");
    }
    ComPtr<IDirect3DSurface9> lr_Source;
    if (!Acquired(mr_Device_->GetRenderTarget(0, &lr_Source), lr_Source)) {
        Log(L"SSAO: Unable to get surface from backbuffer.\n");
    }
    // Tried even without a surface: the runtime refuses it and the refusal is logged with its code.
    const HRESULT lr_Result = mr_Device_->StretchRect(lr_Source.get(), &rect, lr_Dest.get(), &rect, D3DTEXF_NONE);
    if (FAILED(lr_Result)) {
        Log(L"SSAO: Failed to update our textures: ", static_cast<int>(lr_Result), L"\n");
    }
}

bool k_Plugin::HasViewportDepthRangeChanged() {
    D3DVIEWPORT9 lr_Viewport = {};
    // A pure device keeps no state to read back: its depth range taken as 0..1.
    if (FAILED(mr_Device_->GetViewport(&lr_Viewport))) lr_Viewport.MaxZ = 1.0f;
    if (lr_Viewport.MaxZ == mr_Viewport.MaxZ && lr_Viewport.MinZ == mr_Viewport.MinZ) {
        return false;
    }
    mr_Viewport = lr_Viewport;
    return true;
}

float k_Plugin::ComputeSliceDepth(double d) {
    const D3DXVECTOR3 lr_Depth(0.0f, 0.0f, static_cast<float>(1.0 + d));
    D3DXMATRIX lr_World;
    D3DXMatrixIdentity(&lr_World);
    D3DXVECTOR3 lr_Final(0.0f, 0.0f, 0.0f);
    D3DXVec3Project(&lr_Final, &lr_Depth, &mr_Viewport, &mr_Projection, &mr_View, &lr_World);
    return lr_Final.z;
}
