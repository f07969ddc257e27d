#include "objects/SoftDeviceControlImpl.h"

#include "objects/SoftDevice.h"
#include "objects/SoftDirect3D9.h"
#include "pipeline/SoftFormat.h"
#include "objects/SoftSurface.h"

#include <cstring>
#include <utility>

HRESULT STDMETHODCALLTYPE SoftDeviceControlImpl::QueryInterface(REFIID riid, void** ppv) {
    return mr_Device_->QueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE SoftDeviceControlImpl::AddRef() { return mr_Device_->AddRef(); }

ULONG STDMETHODCALLTYPE SoftDeviceControlImpl::Release() { return mr_Device_->Release(); }

std::vector<SoftLiveObject> SoftDeviceControlImpl::GetLiveObjects() {
    std::vector<SoftLiveObject> lr_Objects;
    for (SoftObject* lr_Object_ : mr_Device_->mr_Objects) {
        // Objects only the device still holds (bound after their last
        // release) are not the application's.
        if (!lr_Object_->Listed() || (lr_Object_->PublicCount() == 0 && !lr_Object_->Implicit())) continue;
        SoftLiveObject lr_Desc;
        lr_Object_->Describe(lr_Desc);
        lr_Objects.push_back(lr_Desc);
    }
    return lr_Objects;
}

UINT SoftDeviceControlImpl::CountLiveObjects(SoftObjectKind kind, int pool, bool includeImplicit) {
    UINT lr_Count = 0;
    for (const SoftLiveObject& lr_Object : GetLiveObjects()) {
        if (kind != SoftObjectKind::Count && lr_Object.Kind != kind) continue;
        if (pool >= 0 && lr_Object.Pool != static_cast<D3DPOOL>(pool)) continue;
        if (lr_Object.Implicit && !includeImplicit) continue;
        ++lr_Count;
    }
    return lr_Count;
}

const std::vector<SoftDrawRecord>& SoftDeviceControlImpl::GetDraws() { return mr_Device_->mr_Draws; }

const std::vector<SoftCopyRecord>& SoftDeviceControlImpl::GetCopies() { return mr_Device_->mr_Copies; }

void SoftDeviceControlImpl::ClearRecords() {
    mr_Device_->mr_Draws.clear();
    mr_Device_->mr_Copies.clear();
    mr_Device_->mr_FrameStarts.clear();
}

void SoftDeviceControlImpl::SetRecording(bool on) { mr_Device_->mr_RecordCalls = on; }

UINT SoftDeviceControlImpl::GetCallCount(SoftCall call) {
    int lr_Index = static_cast<int>(call);
    if (lr_Index < 0 || lr_Index >= static_cast<int>(SoftCall::Count)) return 0;
    return mr_Device_->mr_CallCounts[lr_Index];
}

unsigned long long SoftDeviceControlImpl::GetTotalCallCount() { return mr_Device_->mr_TotalCalls; }

void SoftDeviceControlImpl::ResetCallCounts() {
    for (UINT& lr_Count : mr_Device_->mr_CallCounts) lr_Count = 0;
    mr_Device_->mr_TotalCalls = 0;
}

void SoftDeviceControlImpl::SetCallHook(SoftCall call, std::function<void()> hook) {
    const int lr_Index = static_cast<int>(call);
    if (lr_Index < 0 || lr_Index >= static_cast<int>(SoftCall::Count)) return;
    mr_Device_->mr_CallHooks[lr_Index] = std::move(hook);
}

void SoftDeviceControlImpl::FailCall(SoftCall call, UINT nth, HRESULT result) {
    if (nth == 0 || call == SoftCall::Count) return;
    mr_Device_->mr_Faults.push_back(SoftDevice::Fault{call, nth, result, false});
}

void SoftDeviceControlImpl::ThrowFromCall(SoftCall call, UINT times) {
    if (call == SoftCall::Count) return;
    for (UINT i = 1; i <= times; ++i) mr_Device_->mr_Faults.push_back(SoftDevice::Fault{call, i, D3D_OK, true});
}

void SoftDeviceControlImpl::ClearFaults() { mr_Device_->mr_Faults.clear(); }

void SoftDeviceControlImpl::SetRenderTargetFormatSupported(D3DFORMAT format, bool supported) {
    mr_Device_->mr_Direct3D_->SetRenderTargetFormatSupported(format, supported);
}

void SoftDeviceControlImpl::SetShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion) {
    mr_Device_->mr_Direct3D_->SetShaderVersions(vertexShaderVersion, pixelShaderVersion);
}

