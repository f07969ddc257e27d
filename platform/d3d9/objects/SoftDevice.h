// IDirect3DDevice9 of the software runtime. State calls keep the state the
// application sets; draws are checked, recorded and rasterised (see
// SoftDrawPipeline); Clear, ColorFill, StretchRect and UpdateSurface move
// real pixels.
#pragma once

#include "objects/SoftDeviceControlImpl.h"
#include "objects/SoftStateRecord.h"
#include "objects/SoftObject.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class SoftDirect3D9;
class SoftDrawPipeline;
class SoftSurface;
class SoftSwapChain;
class SoftStateBlock;

class SoftDevice final : public IDirect3DDevice9 {
public:
    SoftDevice(SoftDirect3D9* direct3D, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags);
    HRESULT Initialize(D3DPRESENT_PARAMETERS* presentParameters);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override;
    HRESULT STDMETHODCALLTYPE EvictManagedResources() override;
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** ppD3D9) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* pCaps) override;
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) override;
    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT XHotSpot, UINT YHotSpot,
                                                  IDirect3DSurface9* pCursorBitmap) override;
    void STDMETHODCALLTYPE SetCursorPosition(int X, int Y, DWORD Flags) override;
    BOOL STDMETHODCALLTYPE ShowCursor(BOOL bShow) override;
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters,
                                                        IDirect3DSwapChain9** pSwapChain) override;
    HRESULT STDMETHODCALLTYPE GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) override;
    UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override;
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
    HRESULT STDMETHODCALLTYPE Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                                      const RGNDATA* pDirtyRegion) override;
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                            IDirect3DSurface9** ppBackBuffer) override;
    HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT iSwapChain, D3DRASTER_STATUS* pRasterStatus) override;
    HRESULT STDMETHODCALLTYPE SetDialogBoxMode(BOOL bEnableDialogs) override;
    void STDMETHODCALLTYPE SetGammaRamp(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP* pRamp) override;
    void STDMETHODCALLTYPE GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) override;
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                                            HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool,
                                                  IDirect3DVolumeTexture9** ppVolumeTexture,
                                                  HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                                D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture,
                                                HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                                 IDirect3DVertexBuffer9** ppVertexBuffer,
                                                 HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format,
                                                 D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                                 BOOL Lockable, IDirect3DSurface9** ppSurface,
                                                 HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                        D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                                        BOOL Discard, IDirect3DSurface9** ppSurface,
                                                        HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                            IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) override;
    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* pSourceTexture,
                                            IDirect3DBaseTexture9* pDestinationTexture) override;
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* pRenderTarget,
                                                  IDirect3DSurface9* pDestSurface) override;
    HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) override;
    HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                          IDirect3DSurface9* pDestSurface, const RECT* pDestRect,
                                          D3DTEXTUREFILTERTYPE Filter) override;
    HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color) override;
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                                          IDirect3DSurface9** ppSurface,
                                                          HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
    HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
    HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override;
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                                    DWORD Stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD Index, BOOL* pEnable) override;
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD Index, const float* pPlane) override;
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD Index, float* pPlane) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) override;
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override;
    HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** ppSB) override;
    HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9* pClipStatus) override;
    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9* pClipStatus) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD* pNumPasses) override;
    HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries) override;
    HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) override;
    HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT PaletteNumber) override;
    HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT* PaletteNumber) override;
    HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* pRect) override;
    HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* pRect) override;
    HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(BOOL bSoftware) override;
    BOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override;
    HRESULT STDMETHODCALLTYPE SetNPatchMode(float nSegments) override;
    float STDMETHODCALLTYPE GetNPatchMode() override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                            UINT PrimitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                                   UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                                   UINT primCount) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                              const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                                     UINT NumVertices, UINT PrimitiveCount, const void* pIndexData,
                                                     D3DFORMAT IndexDataFormat, const void* pVertexStreamZeroData,
                                                     UINT VertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE ProcessVertices(UINT SrcStartIndex, UINT DestIndex, UINT VertexCount,
                                              IDirect3DVertexBuffer9* pDestBuffer,
                                              IDirect3DVertexDeclaration9* pVertexDecl, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                      IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override;
    HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override;
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* pFVF) override;
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* pShader) override;
    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** ppShader) override;
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                                       UINT Vector4fCount) override;
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT StartRegister, float* pConstantData,
                                                       UINT Vector4fCount) override;
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT StartRegister, const int* pConstantData,
                                                       UINT Vector4iCount) override;
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT StartRegister, int* pConstantData,
                                                       UINT Vector4iCount) override;
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                                       UINT BoolCount) override;
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT StartRegister, BOOL* pConstantData,
                                                       UINT BoolCount) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                              UINT OffsetInBytes, UINT Stride) override;
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                              UINT* pOffsetInBytes, UINT* pStride) override;
    HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT StreamNumber, UINT Setting) override;
    HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT StreamNumber, UINT* pSetting) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override;
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* pShader) override;
    HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9** ppShader) override;
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData,
                                                      UINT Vector4fCount) override;
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT StartRegister, float* pConstantData,
                                                      UINT Vector4fCount) override;
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT StartRegister, const int* pConstantData,
                                                      UINT Vector4iCount) override;
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT StartRegister, int* pConstantData,
                                                      UINT Vector4iCount) override;
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                                      UINT BoolCount) override;
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT StartRegister, BOOL* pConstantData, UINT BoolCount) override;
    HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT Handle, const float* pNumSegs,
                                            const D3DRECTPATCH_INFO* pRectPatchInfo) override;
    HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT Handle, const float* pNumSegs,
                                           const D3DTRIPATCH_INFO* pTriPatchInfo) override;
    HRESULT STDMETHODCALLTYPE DeletePatch(UINT Handle) override;
    HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery) override;
    // Services for the objects the device makes.
    void Register(SoftObject* object);
    void Unregister(SoftObject* object);
    SoftObject* FindObject(IUnknown* object) const;
    // Counts a call of any method but AddRef and Release.
    void NoteCall() { ++mr_TotalCalls; }
    // Bytes a row of a new surface starts at a multiple of.
    UINT RowPitchAlignment() const { return mr_RowPitchAlignment; }
    // Counts a call of the operation; true when a test asked it to fail now.
    bool TakeFault(SoftCall call, HRESULT* result);
    // A Release on an object with no public reference left.
    void NoteOverRelease() { ++mr_OverReleases; }
    SoftDirect3D9* Direct3D() const { return mr_Direct3D_; }
    void FillCaps(D3DCAPS9* caps) const;
    bool InScene() const { return mr_InScene; }
    ULONG RefCount() const { return mr_RefCount; }
    // Default-pool validation for a surface passed in by the application.
    SoftSurface* OwnSurface(IDirect3DSurface9* surface) const;
    // State blocks read and write the device state directly.
    SoftDeviceState& State() { return mr_State; }
    const D3DPRESENT_PARAMETERS& PresentParameters() const;
    // A read of state a state block holds: counted as SoftCall::GetState;
    // true (with the result) when a test made it fail or the device is pure,
    // which keeps no state to hand back.
    bool StateReadFails(HRESULT* result);

    // What queries measure against. Samples that passed the depth and
    // stencil tests in every draw so far; Present calls (device or swap
    // chain); times the device was lost (a result issued before a loss is gone).
    uint64_t SamplesPassed() const { return mr_SamplesPassed; }
    unsigned long long PresentCount() const { return mr_Presents; }
    void NotePresent() { ++mr_Presents; }
    UINT QueryLatency() const { return mr_QueryLatency; }
    unsigned long long LossCount() const { return mr_Losses; }
    // Lost, or waiting for a Reset after a loss or a failed one.
    bool Lost() const { return mr_Lost || mr_NeedsReset; }

