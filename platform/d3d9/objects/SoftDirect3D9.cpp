#include "objects/SoftDirect3D9.h"

#include "objects/SoftDevice.h"
#include "pipeline/SoftFormat.h"

#include <soft/SoftShaderModels.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

const D3DDISPLAYMODE k_Modes[] = {
    {640, 480, 60, D3DFMT_X8R8G8B8},  {800, 600, 60, D3DFMT_X8R8G8B8},   {1024, 768, 60, D3DFMT_X8R8G8B8},
    {1280, 720, 60, D3DFMT_X8R8G8B8}, {1280, 1024, 60, D3DFMT_X8R8G8B8}, {1920, 1080, 60, D3DFMT_X8R8G8B8},
};

bool IsDepthStencilUsable(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24X4S4:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8: return true;
    default: return format == D3DFMT_INTZ || format == D3DFMT_DF16 || format == D3DFMT_DF24;
    }
}

}  // namespace

SoftDirect3D9::SoftDirect3D9()
    : mr_RefCount(1),
      mr_RenderTargetFormats{D3DFMT_R8G8B8,        D3DFMT_A8R8G8B8,      D3DFMT_X8R8G8B8,    D3DFMT_A8B8G8R8,
                             D3DFMT_X8B8G8R8,      D3DFMT_A2R10G10B10,   D3DFMT_A2B10G10R10, D3DFMT_A16B16G16R16,
                             D3DFMT_A16B16G16R16F, D3DFMT_R16F,          D3DFMT_G16R16F,     D3DFMT_R32F,
                             D3DFMT_G32R32F,       D3DFMT_A32B32G32R32F, D3DFMT_R5G6B5,      D3DFMT_X1R5G5B5,
                             D3DFMT_A1R5G5B5},
      mr_VertexShaderVersion(D3DVS_VERSION(3, 0)),
      mr_PixelShaderVersion(D3DPS_VERSION(3, 0)),
      mr_AdaptersInGroup(1),
      // What a typical shader-model-3 adapter reports: full mip chains, no power-of-two restrictions.
      mr_TextureCaps(D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PROJECTED |
                     D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_MIPCUBEMAP |
                     D3DPTEXTURECAPS_VOLUMEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP),
      mr_MaxTextureWidth(8192),
      mr_MaxTextureHeight(8192) {}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3D9) {
        *ppv = static_cast<IDirect3D9*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE SoftDirect3D9::AddRef() { return ++mr_RefCount; }

ULONG STDMETHODCALLTYPE SoftDirect3D9::Release() {
    ULONG lr_Count = --mr_RefCount;
    if (lr_Count == 0) delete this;
    return lr_Count;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::RegisterSoftwareDevice(void*) { return D3D_OK; }

UINT STDMETHODCALLTYPE SoftDirect3D9::GetAdapterCount() { return AdapterCount(); }

HRESULT STDMETHODCALLTYPE SoftDirect3D9::GetAdapterIdentifier(UINT Adapter, DWORD,
                                                              D3DADAPTER_IDENTIFIER9* pIdentifier) {
    if (Adapter >= AdapterCount() || !pIdentifier) return D3DERR_INVALIDCALL;
    std::memset(pIdentifier, 0, sizeof(*pIdentifier));
    std::snprintf(pIdentifier->Driver, sizeof(pIdentifier->Driver), "%s", "softd3d9");
    std::snprintf(pIdentifier->Description, sizeof(pIdentifier->Description), "%s", "Software Direct3D 9 adapter");
    std::snprintf(pIdentifier->DeviceName, sizeof(pIdentifier->DeviceName), "%s", "\\\\.\\DISPLAY1");
    pIdentifier->DriverVersion.QuadPart = 0x0009000000000000LL;
    pIdentifier->WHQLLevel = 1;
    return D3D_OK;
}

UINT STDMETHODCALLTYPE SoftDirect3D9::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) {
    if (Adapter >= AdapterCount() || Format != D3DFMT_X8R8G8B8) return 0;
    return static_cast<UINT>(sizeof(k_Modes) / sizeof(k_Modes[0]));
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode,
                                                          D3DDISPLAYMODE* pMode) {
    if (!pMode || Mode >= GetAdapterModeCount(Adapter, Format)) return D3DERR_INVALIDCALL;
    *pMode = k_Modes[Mode];
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    if (Adapter >= AdapterCount() || !pMode) return D3DERR_INVALIDCALL;
    *pMode = D3DDISPLAYMODE{1920, 1080, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

bool SoftDirect3D9::IsDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 ||
           format == D3DFMT_A2R10G10B10;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::CheckDeviceType(UINT Adapter, D3DDEVTYPE, D3DFORMAT AdapterFormat,
                                                         D3DFORMAT BackBufferFormat, BOOL bWindowed) {
    if (Adapter >= AdapterCount()) return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(AdapterFormat)) return D3DERR_NOTAVAILABLE;
    if (BackBufferFormat == D3DFMT_UNKNOWN) return bWindowed ? D3D_OK : D3DERR_INVALIDCALL;
    return IsRenderTargetFormat(BackBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE, D3DFORMAT AdapterFormat,
                                                           DWORD Usage, D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
    if (Adapter >= AdapterCount()) return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(AdapterFormat)) return D3DERR_NOTAVAILABLE;
    SoftFormatInfo lr_Info = SoftGetFormatInfo(CheckFormat);
    if (Usage & D3DUSAGE_RENDERTARGET) {
        if (RType != D3DRTYPE_SURFACE && RType != D3DRTYPE_TEXTURE && RType != D3DRTYPE_CUBETEXTURE)
            return D3DERR_NOTAVAILABLE;
        if (!IsRenderTargetFormat(CheckFormat)) return D3DERR_NOTAVAILABLE;
    } else if (Usage & D3DUSAGE_DEPTHSTENCIL) {
        if (RType != D3DRTYPE_SURFACE && RType != D3DRTYPE_TEXTURE) return D3DERR_NOTAVAILABLE;
        if (!IsDepthStencilUsable(CheckFormat)) return D3DERR_NOTAVAILABLE;
        // Depth textures only in the formats made for sampling.
        if (RType == D3DRTYPE_TEXTURE && !lr_Info.FourCC) return D3DERR_NOTAVAILABLE;
    } else {
        if (lr_Info.BytesPerPixel == 0 && lr_Info.BlockBytes == 0) return D3DERR_NOTAVAILABLE;
        if (CheckFormat == D3DFMT_NULL) return D3DERR_NOTAVAILABLE;
        if (RType == D3DRTYPE_VERTEXBUFFER || RType == D3DRTYPE_INDEXBUFFER) return D3DERR_NOTAVAILABLE;
        if (lr_Info.Depth && !lr_Info.FourCC) return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE, D3DFORMAT SurfaceFormat,
                                                                    BOOL, D3DMULTISAMPLE_TYPE MultiSampleType,
                                                                    DWORD* pQualityLevels) {
    if (Adapter >= AdapterCount()) return D3DERR_INVALIDCALL;
    if (pQualityLevels) *pQualityLevels = 0;
    SoftFormatInfo lr_Info = SoftGetFormatInfo(SurfaceFormat);
    if (lr_Info.BytesPerPixel == 0) return D3DERR_NOTAVAILABLE;
    if (!lr_Info.Depth && !IsRenderTargetFormat(SurfaceFormat)) return D3DERR_NOTAVAILABLE;
    // The rasteriser takes one sample per pixel: like a device without
    // multisampling, it offers none, so callers must do without.
    if (MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
    if (pQualityLevels) *pQualityLevels = 1;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE, D3DFORMAT AdapterFormat,
                                                                D3DFORMAT RenderTargetFormat,
                                                                D3DFORMAT DepthStencilFormat) {
    if (Adapter >= AdapterCount()) return D3DERR_INVALIDCALL;
    if (!IsDisplayFormat(AdapterFormat) || !IsRenderTargetFormat(RenderTargetFormat)) return D3DERR_NOTAVAILABLE;
    return IsDepthStencilUsable(DepthStencilFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::CheckDeviceFormatConversion(UINT Adapter, D3DDEVTYPE, D3DFORMAT SourceFormat,
                                                                     D3DFORMAT TargetFormat) {
    if (Adapter >= AdapterCount()) return D3DERR_INVALIDCALL;
    // StretchRect converts nothing: only identical formats.
    return SourceFormat == TargetFormat && IsRenderTargetFormat(TargetFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::GetDeviceCaps(UINT Adapter, D3DDEVTYPE, D3DCAPS9* pCaps) {
    if (Adapter >= AdapterCount() || !pCaps) return D3DERR_INVALIDCALL;
    FillCaps(Adapter, pCaps);
    return D3D_OK;
}

HMONITOR STDMETHODCALLTYPE SoftDirect3D9::GetAdapterMonitor(UINT Adapter) {
    // Each head shows on a monitor of its own.
    static HMONITOR__ lr_Monitors[k_MaxAdapters] = {};
    return Adapter < AdapterCount() ? &lr_Monitors[Adapter] : nullptr;
}

HRESULT STDMETHODCALLTYPE SoftDirect3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                                      DWORD BehaviorFlags,
                                                      D3DPRESENT_PARAMETERS* pPresentationParameters,
                                                      IDirect3DDevice9** ppReturnedDeviceInterface) {
    if (!ppReturnedDeviceInterface) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    if (Adapter >= AdapterCount() || !pPresentationParameters) return D3DERR_INVALIDCALL;
    // Only the master adapter may drive the heads of its group.
    if ((BehaviorFlags & D3DCREATE_ADAPTERGROUP_DEVICE) && Adapter != 0) return D3DERR_INVALIDCALL;
    DWORD lr_Processing = BehaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                           D3DCREATE_MIXED_VERTEXPROCESSING);
    // Exactly one kind of vertex processing, as the runtime demands.
    if (lr_Processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && lr_Processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        lr_Processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    // A pure device is a hardware-processing one only.
    if ((BehaviorFlags & D3DCREATE_PUREDEVICE) && lr_Processing != D3DCREATE_HARDWARE_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    SoftDevice* lr_Device_ = new (std::nothrow) SoftDevice(this, Adapter, DeviceType, hFocusWindow, BehaviorFlags);
    if (!lr_Device_) return E_OUTOFMEMORY;
    HRESULT hr = lr_Device_->Initialize(pPresentationParameters);
    if (FAILED(hr)) {
        lr_Device_->Release();
        return hr;
    }
    *ppReturnedDeviceInterface = lr_Device_;
    return D3D_OK;
}

bool SoftDirect3D9::IsRenderTargetFormat(D3DFORMAT format) const {
    return std::find(mr_RenderTargetFormats.begin(), mr_RenderTargetFormats.end(), format) !=
           mr_RenderTargetFormats.end();
}

void SoftDirect3D9::SetRenderTargetFormatSupported(D3DFORMAT format, bool supported) {
    auto lr_It = std::find(mr_RenderTargetFormats.begin(), mr_RenderTargetFormats.end(), format);
    if (supported && lr_It == mr_RenderTargetFormats.end()) mr_RenderTargetFormats.push_back(format);
    if (!supported && lr_It != mr_RenderTargetFormats.end()) mr_RenderTargetFormats.erase(lr_It);
}

void SoftDirect3D9::SetShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion) {
    mr_VertexShaderVersion = vertexShaderVersion;
    mr_PixelShaderVersion = pixelShaderVersion;
}

void SoftDirect3D9::SetAdaptersInGroup(UINT count) {
    mr_AdaptersInGroup = std::min(std::max(count, 1u), k_MaxAdapters);
}

void SoftDirect3D9::SetTextureCaps(DWORD textureCaps, UINT maxWidth, UINT maxHeight) {
    mr_TextureCaps = textureCaps;
    // Within what the device can hold at all.
    mr_MaxTextureWidth = std::min(std::max(maxWidth, 1u), 8192u);
    mr_MaxTextureHeight = std::min(std::max(maxHeight, 1u), 8192u);
}

void SoftDirect3D9::FillCaps(UINT adapter, D3DCAPS9* caps) const {
    std::memset(caps, 0, sizeof(*caps));
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->AdapterOrdinal = adapter;
    caps->Caps2 = D3DCAPS2_CANAUTOGENMIPMAP;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->PrimitiveMiscCaps = D3DPMISCCAPS_COLORWRITEENABLE;
    caps->TextureCaps = mr_TextureCaps;
    caps->TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                              D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    caps->CubeTextureFilterCaps = caps->TextureFilterCaps;
    caps->VolumeTextureFilterCaps = caps->TextureFilterCaps;
    caps->TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                               D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
    caps->VolumeTextureAddressCaps = caps->TextureAddressCaps;
    caps->MaxTextureWidth = mr_MaxTextureWidth;
    caps->MaxTextureHeight = mr_MaxTextureHeight;
    caps->MaxVolumeExtent = 2048;
    caps->MaxTextureRepeat = 8192;
    caps->MaxTextureAspectRatio = 8192;
    caps->MaxAnisotropy = 16;
    caps->MaxVertexW = 1e10f;
    caps->MaxTextureBlendStages = SOFT_TEXTURE_STAGES;
    caps->MaxSimultaneousTextures = SOFT_TEXTURE_STAGES;
    caps->MaxActiveLights = 8;
    caps->MaxUserClipPlanes = SOFT_CLIP_PLANES;
    caps->MaxVertexBlendMatrices = 4;
    caps->MaxVertexBlendMatrixIndex = 0;
    caps->MaxPointSize = 64.0f;
    caps->MaxPrimitiveCount = 0x00FFFFFF;
    caps->MaxVertexIndex = 0x00FFFFFF;
    caps->MaxStreams = SOFT_STREAMS;
    caps->MaxStreamStride = 508;
    caps->VertexShaderVersion = mr_VertexShaderVersion;
    caps->MaxVertexShaderConst = SOFT_VS_CONSTANTS_F;
    caps->PixelShaderVersion = mr_PixelShaderVersion;
    caps->PixelShader1xMaxValue = 65504.0f;
    caps->DevCaps2 = D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES;
    // All heads form one group: the master counts them, a subordinate head reports 0.
    caps->MasterAdapterOrdinal = 0;
    caps->AdapterOrdinalInGroup = adapter;
    caps->NumberOfAdaptersInGroup = adapter == 0 ? mr_AdaptersInGroup : 0;
    caps->NumSimultaneousRTs = SOFT_RENDER_TARGETS;
    caps->StretchRectFilterCaps =
        D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    // A part limited to model 2.0 reports the base 2.0 caps, as such hardware
    // does, so that 2_a and 2_b techniques fail validation there.
    const bool lr_Vertex3 = (mr_VertexShaderVersion & 0xFFFF) >= 0x0300;
    const bool lr_Pixel3 = (mr_PixelShaderVersion & 0xFFFF) >= 0x0300;
    caps->VS20Caps.NumTemps = SoftFindShaderModel(D3DVS_VERSION(lr_Vertex3 ? 3 : 2, 0))->Temporaries;
    caps->PS20Caps.NumTemps = SoftFindShaderModel(D3DPS_VERSION(lr_Pixel3 ? 3 : 2, 0))->Temporaries;
    if (lr_Vertex3) {
        caps->VS20Caps.DynamicFlowControlDepth = 24;
        caps->VS20Caps.StaticFlowControlDepth = 4;
    } else {
        caps->VS20Caps.StaticFlowControlDepth = 1;
    }
    if (lr_Pixel3) {
        caps->PS20Caps.Caps = D3DPS20CAPS_ARBITRARYSWIZZLE | D3DPS20CAPS_GRADIENTINSTRUCTIONS |
                              D3DPS20CAPS_PREDICATION | D3DPS20CAPS_NODEPENDENTREADLIMIT |
                              D3DPS20CAPS_NOTEXINSTRUCTIONLIMIT;
        caps->PS20Caps.DynamicFlowControlDepth = 24;
        caps->PS20Caps.StaticFlowControlDepth = 4;
        caps->PS20Caps.NumInstructionSlots = D3DPS20_MAX_NUMINSTRUCTIONSLOTS;
    } else {
        caps->PS20Caps.NumInstructionSlots = D3DPS20_MIN_NUMINSTRUCTIONSLOTS;
    }
    caps->MaxVShaderInstructionsExecuted = 65535;
    caps->MaxPShaderInstructionsExecuted = 65535;
    caps->MaxVertexShader30InstructionSlots = 32768;
    caps->MaxPixelShader30InstructionSlots = 32768;
}

extern "C" DECLSPEC_EXPORT IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
    // The debug runtime flag (high bit) is accepted like the real loader does.
    if ((SDKVersion & 0x7FFFFFFFu) != D3D_SDK_VERSION) return nullptr;
    return new (std::nothrow) SoftDirect3D9();
}