void SoftDeviceControlImpl::SetAdaptersInGroup(UINT count) { mr_Device_->mr_Direct3D_->SetAdaptersInGroup(count); }

void SoftDeviceControlImpl::SetTextureCaps(DWORD textureCaps, UINT maxWidth, UINT maxHeight) {
    mr_Device_->mr_Direct3D_->SetTextureCaps(textureCaps, maxWidth, maxHeight);
}

void SoftDeviceControlImpl::SetRowPitchAlignment(UINT alignment) {
    // Anything else is not a power of two the rows could start at.
    if (alignment == 0 || alignment > 4096 || (alignment & (alignment - 1)) != 0) return;
    mr_Device_->mr_RowPitchAlignment = alignment;
}

void SoftDeviceControlImpl::SetFixedPointFiltering(bool on) { mr_Device_->mr_FixedPointFiltering = on; }

void SoftDeviceControlImpl::AdvanceWorkerClock(DWORD milliseconds) {
    mr_Device_->mr_WorkerClockAdvance += std::chrono::milliseconds(milliseconds);
}

void SoftDeviceControlImpl::SetDeviceLost(bool lost) {
    if (lost && !mr_Device_->Lost()) ++mr_Device_->mr_Losses;
    mr_Device_->mr_Lost = lost;
    // A lost device must be reset once it can be.
    if (lost) mr_Device_->mr_NeedsReset = true;
}

void SoftDeviceControlImpl::SetQueryLatency(UINT presents) { mr_Device_->mr_QueryLatency = presents; }

void SoftDeviceControlImpl::SetQueryTypeSupported(D3DQUERYTYPE type, bool supported) {
    const UINT lr_Type = static_cast<UINT>(type);
    if (lr_Type >= 32) return;
    if (supported) {
        mr_Device_->mr_UnsupportedQueries &= ~(1u << lr_Type);
    } else {
        mr_Device_->mr_UnsupportedQueries |= 1u << lr_Type;
    }
}

HRESULT SoftDeviceControlImpl::ReadPixels(IDirect3DSurface9* surface, std::vector<BYTE>& pixels) {
    SoftSurface* lr_Surface_ = mr_Device_->OwnSurface(surface);
    if (!lr_Surface_) return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& lr_Desc = lr_Surface_->Desc();
    size_t lr_Row = SoftRowPitch(lr_Desc.Format, lr_Desc.Width);
    size_t lr_Rows = SoftRowCount(lr_Desc.Format, lr_Desc.Height);
    pixels.resize(lr_Row * lr_Rows);
    for (size_t y = 0; y < lr_Rows; ++y)
        std::memcpy(pixels.data() + y * lr_Row, lr_Surface_->Bits() + y * lr_Surface_->Pitch(), lr_Row);
    return D3D_OK;
}

HRESULT SoftDeviceControlImpl::WritePixels(IDirect3DSurface9* surface, const std::vector<BYTE>& pixels) {
    SoftSurface* lr_Surface_ = mr_Device_->OwnSurface(surface);
    if (!lr_Surface_) return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& lr_Desc = lr_Surface_->Desc();
    size_t lr_Row = SoftRowPitch(lr_Desc.Format, lr_Desc.Width);
    size_t lr_Rows = SoftRowCount(lr_Desc.Format, lr_Desc.Height);
    if (pixels.size() != lr_Row * lr_Rows) return D3DERR_INVALIDCALL;
    for (size_t y = 0; y < lr_Rows; ++y)
        std::memcpy(lr_Surface_->Bits() + y * lr_Surface_->Pitch(), pixels.data() + y * lr_Row, lr_Row);
    return D3D_OK;
}

ULONG SoftDeviceControlImpl::PeekRefCount(IUnknown* object) {
    if (!object) return 0;
    if (object == static_cast<IDirect3DDevice9*>(mr_Device_)) return mr_Device_->mr_RefCount;
    SoftObject* lr_Object_ = mr_Device_->FindObject(object);
    return lr_Object_ ? lr_Object_->PublicCount() : 0;
}

ULONG SoftDeviceControlImpl::GetDeviceRefCount() { return mr_Device_->mr_RefCount; }

UINT SoftDeviceControlImpl::GetOverReleaseCount() { return mr_Device_->mr_OverReleases; }
