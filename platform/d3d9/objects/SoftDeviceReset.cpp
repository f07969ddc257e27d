// Reset, Present and device loss.
#include "objects/SoftDevice.h"
#include "objects/SoftStateBlock.h"
#include "objects/SoftSwapChain.h"

#include <algorithm>
#include <vector>

void SoftDevice::NeedReset() {
    if (!Lost()) ++mr_Losses;
    mr_NeedsReset = true;
}

bool SoftDevice::ResetBlocked() const {
    SoftLiveObject lr_Desc;
    for (SoftObject* lr_Object_ : mr_Objects) {
        if (!lr_Object_->Listed() || lr_Object_->PublicCount() == 0) continue;
        lr_Object_->Describe(lr_Desc);
        switch (lr_Desc.Kind) {
        case SoftObjectKind::SwapChain:
            // Additional swap chains block a reset; the implicit one only
            // through references to its back buffers.
            if (!lr_Desc.Implicit) return true;
            break;
        case SoftObjectKind::Surface:
            // Includes back buffers and the automatic depth-stencil surface.
            if (lr_Desc.Implicit || lr_Desc.Pool == D3DPOOL_DEFAULT) return true;
            break;
        case SoftObjectKind::Texture:
        case SoftObjectKind::CubeTexture:
        case SoftObjectKind::VolumeTexture:
        case SoftObjectKind::VertexBuffer:
        case SoftObjectKind::IndexBuffer:
            if (lr_Desc.Pool == D3DPOOL_DEFAULT) return true;
            break;
        case SoftObjectKind::StateBlock:
            // A block survives a reset unless it holds a default-pool
            // resource, which the real runtime cannot keep across one.
            if (static_cast<const SoftStateBlock*>(lr_Object_)->HoldsDefaultPoolResource()) return true;
            break;
        default:
            // Shaders, declarations and queries survive. Microsoft's list
            // of what to release before a Reset names no queries, and
            // Wine's Reset looks at none; a loss takes only their results.
            break;
        }
    }
    return false;
}

HRESULT STDMETHODCALLTYPE SoftDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
    NoteCall();
    HRESULT hr;
    if (TakeFault(SoftCall::Reset, &hr)) {
        NeedReset();
        return hr;
    }
    if (mr_Lost) return D3DERR_DEVICELOST;
    if (!pPresentationParameters) return D3DERR_INVALIDCALL;
    // A refused reset leaves the device unusable until a reset succeeds.
    if (ResetBlocked()) {
        NeedReset();
        return D3DERR_INVALIDCALL;
    }
    // A device driving an adapter group takes one set of parameters per head.
    std::vector<D3DPRESENT_PARAMETERS> lr_Heads(pPresentationParameters, pPresentationParameters + HeadCount());
    hr = NormalizeHeads(lr_Heads.data());
    if (FAILED(hr)) {
        NeedReset();
        return hr;
    }
    std::copy(lr_Heads.begin(), lr_Heads.end(), pPresentationParameters);
    const D3DPRESENT_PARAMETERS& lr_Params = lr_Heads[0];

    // Recording stops; the device state returns to its defaults, which
    // drops every binding (objects only the device held go away here).
    if (mr_RecordMask_) {
        mr_Target_ = &mr_State;
        mr_RecordMask_ = nullptr;
        mr_RecordingBlock.Reset();
    }
    mr_InScene = false;
    mr_State.SetDefaults(lr_Params.BackBufferWidth, lr_Params.BackBufferHeight, lr_Params.EnableAutoDepthStencil != 0);
    ReleaseImplicitObjects();
    hr = CreateImplicitObjects(lr_Heads.data());
    if (FAILED(hr)) {
        NeedReset();
        return hr;
    }
    mr_NeedsReset = false;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::Present(const RECT*, const RECT*, HWND, const RGNDATA*) {
    NoteCall();
    for (size_t i = 0; i < mr_SwapChains.size(); ++i) {
        HRESULT hr = ImplicitSwapChain(static_cast<UINT>(i))->Show();
        if (FAILED(hr)) return hr;
    }
    NotePresent();
    RecordFrameEnd();
    return D3D_OK;
}

void SoftDevice::RecordFrameEnd() {
    if (!mr_RecordCalls) return;
    mr_FrameStarts.emplace_back(mr_Draws.size(), mr_Copies.size());
    if (mr_FrameStarts.size() < k_RecordedFrames) return;
    // The oldest frame goes.
    const std::pair<size_t, size_t> lr_Drop = mr_FrameStarts.front();
    mr_FrameStarts.erase(mr_FrameStarts.begin());
    mr_Draws.erase(mr_Draws.begin(), mr_Draws.begin() + static_cast<std::ptrdiff_t>(lr_Drop.first));
    mr_Copies.erase(mr_Copies.begin(), mr_Copies.begin() + static_cast<std::ptrdiff_t>(lr_Drop.second));
    for (std::pair<size_t, size_t>& lr_Start : mr_FrameStarts) {
        lr_Start.first -= lr_Drop.first;
        lr_Start.second -= lr_Drop.second;
    }
}

template <class Record>
void SoftDevice::MakeRoomFor(std::vector<Record>& records) {
    if (records.size() < k_MaxRecords) return;
    // Never presented, or one huge frame: the older half goes, and with it the frame marks.
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(k_MaxRecords / 2));
    mr_FrameStarts.clear();
}

template void SoftDevice::MakeRoomFor(std::vector<SoftDrawRecord>&);
template void SoftDevice::MakeRoomFor(std::vector<SoftCopyRecord>&);