private:
    friend class SoftDeviceControlImpl;

    struct Fault {
        SoftCall Call;
        UINT Countdown;
        HRESULT Result;
        bool Throw;  // as a host's own device might, instead of returning Result
    };

    ~SoftDevice();
    void Shutdown();
    HRESULT NormalizePresentParameters(D3DPRESENT_PARAMETERS& params) const;
    // Implicit swap chains: one, or one per head of a device driving its adapter group.
    UINT HeadCount() const;
    HRESULT NormalizeHeads(D3DPRESENT_PARAMETERS* heads) const;
    HRESULT CreateImplicitObjects(const D3DPRESENT_PARAMETERS* heads);
    void ReleaseImplicitObjects();
    SoftSwapChain* ImplicitSwapChain(UINT index) const;

    // State writes go to the device or, between BeginStateBlock and
    // EndStateBlock, into the block being recorded.
    SoftDeviceState& Target() { return *mr_Target_; }
    SoftStateMask* RecordMask() { return mr_RecordMask_; }

    HRESULT CheckVertexInput(UINT stride) const;
    // Shader model 3 shaders run only in pairs: a ps_3_0 needs a vs_3_0 and the reverse.
    HRESULT CheckShaderPairing() const;
    HRESULT DrawCommon(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices, UINT start,
                       UINT primitiveCount, bool indexed, const BYTE* userVertices, UINT userStride,
                       const void* userIndices, D3DFORMAT userIndexFormat, SoftCall call);
    void RecordCopy(IDirect3DSurface9* source, const RECT& sourceRect, IDirect3DSurface9* dest, const RECT& destRect,
                    D3DTEXTUREFILTERTYPE filter, HRESULT result);
    HRESULT StretchRectChecked(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                               IDirect3DSurface9* pDestSurface, const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter,
                               RECT* sourceRect, RECT* destRect);
    bool ResetBlocked() const;
    // Leaves the device waiting for a successful Reset.
    void NeedReset();
    bool QuerySupported(D3DQUERYTYPE type) const;

    ULONG mr_RefCount;
    SoftDirect3D9* mr_Direct3D_;
    D3DDEVICE_CREATION_PARAMETERS mr_Creation;
    SoftDeviceControlImpl mr_Control;
    std::vector<SoftObject*> mr_Objects;

    std::vector<SoftRef<IDirect3DSwapChain9>> mr_SwapChains;  // implicit, one per adapter in the group
    SoftRef<IDirect3DSurface9> mr_AutoDepthStencil;
    SoftRef<IDirect3DSurface9> mr_RenderTargets[SOFT_RENDER_TARGETS];
    SoftRef<IDirect3DSurface9> mr_DepthStencil;
    SoftDeviceState mr_State;
    SoftDeviceState* mr_Target_;
    SoftStateMask* mr_RecordMask_;
    SoftRef<IDirect3DStateBlock9> mr_RecordingBlock;
    D3DCLIPSTATUS9 mr_ClipStatus;
    D3DGAMMARAMP mr_GammaRamp;
    std::vector<PALETTEENTRY> mr_Palettes;  // 256 entries per palette
    BOOL mr_ShowCursor;

    bool mr_InScene;
    bool mr_Lost;
    bool mr_NeedsReset;
    bool mr_ShuttingDown;

    // Records are kept for the frame being drawn and the last presented ones,
    // so that a long run holds constant memory.
    static constexpr size_t k_RecordedFrames = 16;
    static constexpr size_t k_MaxRecords = 1u << 16;  // for a host that never presents
    void RecordFrameEnd();
    template <class Record>
    void MakeRoomFor(std::vector<Record>& records);

    bool mr_RecordCalls;
    std::vector<SoftDrawRecord> mr_Draws;
    // Where each kept frame after the oldest begins: draws and copies.
    std::vector<std::pair<size_t, size_t>> mr_FrameStarts;
    // Rasterisation: made on the first draw, its threads joined with the device.
    std::unique_ptr<SoftDrawPipeline> mr_Pipeline;
    std::vector<SoftCopyRecord> mr_Copies;
    UINT mr_CallCounts[static_cast<int>(SoftCall::Count)];
    std::function<void()> mr_CallHooks[static_cast<int>(SoftCall::Count)];
    unsigned long long mr_TotalCalls;
    UINT mr_RowPitchAlignment;
    bool mr_FixedPointFiltering = false;
    std::chrono::milliseconds mr_WorkerClockAdvance{0};
    std::vector<Fault> mr_Faults;
    UINT mr_OverReleases;

    uint64_t mr_SamplesPassed = 0;
    unsigned long long mr_Presents = 0;
    unsigned long long mr_Losses = 0;
    UINT mr_QueryLatency = 0;
    uint32_t mr_UnsupportedQueries = 0;  // bit n: a test ruled query type n out
};
