// ISoftDeviceControl of a software device: a second interface on the same
// object (its references are the device's).
#pragma once

#include <soft/SoftDeviceControl.h>

class SoftDevice;

class SoftDeviceControlImpl final : public ISoftDeviceControl {
public:
    explicit SoftDeviceControlImpl(SoftDevice* device) : mr_Device_(device) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    std::vector<SoftLiveObject> GetLiveObjects() override;
    UINT CountLiveObjects(SoftObjectKind kind, int pool, bool includeImplicit) override;
    const std::vector<SoftDrawRecord>& GetDraws() override;
    const std::vector<SoftCopyRecord>& GetCopies() override;
    void ClearRecords() override;
    void SetRecording(bool on) override;
    UINT GetCallCount(SoftCall call) override;
    unsigned long long GetTotalCallCount() override;
    void ResetCallCounts() override;
    void SetCallHook(SoftCall call, std::function<void()> hook) override;
    void FailCall(SoftCall call, UINT nth, HRESULT result) override;
    void ClearFaults() override;
    void ThrowFromCall(SoftCall call, UINT times) override;
    void SetRenderTargetFormatSupported(D3DFORMAT format, bool supported) override;
    void SetShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion) override;
    void SetAdaptersInGroup(UINT count) override;
    void SetTextureCaps(DWORD textureCaps, UINT maxWidth, UINT maxHeight) override;
    void SetRowPitchAlignment(UINT alignment) override;
    void SetFixedPointFiltering(bool on) override;
    void AdvanceWorkerClock(DWORD milliseconds) override;
    void SetDeviceLost(bool lost) override;
    void SetQueryLatency(UINT presents) override;
    void SetQueryTypeSupported(D3DQUERYTYPE type, bool supported) override;
    HRESULT ReadPixels(IDirect3DSurface9* surface, std::vector<BYTE>& pixels) override;
    HRESULT WritePixels(IDirect3DSurface9* surface, const std::vector<BYTE>& pixels) override;
    ULONG PeekRefCount(IUnknown* object) override;
    ULONG GetDeviceRefCount() override;
    UINT GetOverReleaseCount() override;

private:
    SoftDevice* mr_Device_;
};
