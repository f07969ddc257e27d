#include "objects/SoftDevice.h"

#include "objects/SoftDirect3D9.h"
#include "pipeline/SoftDrawPipeline.h"
#include "pipeline/SoftFormat.h"
#include "objects/SoftQuery.h"
#include "objects/SoftShader.h"
#include "objects/SoftStateBlock.h"
#include "objects/SoftSurface.h"
#include "objects/SoftSwapChain.h"

#include <stdexcept>
#include <algorithm>
#include <cstring>
#include <new>

SoftDevice::SoftDevice(SoftDirect3D9* direct3D, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags)
    : mr_RefCount(1),
      mr_Direct3D_(direct3D),
      mr_Creation{adapter, type, focusWindow, behaviorFlags},
      mr_Control(this),
      mr_Target_(&mr_State),
      mr_RecordMask_(nullptr),
      mr_ClipStatus{0, 0xFFFFFFFFu},
      mr_ShowCursor(FALSE),
      mr_InScene(false),
      mr_Lost(false),
      mr_NeedsReset(false),
      mr_ShuttingDown(false),
      mr_RecordCalls(true),
      mr_TotalCalls(0),
      mr_RowPitchAlignment(1),
      mr_OverReleases(0) {
    mr_Direct3D_->AddRef();
    for (UINT i = 0; i < 256; ++i) {
        WORD lr_Value = static_cast<WORD>(i * 257);
        mr_GammaRamp.red[i] = mr_GammaRamp.green[i] = mr_GammaRamp.blue[i] = lr_Value;
    }
    std::fill(std::begin(mr_CallCounts), std::end(mr_CallCounts), 0u);
    mr_State.SetDefaults(1, 1, false);
}

SoftDevice::~SoftDevice() { mr_Direct3D_->Release(); }

HRESULT SoftDevice::Initialize(D3DPRESENT_PARAMETERS* presentParameters) {
    HRESULT hr = NormalizeHeads(presentParameters);
    if (FAILED(hr)) return hr;
    return CreateImplicitObjects(presentParameters);
}

UINT SoftDevice::HeadCount() const {
    if (!(mr_Creation.BehaviorFlags & D3DCREATE_ADAPTERGROUP_DEVICE)) return 1;
    D3DCAPS9 lr_Caps;
    FillCaps(&lr_Caps);
    return lr_Caps.NumberOfAdaptersInGroup;
}

HRESULT SoftDevice::NormalizeHeads(D3DPRESENT_PARAMETERS* heads) const {
    const UINT lr_Heads = HeadCount();
    for (UINT i = 0; i < lr_Heads; ++i) {
        // A device driving several heads is full-screen on each.
        if (lr_Heads > 1 && heads[i].Windowed) return D3DERR_INVALIDCALL;
        HRESULT hr = NormalizePresentParameters(heads[i]);
        if (FAILED(hr)) return hr;
    }
    return D3D_OK;
}

