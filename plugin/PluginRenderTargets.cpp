// The three frame textures and the screen masks, which follow render target 0.
#include "Plugin.h"

#include "ComPtr.h"

#include <algorithm>
#include <memory>
#include <string>

namespace {

// Names of the render-target formats the log knows; nullptr for any other value.
// The text is the name itself, so the two cannot drift apart.
const char* FormatName(D3DFORMAT format) {
#define SSAO_FORMAT_CASE(name) \
    case name: return #name
    switch (format) {
        SSAO_FORMAT_CASE(D3DFMT_R8G8B8);
        SSAO_FORMAT_CASE(D3DFMT_A8R8G8B8);
        SSAO_FORMAT_CASE(D3DFMT_X8R8G8B8);
        SSAO_FORMAT_CASE(D3DFMT_R5G6B5);
        SSAO_FORMAT_CASE(D3DFMT_X1R5G5B5);
        SSAO_FORMAT_CASE(D3DFMT_A1R5G5B5);
        SSAO_FORMAT_CASE(D3DFMT_A4R4G4B4);
        SSAO_FORMAT_CASE(D3DFMT_R3G3B2);
        SSAO_FORMAT_CASE(D3DFMT_A8);
        SSAO_FORMAT_CASE(D3DFMT_A8R3G3B2);
        SSAO_FORMAT_CASE(D3DFMT_X4R4G4B4);
        SSAO_FORMAT_CASE(D3DFMT_A2B10G10R10);
        SSAO_FORMAT_CASE(D3DFMT_A8B8G8R8);
        SSAO_FORMAT_CASE(D3DFMT_X8B8G8R8);
        SSAO_FORMAT_CASE(D3DFMT_G16R16);
        SSAO_FORMAT_CASE(D3DFMT_A2R10G10B10);
        SSAO_FORMAT_CASE(D3DFMT_A16B16G16R16);
        SSAO_FORMAT_CASE(D3DFMT_A8P8);
        SSAO_FORMAT_CASE(D3DFMT_P8);
        SSAO_FORMAT_CASE(D3DFMT_L8);
        SSAO_FORMAT_CASE(D3DFMT_A8L8);
        SSAO_FORMAT_CASE(D3DFMT_A4L4);
        SSAO_FORMAT_CASE(D3DFMT_V8U8);
        SSAO_FORMAT_CASE(D3DFMT_L6V5U5);
        SSAO_FORMAT_CASE(D3DFMT_X8L8V8U8);
        SSAO_FORMAT_CASE(D3DFMT_Q8W8V8U8);
        SSAO_FORMAT_CASE(D3DFMT_V16U16);
        SSAO_FORMAT_CASE(D3DFMT_A2W10V10U10);
        SSAO_FORMAT_CASE(D3DFMT_L16);
        SSAO_FORMAT_CASE(D3DFMT_Q16W16V16U16);
        SSAO_FORMAT_CASE(D3DFMT_R16F);
        SSAO_FORMAT_CASE(D3DFMT_G16R16F);
        SSAO_FORMAT_CASE(D3DFMT_A16B16G16R16F);
        SSAO_FORMAT_CASE(D3DFMT_R32F);
        SSAO_FORMAT_CASE(D3DFMT_G32R32F);
        SSAO_FORMAT_CASE(D3DFMT_A32B32G32R32F);
    default: return nullptr;
    }
#undef SSAO_FORMAT_CASE
}

bool HasBuffers(const ScreenMask* mask) { return mask && mask->GetVertexBuffer() && mask->GetIndexBuffer(); }

}  // namespace

