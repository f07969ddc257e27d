// A device that forwards every call to another and counts them: how many
// device calls a frame costs, whatever they are. It can also stand in for
// hardware the software device does not model: a subordinate head's caps,
// and more heads, each an implicit swap chain of its own.
#pragma once

#include <d3d9.h>

#include <functional>
#include <vector>

class CountingDevice final : public IDirect3DDevice9 {
public:
    // Holds a reference on `inner` until the last reference to this one goes.
    explicit CountingDevice(IDirect3DDevice9* inner) : mr_Inner_(inner) { mr_Inner_->AddRef(); }

    unsigned long long Calls() const { return mr_Calls; }
    void ResetCalls() { mr_Calls = 0; }

    // GetDeviceCaps reports this NumberOfAdaptersInGroup.
    void SetAdaptersInGroup(UINT count) {
        mr_OverrideAdapters = true;
        mr_AdaptersInGroup = count;
    }
    // Swap chain 1, 2, ... of the device: the chains added, in order (referenced).
    void AddHead(IDirect3DSwapChain9* chain) {
        chain->AddRef();
        mr_Heads.push_back(chain);
    }
    // Runs before each CreateTexture reaches the inner device.
    std::function<void()> mr_BeforeCreateTexture;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        ++mr_Calls;
        if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) {
            AddRef();
            *ppvObject = static_cast<IDirect3DDevice9*>(this);
            return S_OK;
        }
        return mr_Inner_->QueryInterface(riid, ppvObject);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mr_RefCount; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG lr_Count = --mr_RefCount;
        if (lr_Count == 0) {
            mr_Inner_->Release();
            delete this;
        }
        return lr_Count;
    }

    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override {
        ++mr_Calls;
        return mr_Inner_->TestCooperativeLevel();
    }
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override {
        ++mr_Calls;
        return mr_Inner_->GetAvailableTextureMem();
    }
    HRESULT STDMETHODCALLTYPE EvictManagedResources() override {
        ++mr_Calls;
        return mr_Inner_->EvictManagedResources();
    }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** ppD3D9) override {
        ++mr_Calls;
        return mr_Inner_->GetDirect3D(ppD3D9);
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* pCaps) override {
        ++mr_Calls;
        const HRESULT hr = mr_Inner_->GetDeviceCaps(pCaps);
        if (SUCCEEDED(hr) && mr_OverrideAdapters) pCaps->NumberOfAdaptersInGroup = mr_AdaptersInGroup;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override {
        ++mr_Calls;
        return mr_Inner_->GetDisplayMode(iSwapChain, pMode);
    }
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) override {
        ++mr_Calls;
        return mr_Inner_->GetCreationParameters(pParameters);
    }
    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface9* pCursorBitmap) override {
        ++mr_Calls;
        return mr_Inner_->SetCursorProperties(XHotSpot, YHotSpot, pCursorBitmap);
    }
    void STDMETHODCALLTYPE SetCursorPosition(int X, int Y, DWORD Flags) override {
        ++mr_Calls;
        mr_Inner_->SetCursorPosition(X, Y, Flags);
    }
    BOOL STDMETHODCALLTYPE ShowCursor(BOOL bShow) override {
        ++mr_Calls;
        return mr_Inner_->ShowCursor(bShow);
    }
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters, IDirect3DSwapChain9** pSwapChain) override {
        ++mr_Calls;
        return mr_Inner_->CreateAdditionalSwapChain(pPresentationParameters, pSwapChain);
    }
    HRESULT STDMETHODCALLTYPE GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) override {
        ++mr_Calls;
        if (iSwapChain > 0 && iSwapChain <= mr_Heads.size() && pSwapChain) {
            *pSwapChain = mr_Heads[iSwapChain - 1];
            (*pSwapChain)->AddRef();
            return D3D_OK;
        }
        return mr_Inner_->GetSwapChain(iSwapChain, pSwapChain);
    }
    UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override {
        ++mr_Calls;
        return mr_Inner_->GetNumberOfSwapChains();
    }
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override {
        ++mr_Calls;
        return mr_Inner_->Reset(pPresentationParameters);
    }
    HRESULT STDMETHODCALLTYPE Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride, const RGNDATA* pDirtyRegion) override {
        ++mr_Calls;
        return mr_Inner_->Present(pSourceRect, pDestRect, hDestWindowOverride, pDirtyRegion);
    }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface9** ppBackBuffer) override {
        ++mr_Calls;
        return mr_Inner_->GetBackBuffer(iSwapChain, iBackBuffer, Type, ppBackBuffer);
    }
    HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT iSwapChain, D3DRASTER_STATUS* pRasterStatus) override {
        ++mr_Calls;
        return mr_Inner_->GetRasterStatus(iSwapChain, pRasterStatus);
    }
    HRESULT STDMETHODCALLTYPE SetDialogBoxMode(BOOL bEnableDialogs) override {
        ++mr_Calls;
        return mr_Inner_->SetDialogBoxMode(bEnableDialogs);
    }
    void STDMETHODCALLTYPE SetGammaRamp(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP* pRamp) override {
        ++mr_Calls;
        mr_Inner_->SetGammaRamp(iSwapChain, Flags, pRamp);
    }
    void STDMETHODCALLTYPE GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) override {
        ++mr_Calls;
        mr_Inner_->GetGammaRamp(iSwapChain, pRamp);
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        if (mr_BeforeCreateTexture) mr_BeforeCreateTexture();
        return mr_Inner_->CreateTexture(Width, Height, Levels, Usage, Format, Pool, ppTexture, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DVolumeTexture9** ppVolumeTexture, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        return mr_Inner_->CreateVolumeTexture(Width, Height, Depth, Levels, Usage, Format, Pool, ppVolumeTexture, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        return mr_Inner_->CreateCubeTexture(EdgeLength, Levels, Usage, Format, Pool, ppCubeTexture, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool, IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        return mr_Inner_->CreateVertexBuffer(Length, Usage, FVF, Pool, ppVertexBuffer, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        return mr_Inner_->CreateIndexBuffer(Length, Usage, Format, Pool, ppIndexBuffer, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality, BOOL Lockable, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        return mr_Inner_->CreateRenderTarget(Width, Height, Format, MultiSample, MultisampleQuality, Lockable, ppSurface, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        return mr_Inner_->CreateDepthStencilSurface(Width, Height, Format, MultiSample, MultisampleQuality, Discard, ppSurface, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect, IDirect3DSurface9* pDestinationSurface, const POINT* pDestPoint) override {
        ++mr_Calls;
        return mr_Inner_->UpdateSurface(pSourceSurface, pSourceRect, pDestinationSurface, pDestPoint);
    }
    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* pSourceTexture, IDirect3DBaseTexture9* pDestinationTexture) override {
        ++mr_Calls;
        return mr_Inner_->UpdateTexture(pSourceTexture, pDestinationTexture);
    }
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override {
        ++mr_Calls;
        return mr_Inner_->GetRenderTargetData(pRenderTarget, pDestSurface);
    }
    HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) override {
        ++mr_Calls;
        return mr_Inner_->GetFrontBufferData(iSwapChain, pDestSurface);
    }
    HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect, IDirect3DSurface9* pDestSurface, const RECT* pDestRect, D3DTEXTUREFILTERTYPE Filter) override {
        ++mr_Calls;
        return mr_Inner_->StretchRect(pSourceSurface, pSourceRect, pDestSurface, pDestRect, Filter);
    }
    HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect, D3DCOLOR color) override {
        ++mr_Calls;
        return mr_Inner_->ColorFill(pSurface, pRect, color);
    }
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool, IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override {
        ++mr_Calls;
        return mr_Inner_->CreateOffscreenPlainSurface(Width, Height, Format, Pool, ppSurface, pSharedHandle);
    }
    HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override {
        ++mr_Calls;
        return mr_Inner_->SetRenderTarget(RenderTargetIndex, pRenderTarget);
    }
    HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override {
        ++mr_Calls;
        return mr_Inner_->GetRenderTarget(RenderTargetIndex, ppRenderTarget);
    }
    HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override {
        ++mr_Calls;
        return mr_Inner_->SetDepthStencilSurface(pNewZStencil);
    }
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override {
        ++mr_Calls;
        return mr_Inner_->GetDepthStencilSurface(ppZStencilSurface);
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override {
        ++mr_Calls;
        return mr_Inner_->BeginScene();
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        ++mr_Calls;
        return mr_Inner_->EndScene();
    }
    HRESULT STDMETHODCALLTYPE Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override {
        ++mr_Calls;
        return mr_Inner_->Clear(Count, pRects, Flags, Color, Z, Stencil);
    }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override {
        ++mr_Calls;
        return mr_Inner_->SetTransform(State, pMatrix);
    }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override {
        ++mr_Calls;
        return mr_Inner_->GetTransform(State, pMatrix);
    }
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override {
        ++mr_Calls;
        return mr_Inner_->MultiplyTransform(State, pMatrix);
    }
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* pViewport) override {
        ++mr_Calls;
        return mr_Inner_->SetViewport(pViewport);
    }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* pViewport) override {
        ++mr_Calls;
        return mr_Inner_->GetViewport(pViewport);
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* pMaterial) override {
        ++mr_Calls;
        return mr_Inner_->SetMaterial(pMaterial);
    }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* pMaterial) override {
        ++mr_Calls;
        return mr_Inner_->GetMaterial(pMaterial);
    }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD Index, const D3DLIGHT9* pLight) override {
        ++mr_Calls;
        return mr_Inner_->SetLight(Index, pLight);
    }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD Index, D3DLIGHT9* pLight) override {
        ++mr_Calls;
        return mr_Inner_->GetLight(Index, pLight);
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, BOOL Enable) override {
        ++mr_Calls;
        return mr_Inner_->LightEnable(Index, Enable);
    }
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD Index, BOOL* pEnable) override {
        ++mr_Calls;
        return mr_Inner_->GetLightEnable(Index, pEnable);
    }
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD Index, const float* pPlane) override {
        ++mr_Calls;
        return mr_Inner_->SetClipPlane(Index, pPlane);
    }
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD Index, float* pPlane) override {
        ++mr_Calls;
        return mr_Inner_->GetClipPlane(Index, pPlane);
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override {
        ++mr_Calls;
        return mr_Inner_->SetRenderState(State, Value);
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override {
        ++mr_Calls;
        return mr_Inner_->GetRenderState(State, pValue);
    }
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) override {
        ++mr_Calls;
        return mr_Inner_->CreateStateBlock(Type, ppSB);
    }
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override {
        ++mr_Calls;
        return mr_Inner_->BeginStateBlock();
    }
    HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** ppSB) override {
        ++mr_Calls;
        return mr_Inner_->EndStateBlock(ppSB);
    }
    HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9* pClipStatus) override {
        ++mr_Calls;
        return mr_Inner_->SetClipStatus(pClipStatus);
    }
    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9* pClipStatus) override {
        ++mr_Calls;
        return mr_Inner_->GetClipStatus(pClipStatus);
    }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override {
        ++mr_Calls;
        return mr_Inner_->GetTexture(Stage, ppTexture);
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override {
        ++mr_Calls;
        return mr_Inner_->SetTexture(Stage, pTexture);
    }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override {
        ++mr_Calls;
        return mr_Inner_->GetTextureStageState(Stage, Type, pValue);
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override {
        ++mr_Calls;
        return mr_Inner_->SetTextureStageState(Stage, Type, Value);
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override {
        ++mr_Calls;
        return mr_Inner_->GetSamplerState(Sampler, Type, pValue);
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override {
        ++mr_Calls;
        return mr_Inner_->SetSamplerState(Sampler, Type, Value);
    }
    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD* pNumPasses) override {
        ++mr_Calls;
        return mr_Inner_->ValidateDevice(pNumPasses);
    }
    HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries) override {
        ++mr_Calls;
        return mr_Inner_->SetPaletteEntries(PaletteNumber, pEntries);
    }
    HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) override {
        ++mr_Calls;
        return mr_Inner_->GetPaletteEntries(PaletteNumber, pEntries);
    }
    HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT PaletteNumber) override {
        ++mr_Calls;
        return mr_Inner_->SetCurrentTexturePalette(PaletteNumber);
    }
    HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT* PaletteNumber) override {
        ++mr_Calls;
        return mr_Inner_->GetCurrentTexturePalette(PaletteNumber);
    }
    HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* pRect) override {
        ++mr_Calls;
        return mr_Inner_->SetScissorRect(pRect);
    }
    HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* pRect) override {
        ++mr_Calls;
        return mr_Inner_->GetScissorRect(pRect);
    }
    HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(BOOL bSoftware) override {
        ++mr_Calls;
        return mr_Inner_->SetSoftwareVertexProcessing(bSoftware);
    }
    BOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override {
        ++mr_Calls;
        return mr_Inner_->GetSoftwareVertexProcessing();
    }
    HRESULT STDMETHODCALLTYPE SetNPatchMode(float nSegments) override {
        ++mr_Calls;
        return mr_Inner_->SetNPatchMode(nSegments);
    }
    float STDMETHODCALLTYPE GetNPatchMode() override {
        ++mr_Calls;
        return mr_Inner_->GetNPatchMode();
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override {
        ++mr_Calls;
        return mr_Inner_->DrawPrimitive(PrimitiveType, StartVertex, PrimitiveCount);
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex, UINT NumVertices, UINT startIndex, UINT primCount) override {
        ++mr_Calls;
        return mr_Inner_->DrawIndexedPrimitive(PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex, primCount);
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override {
        ++mr_Calls;
        return mr_Inner_->DrawPrimitiveUP(PrimitiveType, PrimitiveCount, pVertexStreamZeroData, VertexStreamZeroStride);
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices, UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat, const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override {
        ++mr_Calls;
        return mr_Inner_->DrawIndexedPrimitiveUP(PrimitiveType, MinVertexIndex, NumVertices, PrimitiveCount, pIndexData, IndexDataFormat, pVertexStreamZeroData, VertexStreamZeroStride);
    }
    HRESULT STDMETHODCALLTYPE ProcessVertices(UINT SrcStartIndex, UINT DestIndex, UINT VertexCount, IDirect3DVertexBuffer9* pDestBuffer, IDirect3DVertexDeclaration9* pVertexDecl, DWORD Flags) override {
        ++mr_Calls;
        return mr_Inner_->ProcessVertices(SrcStartIndex, DestIndex, VertexCount, pDestBuffer, pVertexDecl, Flags);
    }
    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements, IDirect3DVertexDeclaration9** ppDecl) override {
        ++mr_Calls;
        return mr_Inner_->CreateVertexDeclaration(pVertexElements, ppDecl);
    }
    HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) override {
        ++mr_Calls;
        return mr_Inner_->SetVertexDeclaration(pDecl);
    }
    HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) override {
        ++mr_Calls;
        return mr_Inner_->GetVertexDeclaration(ppDecl);
    }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override {
        ++mr_Calls;
        return mr_Inner_->SetFVF(FVF);
    }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* pFVF) override {
        ++mr_Calls;
        return mr_Inner_->GetFVF(pFVF);
    }
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override {
        ++mr_Calls;
        return mr_Inner_->CreateVertexShader(pFunction, ppShader);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* pShader) override {
        ++mr_Calls;
        return mr_Inner_->SetVertexShader(pShader);
    }
    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** ppShader) override {
        ++mr_Calls;
        return mr_Inner_->GetVertexShader(ppShader);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override {
        ++mr_Calls;
        return mr_Inner_->SetVertexShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override {
        ++mr_Calls;
        return mr_Inner_->GetVertexShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT StartRegister, const int* pConstantData, UINT Vector4iCount) override {
        ++mr_Calls;
        return mr_Inner_->SetVertexShaderConstantI(StartRegister, pConstantData, Vector4iCount);
    }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT StartRegister, int* pConstantData, UINT Vector4iCount) override {
        ++mr_Calls;
        return mr_Inner_->GetVertexShaderConstantI(StartRegister, pConstantData, Vector4iCount);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT StartRegister, const BOOL* pConstantData, UINT BoolCount) override {
        ++mr_Calls;
        return mr_Inner_->SetVertexShaderConstantB(StartRegister, pConstantData, BoolCount);
    }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT StartRegister, BOOL* pConstantData, UINT BoolCount) override {
        ++mr_Calls;
        return mr_Inner_->GetVertexShaderConstantB(StartRegister, pConstantData, BoolCount);
    }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes, UINT Stride) override {
        ++mr_Calls;
        return mr_Inner_->SetStreamSource(StreamNumber, pStreamData, OffsetInBytes, Stride);
    }
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes, UINT* pStride) override {
        ++mr_Calls;
        return mr_Inner_->GetStreamSource(StreamNumber, ppStreamData, pOffsetInBytes, pStride);
    }
    HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT StreamNumber, UINT Setting) override {
        ++mr_Calls;
        return mr_Inner_->SetStreamSourceFreq(StreamNumber, Setting);
    }
    HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT StreamNumber, UINT* pSetting) override {
        ++mr_Calls;
        return mr_Inner_->GetStreamSourceFreq(StreamNumber, pSetting);
    }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override {
        ++mr_Calls;
        return mr_Inner_->SetIndices(pIndexData);
    }
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** ppIndexData) override {
        ++mr_Calls;
        return mr_Inner_->GetIndices(ppIndexData);
    }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override {
        ++mr_Calls;
        return mr_Inner_->CreatePixelShader(pFunction, ppShader);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* pShader) override {
        ++mr_Calls;
        return mr_Inner_->SetPixelShader(pShader);
    }
    HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9** ppShader) override {
        ++mr_Calls;
        return mr_Inner_->GetPixelShader(ppShader);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override {
        ++mr_Calls;
        return mr_Inner_->SetPixelShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override {
        ++mr_Calls;
        return mr_Inner_->GetPixelShaderConstantF(StartRegister, pConstantData, Vector4fCount);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT StartRegister, const int* pConstantData, UINT Vector4iCount) override {
        ++mr_Calls;
        return mr_Inner_->SetPixelShaderConstantI(StartRegister, pConstantData, Vector4iCount);
    }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT StartRegister, int* pConstantData, UINT Vector4iCount) override {
        ++mr_Calls;
        return mr_Inner_->GetPixelShaderConstantI(StartRegister, pConstantData, Vector4iCount);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT StartRegister, const BOOL* pConstantData, UINT BoolCount) override {
        ++mr_Calls;
        return mr_Inner_->SetPixelShaderConstantB(StartRegister, pConstantData, BoolCount);
    }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT StartRegister, BOOL* pConstantData, UINT BoolCount) override {
        ++mr_Calls;
        return mr_Inner_->GetPixelShaderConstantB(StartRegister, pConstantData, BoolCount);
    }
    HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT Handle, const float* pNumSegs, const D3DRECTPATCH_INFO* pRectPatchInfo) override {
        ++mr_Calls;
        return mr_Inner_->DrawRectPatch(Handle, pNumSegs, pRectPatchInfo);
    }
    HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT Handle, const float* pNumSegs, const D3DTRIPATCH_INFO* pTriPatchInfo) override {
        ++mr_Calls;
        return mr_Inner_->DrawTriPatch(Handle, pNumSegs, pTriPatchInfo);
    }
    HRESULT STDMETHODCALLTYPE DeletePatch(UINT Handle) override {
        ++mr_Calls;
        return mr_Inner_->DeletePatch(Handle);
    }
    HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery) override {
        ++mr_Calls;
        return mr_Inner_->CreateQuery(Type, ppQuery);
    }

private:
    ~CountingDevice() {
        for (IDirect3DSwapChain9* lr_Chain_ : mr_Heads) lr_Chain_->Release();
    }
    IDirect3DDevice9* mr_Inner_;
    ULONG mr_RefCount = 1;
    unsigned long long mr_Calls = 0;
    bool mr_OverrideAdapters = false;
    UINT mr_AdaptersInGroup = 1;
    std::vector<IDirect3DSwapChain9*> mr_Heads;
};