HRESULT SoftDevice::NormalizePresentParameters(D3DPRESENT_PARAMETERS& params) const {
    // The runtime writes the values it chose back into the caller's structure.
    if (params.BackBufferCount == 0) params.BackBufferCount = 1;
    if (params.BackBufferCount > 3) {
        params.BackBufferCount = 3;
        return D3DERR_INVALIDCALL;
    }
    if (params.SwapEffect < D3DSWAPEFFECT_DISCARD || params.SwapEffect > D3DSWAPEFFECT_FLIPEX)
        return D3DERR_INVALIDCALL;
    if (params.SwapEffect == D3DSWAPEFFECT_COPY && params.BackBufferCount > 1) return D3DERR_INVALIDCALL;
    if (params.MultiSampleType != D3DMULTISAMPLE_NONE &&
        (params.SwapEffect != D3DSWAPEFFECT_DISCARD || (params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)))
        return D3DERR_INVALIDCALL;
    if (!params.Windowed && (params.BackBufferWidth == 0 || params.BackBufferHeight == 0)) return D3DERR_INVALIDCALL;
    // Without a window to measure, a windowed swap chain of size 0 gets 800x600.
    if (params.BackBufferWidth == 0) params.BackBufferWidth = 800;
    if (params.BackBufferHeight == 0) params.BackBufferHeight = 600;
    if (params.BackBufferWidth > 8192 || params.BackBufferHeight > 8192) return D3DERR_INVALIDCALL;
    if (params.BackBufferFormat == D3DFMT_UNKNOWN) {
        if (!params.Windowed) return D3DERR_INVALIDCALL;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    // Any render-target format of the adapter may be a back buffer here, so
    // that tests can give the module unusual formats.
    if (!mr_Direct3D_->IsRenderTargetFormat(params.BackBufferFormat)) return D3DERR_INVALIDCALL;
    if (mr_Direct3D_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, params.BackBufferFormat, params.Windowed,
                                                 params.MultiSampleType, nullptr) != D3D_OK)
        return D3DERR_NOTAVAILABLE;
    if (params.EnableAutoDepthStencil) {
        SoftFormatInfo lr_Info = SoftGetFormatInfo(params.AutoDepthStencilFormat);
        if (!lr_Info.Depth || lr_Info.BytesPerPixel == 0) return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT SoftDevice::CreateImplicitObjects(const D3DPRESENT_PARAMETERS* heads) {
    const UINT lr_Heads = HeadCount();
    for (UINT i = 0; i < lr_Heads; ++i) {
        SoftSwapChain* lr_Chain_ = new SoftSwapChain(this, heads[i], true);
        mr_SwapChains.emplace_back(lr_Chain_, lr_Chain_);
    }
    // The automatic depth-stencil surface and the viewport follow the master head.
    const D3DPRESENT_PARAMETERS& params = heads[0];
    SoftSwapChain* lr_Chain_ = ImplicitSwapChain(0);
    mr_RenderTargets[0].Reset(lr_Chain_->BackBufferInterface(0), lr_Chain_->BackBuffer(0));
    if (params.EnableAutoDepthStencil) {
        D3DSURFACE_DESC lr_Desc = SoftPresentSurfaceDesc(params, params.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL);
        bool lr_Lockable = SoftGetFormatInfo(params.AutoDepthStencilFormat).LockableDepth;
        SoftSurface* lr_Surface_ =
            new SoftSurface(this, SoftSurfaceRole::DepthStencil, lr_Desc, lr_Lockable, nullptr, nullptr, true);
        mr_AutoDepthStencil.Reset(lr_Surface_, lr_Surface_);
        mr_DepthStencil = mr_AutoDepthStencil;
    } else {
        mr_DepthStencil.Reset();
    }
    mr_State.SetDefaults(params.BackBufferWidth, params.BackBufferHeight, params.EnableAutoDepthStencil != 0);
    return D3D_OK;
}

void SoftDevice::ReleaseImplicitObjects() {
    for (auto& lr_Target : mr_RenderTargets) lr_Target.Reset();
    mr_DepthStencil.Reset();
    mr_AutoDepthStencil.Reset();
    mr_SwapChains.clear();
}

SoftSwapChain* SoftDevice::ImplicitSwapChain(UINT index) const {
    return index < mr_SwapChains.size() ? static_cast<SoftSwapChain*>(mr_SwapChains[index].Object()) : nullptr;
}

const D3DPRESENT_PARAMETERS& SoftDevice::PresentParameters() const { return ImplicitSwapChain(0)->Parameters(); }

void SoftDevice::Shutdown() {
    mr_ShuttingDown = true;
    mr_Target_ = &mr_State;
    mr_RecordMask_ = nullptr;
    mr_RecordingBlock.Reset();
    mr_State.SetDefaults(1, 1, false);
    ReleaseImplicitObjects();
}

// IUnknown -------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE SoftDevice::QueryInterface(REFIID riid, void** ppv) {
    NoteCall();
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) {
        *ppv = static_cast<IDirect3DDevice9*>(this);
    } else if (riid == IID_ISoftDeviceControl) {
        *ppv = static_cast<ISoftDeviceControl*>(&mr_Control);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE SoftDevice::AddRef() {
    if (mr_ShuttingDown) return 0;
    return ++mr_RefCount;
}

ULONG STDMETHODCALLTYPE SoftDevice::Release() {
    // Objects destroyed while the device shuts down must not count it again.
    if (mr_ShuttingDown || mr_RefCount == 0) return 0;
    ULONG lr_Count = --mr_RefCount;
    if (lr_Count == 0) {
        Shutdown();
        delete this;
    }
    return lr_Count;
}

// Bookkeeping ----------------------------------------------------------------

void SoftDevice::Register(SoftObject* object) { mr_Objects.push_back(object); }

void SoftDevice::Unregister(SoftObject* object) {
    auto lr_It = std::find(mr_Objects.begin(), mr_Objects.end(), object);
    if (lr_It != mr_Objects.end()) mr_Objects.erase(lr_It);
}

SoftObject* SoftDevice::FindObject(IUnknown* object) const {
    if (!object) return nullptr;
    for (SoftObject* lr_Object_ : mr_Objects) {
        if (lr_Object_->Unknown() == object) return lr_Object_;
    }
    return nullptr;
}

bool SoftDevice::TakeFault(SoftCall call, HRESULT* result) {
    ++mr_CallCounts[static_cast<int>(call)];
    // A copy: the hook may replace itself.
    if (mr_CallHooks[static_cast<int>(call)]) {
        const std::function<void()> lr_Hook = mr_CallHooks[static_cast<int>(call)];
        lr_Hook();
    }
    bool lr_Fired = false;
    bool lr_Throw = false;
    for (size_t i = 0; i < mr_Faults.size();) {
        Fault& lr_Fault = mr_Faults[i];
        if (lr_Fault.Call == call && --lr_Fault.Countdown == 0) {
            if (!lr_Fired) *result = lr_Fault.Result;
            lr_Throw = lr_Throw || lr_Fault.Throw;
            lr_Fired = true;
            mr_Faults.erase(mr_Faults.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
    if (lr_Throw) throw std::runtime_error("soft device fault");
    return lr_Fired;
}

void SoftDevice::FillCaps(D3DCAPS9* caps) const {
    mr_Direct3D_->FillCaps(mr_Creation.AdapterOrdinal, caps);
    caps->DeviceType = mr_Creation.DeviceType;
}

SoftSurface* SoftDevice::OwnSurface(IDirect3DSurface9* surface) const {
    if (!surface) return nullptr;
    SoftSurface* lr_Surface_ = dynamic_cast<SoftSurface*>(surface);
    if (!lr_Surface_ || lr_Surface_->Device() != this) return nullptr;
    return lr_Surface_;
}

// Device-wide queries ----------------------------------------------------------

HRESULT STDMETHODCALLTYPE SoftDevice::TestCooperativeLevel() {
    NoteCall();
    if (mr_Lost) return D3DERR_DEVICELOST;
    if (mr_NeedsReset) return D3DERR_DEVICENOTRESET;
    return D3D_OK;
}

UINT STDMETHODCALLTYPE SoftDevice::GetAvailableTextureMem() {
    NoteCall();
    return 512u * 1024u * 1024u;
}

HRESULT STDMETHODCALLTYPE SoftDevice::EvictManagedResources() {
    NoteCall();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetDirect3D(IDirect3D9** ppD3D9) {
    NoteCall();
    if (!ppD3D9) return D3DERR_INVALIDCALL;
    *ppD3D9 = mr_Direct3D_;
    mr_Direct3D_->AddRef();
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
    NoteCall();
    if (!pCaps) return D3DERR_INVALIDCALL;
    FillCaps(pCaps);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
    NoteCall();
    if (iSwapChain >= mr_SwapChains.size() || !pMode) return D3DERR_INVALIDCALL;
    return mr_Direct3D_->GetAdapterDisplayMode(mr_Creation.AdapterOrdinal, pMode);
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) {
    NoteCall();
    if (!pParameters) return D3DERR_INVALIDCALL;
    *pParameters = mr_Creation;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetCursorProperties(UINT, UINT, IDirect3DSurface9* pCursorBitmap) {
    NoteCall();
    SoftSurface* lr_Surface_ = OwnSurface(pCursorBitmap);
    if (!lr_Surface_ || lr_Surface_->Desc().Format != D3DFMT_A8R8G8B8) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

void STDMETHODCALLTYPE SoftDevice::SetCursorPosition(int, int, DWORD) { NoteCall(); }

BOOL STDMETHODCALLTYPE SoftDevice::ShowCursor(BOOL bShow) {
    NoteCall();
    BOOL lr_Old = mr_ShowCursor;
    mr_ShowCursor = bShow;
    return lr_Old;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetRasterStatus(UINT iSwapChain, D3DRASTER_STATUS* pRasterStatus) {
    NoteCall();
    SoftSwapChain* lr_Chain_ = ImplicitSwapChain(iSwapChain);
    if (!lr_Chain_) return D3DERR_INVALIDCALL;
    return lr_Chain_->GetRasterStatus(pRasterStatus);
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetDialogBoxMode(BOOL) {
    NoteCall();
    return D3D_OK;
}

void STDMETHODCALLTYPE SoftDevice::SetGammaRamp(UINT iSwapChain, DWORD, const D3DGAMMARAMP* pRamp) {
    NoteCall();
    if (iSwapChain < mr_SwapChains.size() && pRamp) mr_GammaRamp = *pRamp;
}

void STDMETHODCALLTYPE SoftDevice::GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) {
    NoteCall();
    if (iSwapChain < mr_SwapChains.size() && pRamp) *pRamp = mr_GammaRamp;
}

HRESULT STDMETHODCALLTYPE SoftDevice::BeginScene() {
    NoteCall();
    if (mr_InScene) return D3DERR_INVALIDCALL;
    mr_InScene = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::EndScene() {
    NoteCall();
    if (!mr_InScene) return D3DERR_INVALIDCALL;
    mr_InScene = false;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetClipStatus(const D3DCLIPSTATUS9* pClipStatus) {
    NoteCall();
    if (!pClipStatus) return D3DERR_INVALIDCALL;
    mr_ClipStatus = *pClipStatus;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetClipStatus(D3DCLIPSTATUS9* pClipStatus) {
    NoteCall();
    if (!pClipStatus) return D3DERR_INVALIDCALL;
    *pClipStatus = mr_ClipStatus;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::ValidateDevice(DWORD* pNumPasses) {
    NoteCall();
    if (!pNumPasses) return D3DERR_INVALIDCALL;
    *pNumPasses = 1;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries) {
    NoteCall();
    if (!pEntries || PaletteNumber > 0xFFFF) return D3DERR_INVALIDCALL;
    size_t lr_Needed = (static_cast<size_t>(PaletteNumber) + 1) * 256;
    if (mr_Palettes.size() < lr_Needed) mr_Palettes.resize(lr_Needed, PALETTEENTRY{0xFF, 0xFF, 0xFF, 0xFF});
    std::memcpy(&mr_Palettes[static_cast<size_t>(PaletteNumber) * 256], pEntries, 256 * sizeof(PALETTEENTRY));
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) {
    NoteCall();
    if (!pEntries || (static_cast<size_t>(PaletteNumber) + 1) * 256 > mr_Palettes.size()) return D3DERR_INVALIDCALL;
    std::memcpy(pEntries, &mr_Palettes[static_cast<size_t>(PaletteNumber) * 256], 256 * sizeof(PALETTEENTRY));
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetCurrentTexturePalette(UINT PaletteNumber) {
    NoteCall();
    if ((static_cast<size_t>(PaletteNumber) + 1) * 256 > mr_Palettes.size()) return D3DERR_INVALIDCALL;
    Target().CurrentTexturePalette = PaletteNumber;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetCurrentTexturePalette(UINT* PaletteNumber) {
    NoteCall();
    if (!PaletteNumber) return D3DERR_INVALIDCALL;
    *PaletteNumber = mr_State.CurrentTexturePalette;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetSoftwareVertexProcessing(BOOL bSoftware) {
    NoteCall();
    // Only a mixed-processing device may switch.
    if (!(mr_Creation.BehaviorFlags & D3DCREATE_MIXED_VERTEXPROCESSING)) return D3DERR_INVALIDCALL;
    mr_State.SoftwareVertexProcessing = bSoftware;
    return D3D_OK;
}

BOOL STDMETHODCALLTYPE SoftDevice::GetSoftwareVertexProcessing() {
    NoteCall();
    if (mr_Creation.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) return TRUE;
    return mr_State.SoftwareVertexProcessing;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetNPatchMode(float nSegments) {
    NoteCall();
    Target().NPatchMode = nSegments;
    if (mr_RecordMask_) mr_RecordMask_->NPatchMode = true;
    return D3D_OK;
}

float STDMETHODCALLTYPE SoftDevice::GetNPatchMode() {
    NoteCall();
    return mr_State.NPatchMode;
}

HRESULT STDMETHODCALLTYPE SoftDevice::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9* pDestBuffer,
                                                      IDirect3DVertexDeclaration9*, DWORD) {
    NoteCall();
    return pDestBuffer ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE SoftDevice::DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) {
    NoteCall();
    return D3DERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE SoftDevice::DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) {
    NoteCall();
    return D3DERR_INVALIDCALL;
}

HRESULT STDMETHODCALLTYPE SoftDevice::DeletePatch(UINT) {
    NoteCall();
    return D3DERR_INVALIDCALL;
}

bool SoftDevice::QuerySupported(D3DQUERYTYPE type) const {
    const UINT lr_Type = static_cast<UINT>(type);
    if (lr_Type < 32 && (mr_UnsupportedQueries & (1u << lr_Type))) return false;
    return SoftQuery::Supported(type);
}

HRESULT STDMETHODCALLTYPE SoftDevice::CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery) {
    NoteCall();
    HRESULT hr;
    if (TakeFault(SoftCall::CreateQuery, &hr)) return hr;
    // A null out pointer asks only whether the type is supported. Refused,
    // the out pointer keeps what it held, as on Windows (Wine's tests).
    if (!QuerySupported(Type)) return D3DERR_NOTAVAILABLE;
    if (!ppQuery) return D3D_OK;
    SoftQuery* lr_Query_ = new (std::nothrow) SoftQuery(this, Type);
    if (!lr_Query_) {
        *ppQuery = nullptr;
        return E_OUTOFMEMORY;
    }
    lr_Query_->PublicAddRef();
    *ppQuery = lr_Query_;
    return D3D_OK;
}