IDirect3DTexture9* k_Plugin::CreateTexture(unsigned width, unsigned height, D3DFORMAT format, TextureLogging logging) {
    const bool lr_Logged = logging == TextureLogging::Logged;
    // One append: a host writing to the same file cannot split the line.
    const char* ls_Name = FormatName(format);
    if (lr_Logged && ls_Name) {
        Log(L"SSAO: CreateTexture: ", ls_Name, L" ", static_cast<int>(width), L"x", static_cast<int>(height), L"\n");
    } else if (lr_Logged) {
        Log(L"SSAO: CreateTexture: Unknown: ", static_cast<int>(format), L" ", static_cast<int>(width), L"x",
            static_cast<int>(height), L"\n");
    }

    IDirect3DTexture9* lr_Texture_ = nullptr;
    if (mr_Device_->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &lr_Texture_,
                                  nullptr) != D3D_OK) {
        // A failed call may still have written the out pointer; it owns nothing.
        if (lr_Logged) Log(L"SSAO: Unable to create texture.\n");
        return nullptr;
    }
    return lr_Texture_;
}

void k_Plugin::UpdateRenderTargets() {
    D3DSURFACE_DESC lr_RenderTargetDescription = {};
    {
        // Held only while it is read: nothing below needs it.
        ComPtr<IDirect3DSurface9> lr_RenderTargetSurface;
        if (!Acquired(mr_Device_->GetRenderTarget(0, &lr_RenderTargetSurface), lr_RenderTargetSurface) ||
            FAILED(lr_RenderTargetSurface->GetDesc(&lr_RenderTargetDescription))) {
            // Nothing to compare with: keep what we have.
            return;
        }
    }

    TextureRecord lr_NewBackBufferTexture;
    lr_NewBackBufferTexture.Format = lr_RenderTargetDescription.Format;
    lr_NewBackBufferTexture.Width = lr_RenderTargetDescription.Width;
    lr_NewBackBufferTexture.Height = lr_RenderTargetDescription.Height;
    if (lr_NewBackBufferTexture == mr_BackBufferTexture) {
        CompleteRenderTargets();
        return;
    }
    try {
        ReplaceRenderTargets(lr_NewBackBufferTexture);
    } catch (...) {
        // Half replaced: the next frame must see a change and replace everything.
        mr_BackBufferTexture.Format = D3DFMT_UNKNOWN;
        throw;
    }
}

// Render target 0 changed its format or size: new textures and masks for it.
void k_Plugin::ReplaceRenderTargets(const TextureRecord& target) {
    TextureRecord lr_NewBackBufferTexture = target;
    const UINT lr_Width = lr_NewBackBufferTexture.Width;
    const UINT lr_Height = lr_NewBackBufferTexture.Height;
    const D3DFORMAT lr_Format = lr_NewBackBufferTexture.Format;

    // Scene and depth copies: the new texture exists before the old one goes.
    // The records are overwritten in place because the semantic handlers point at them.
    lr_NewBackBufferTexture.Texture = CreateTexture(lr_Width, lr_Height, lr_Format);
    ReleaseRecord(mr_BackBufferTexture);
    mr_BackBufferTexture = lr_NewBackBufferTexture;

    TextureRecord lr_NewZBackBufferTexture = lr_NewBackBufferTexture;
    lr_NewZBackBufferTexture.Texture = CreateTexture(lr_Width, lr_Height, lr_Format);
    ReleaseRecord(mr_ZBackBufferTexture);
    mr_ZBackBufferTexture = lr_NewZBackBufferTexture;

    ReplaceScreenMask(mr_ScreenMask_);
    ReplaceSliceMasks();
    ReplaceScreenMask(mr_ClearMask_);

    // The occlusion copy goes before its successor is made, keeping at most
    // two extra full-size textures alive at any moment.
    TextureRecord lr_BlurBackBufferTexture = lr_NewBackBufferTexture;
    lr_BlurBackBufferTexture.Texture = nullptr;
    ReleaseRecord(mr_AOBackBufferTexture);
    mr_AOBackBufferTexture = lr_BlurBackBufferTexture;
    mr_AOBackBufferTexture.Texture = CreateTexture(lr_Width, lr_Height, lr_Format);
    NoteRenderTargetFailures();
}

