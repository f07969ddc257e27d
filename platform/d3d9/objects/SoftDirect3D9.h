// IDirect3D9 of the software runtime: one adapter, or the heads of one
// multi-head card (adapter 0 the master), whose capabilities and
// render-target formats the tests can change through the device's controls.
#pragma once

#include <d3d9.h>

#include <vector>

class SoftDirect3D9 final : public IDirect3D9 {
public:
    SoftDirect3D9();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void* pInitializeFunction) override;
    UINT STDMETHODCALLTYPE GetAdapterCount() override;
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT Adapter, DWORD Flags,
                                                   D3DADAPTER_IDENTIFIER9* pIdentifier) override;
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) override;
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode,
                                               D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                              D3DFORMAT BackBufferFormat, BOOL bWindowed) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                                DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat,
                                                         BOOL Windowed, D3DMULTISAMPLE_TYPE MultiSampleType,
                                                         DWORD* pQualityLevels) override;
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                                     D3DFORMAT RenderTargetFormat,
                                                     D3DFORMAT DepthStencilFormat) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SourceFormat,
                                                          D3DFORMAT TargetFormat) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT Adapter) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                           D3DPRESENT_PARAMETERS* pPresentationParameters,
                                           IDirect3DDevice9** ppReturnedDeviceInterface) override;
    // Adapter configuration shared by the devices made here.
    bool IsRenderTargetFormat(D3DFORMAT format) const;
    void SetRenderTargetFormatSupported(D3DFORMAT format, bool supported);
    void SetShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion);
    void SetAdaptersInGroup(UINT count);
    void SetTextureCaps(DWORD textureCaps, UINT maxWidth, UINT maxHeight);
    void FillCaps(UINT adapter, D3DCAPS9* caps) const;
    UINT AdapterCount() const { return mr_AdaptersInGroup; }
    static constexpr UINT k_MaxAdapters = 8;
    static bool IsDisplayFormat(D3DFORMAT format);

private:
    ~SoftDirect3D9() = default;

    ULONG mr_RefCount;
    std::vector<D3DFORMAT> mr_RenderTargetFormats;
    DWORD mr_VertexShaderVersion;
    DWORD mr_PixelShaderVersion;
    UINT mr_AdaptersInGroup;
    DWORD mr_TextureCaps;
    UINT mr_MaxTextureWidth;
    UINT mr_MaxTextureHeight;
};