// What the last creation could not make is tried again at each frame,
// silently: its failure was logged when it happened.
void k_Plugin::CompleteRenderTargets() {
    for (TextureRecord* lr_Record_ : {&mr_BackBufferTexture, &mr_ZBackBufferTexture, &mr_AOBackBufferTexture}) {
        if (!lr_Record_->Texture)
            lr_Record_->Texture =
                CreateTexture(lr_Record_->Width, lr_Record_->Height, lr_Record_->Format, TextureLogging::Silent);
    }
    if (!HasBuffers(mr_ScreenMask_)) ReplaceScreenMask(mr_ScreenMask_);
    if (!SlicesComplete()) ReplaceSliceMasks();
    if (!HasBuffers(mr_ClearMask_)) ReplaceScreenMask(mr_ClearMask_);
    NoteRenderTargetFailures();
}

// What exists now ends its failure; masks still without buffers are logged once.
void k_Plugin::NoteRenderTargetFailures() noexcept {
    if (mr_BackBufferTexture.Texture) Recovered(k_SceneTextureMissing);
    if (mr_ZBackBufferTexture.Texture) Recovered(k_DepthTextureMissing);
    if (mr_AOBackBufferTexture.Texture) Recovered(k_OcclusionTextureMissing);
    if (HasBuffers(mr_ScreenMask_) && HasBuffers(mr_ClearMask_) && SlicesComplete())
        Recovered(k_MaskBuffersFailed);
    else
        LogOnce(k_MaskBuffersFailed, L"SSAO: Unable to create screen mask buffers.\n");
}

// A full-viewport mask with its own buffers. The member holds the old mask
// until the new one is whole, so it never points at a deleted one.
void k_Plugin::ReplaceScreenMask(ScreenMask*& mask) {
    std::unique_ptr<ScreenMask> lr_Mask(new ScreenMask(false));
    lr_Mask->Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    lr_Mask->SetTexCoords(0.0f, 0.0f, 1.0f, 1.0f, 0);
    delete mask;
    mask = lr_Mask.release();
}

// The batch and the slice masks it is filled from, made whole before the old ones go.
void k_Plugin::ReplaceSliceMasks() {
    const long long lr_SliceCount = mr_SliceCount > 0 ? mr_SliceCount : 0;
    // More vertices than the batch can index are refused by it: no buffers, no slices.
    const long long lr_Vertices = std::min<long long>(4 * lr_SliceCount, BatchScreenMask::k_MaxCapacity + 1LL);
    std::unique_ptr<BatchScreenMask> lr_Batch(new BatchScreenMask(mr_Device_, static_cast<int>(lr_Vertices)));
    const size_t lr_Slices = static_cast<size_t>(lr_Batch->GetCapacity() / 4);
    std::vector<std::unique_ptr<ScreenMask>> lr_Owned;
    lr_Owned.reserve(lr_Slices);
    for (size_t lr_Slice = 0; lr_Slice < lr_Slices; ++lr_Slice) {
        lr_Owned.push_back(std::unique_ptr<ScreenMask>(new ScreenMask(true)));
        lr_Owned.back()->Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
        lr_Owned.back()->SetTexCoords(0.0f, 0.0f, 1.0f, 1.0f, 0);
    }
    std::vector<ScreenMask*> lr_Masks(lr_Slices, nullptr);

    // Nothing below throws.
    for (size_t lr_Slice = 0; lr_Slice < lr_Slices; ++lr_Slice) lr_Masks[lr_Slice] = lr_Owned[lr_Slice].release();
    for (size_t lr_Index = 0; lr_Index < mr_ZScreenMasks.size(); ++lr_Index) {
        delete mr_ZScreenMasks[lr_Index];
        mr_ZScreenMasks[lr_Index] = nullptr;
    }
    mr_ZScreenMasks.swap(lr_Masks);
    delete mr_ZScreenMask_;
    mr_ZScreenMask_ = lr_Batch.release();
    // The new batch is empty: without a fresh layout the slices would not be
    // drawn until the viewport's depth range happened to change.
    mr_SlicesDirty = true;
}

bool k_Plugin::SlicesComplete() const noexcept {
    if (!mr_ZScreenMask_) return false;
    if (mr_SliceCount <= 0) return true;
    return mr_ZScreenMask_->GetVertexBuffer() && mr_ZScreenMask_->GetIndexBuffer() &&
           mr_ZScreenMasks.size() == static_cast<size_t>(mr_SliceCount);
}
