// A minimal Direct3D 9 device for the texture loader's tests and fuzzer:
// it makes textures in plain memory (with an optional pitch wider than the
// rows), reports configurable caps, can fail a chosen CreateTexture or
// LockRect call, and counts the textures alive. Everything else answers
// E_NOTIMPL, so a loader that calls more than it should notices.
#pragma once

#include <d3d9.h>

#include <utility>
#include <vector>

class FakeTexture;

class FakeTextureDevice : public IDirect3DDevice9 {
public:
    FakeTextureDevice() { mr_Caps.TextureCaps = D3DPTEXTURECAPS_MIPMAP; }
    virtual ~FakeTextureDevice() = default;

    // Bytes per pixel of the formats this fake can hold (0: refused).
    static UINT FormatSize(D3DFORMAT format) {
        switch (format) {
        case D3DFMT_A8:
        case D3DFMT_L8:
        case D3DFMT_R3G3B2:
        case D3DFMT_A4L4: return 1;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8L8:
        case D3DFMT_L16:
        case D3DFMT_A8R3G3B2: return 2;
        case D3DFMT_R8G8B8: return 3;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8:
        case D3DFMT_A2R10G10B10:
        case D3DFMT_A2B10G10R10:
        case D3DFMT_G16R16:
        case D3DFMT_R32F: return 4;
        case D3DFMT_A16B16G16R16:
        case D3DFMT_G32R32F: return 8;
        case D3DFMT_A32B32G32R32F: return 16;
        default: return 0;
        }
    }

    // Settings.
    D3DCAPS9 mr_Caps{};
    UINT mr_PitchPadding = 0;       // extra bytes after every row
    UINT mr_FailCreateTexture = 0;  // the nth CreateTexture fails (0: none)
    UINT mr_FailLockRect = 0;       // the nth LockRect of any texture fails (0: none)
    HRESULT mr_FailResult = E_OUTOFMEMORY;
    bool mr_RejectRenderTargetOutsideDefault = true;

    // Records.
    struct Creation {
        UINT Width, Height, Levels;
        DWORD Usage;
        D3DFORMAT Format;
        D3DPOOL Pool;
    };
    std::vector<Creation> mr_Creations;
    UINT mr_CreateCalls = 0;
    UINT mr_LockCalls = 0;
    UINT mr_UnlockCalls = 0;
    UINT mr_UpdateTextureCalls = 0;
    int mr_LiveTextures = 0;

    // IUnknown: the fake lives on the stack; references are only counted.
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDirect3DDevice9) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++mr_Refs; }
    STDMETHOD_(ULONG, Release)() override { return --mr_Refs; }

    STDMETHOD(GetDeviceCaps)(D3DCAPS9* pCaps) override {
        if (!pCaps) return D3DERR_INVALIDCALL;
        *pCaps = mr_Caps;
        return D3D_OK;
    }
    STDMETHOD(CreateTexture)
    (UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture9** ppTexture,
     HANDLE* pSharedHandle) override;
    STDMETHOD(UpdateTexture)
    (IDirect3DBaseTexture9* pSourceTexture, IDirect3DBaseTexture9* pDestinationTexture) override;

    // Everything else is not part of what the loader may use.
    STDMETHOD(TestCooperativeLevel)() override { return E_NOTIMPL; }
    STDMETHOD_(UINT, GetAvailableTextureMem)() override { return 0; }
    STDMETHOD(EvictManagedResources)() override { return E_NOTIMPL; }
    STDMETHOD(GetDirect3D)(IDirect3D9**) override { return E_NOTIMPL; }
    STDMETHOD(GetDisplayMode)(UINT, D3DDISPLAYMODE*) override { return E_NOTIMPL; }
    STDMETHOD(GetCreationParameters)(D3DDEVICE_CREATION_PARAMETERS*) override { return E_NOTIMPL; }
    STDMETHOD(SetCursorProperties)(UINT, UINT, IDirect3DSurface9*) override { return E_NOTIMPL; }
    STDMETHOD_(void, SetCursorPosition)(int, int, DWORD) override {}
    STDMETHOD_(BOOL, ShowCursor)(BOOL) override { return 0; }
    STDMETHOD(CreateAdditionalSwapChain)(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**) override { return E_NOTIMPL; }
    STDMETHOD(GetSwapChain)(UINT, IDirect3DSwapChain9**) override { return E_NOTIMPL; }
    STDMETHOD_(UINT, GetNumberOfSwapChains)() override { return 0; }
    STDMETHOD(Reset)(D3DPRESENT_PARAMETERS*) override { return E_NOTIMPL; }
    STDMETHOD(Present)(const RECT*, const RECT*, HWND, const RGNDATA*) override { return E_NOTIMPL; }
    STDMETHOD(GetBackBuffer)(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) override { return E_NOTIMPL; }
    STDMETHOD(GetRasterStatus)(UINT, D3DRASTER_STATUS*) override { return E_NOTIMPL; }
    STDMETHOD(SetDialogBoxMode)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD_(void, SetGammaRamp)(UINT, DWORD, const D3DGAMMARAMP*) override {}
    STDMETHOD_(void, GetGammaRamp)(UINT, D3DGAMMARAMP*) override {}
    STDMETHOD(CreateVolumeTexture)
    (UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DVolumeTexture9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(CreateCubeTexture)(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(CreateVertexBuffer)(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(CreateIndexBuffer)(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(CreateRenderTarget)
    (UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(CreateDepthStencilSurface)
    (UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(UpdateSurface)(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(GetRenderTargetData)(IDirect3DSurface9*, IDirect3DSurface9*) override { return E_NOTIMPL; }
    STDMETHOD(GetFrontBufferData)(UINT, IDirect3DSurface9*) override { return E_NOTIMPL; }
    STDMETHOD(StretchRect)
    (IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*, D3DTEXTUREFILTERTYPE) override {
        return E_NOTIMPL;
    }
    STDMETHOD(ColorFill)(IDirect3DSurface9*, const RECT*, D3DCOLOR) override { return E_NOTIMPL; }
    STDMETHOD(CreateOffscreenPlainSurface)(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(SetRenderTarget)(DWORD, IDirect3DSurface9*) override { return E_NOTIMPL; }
    STDMETHOD(GetRenderTarget)(DWORD, IDirect3DSurface9**) override { return E_NOTIMPL; }
    STDMETHOD(SetDepthStencilSurface)(IDirect3DSurface9*) override { return E_NOTIMPL; }
    STDMETHOD(GetDepthStencilSurface)(IDirect3DSurface9**) override { return E_NOTIMPL; }
    STDMETHOD(BeginScene)() override { return E_NOTIMPL; }
    STDMETHOD(EndScene)() override { return E_NOTIMPL; }
    STDMETHOD(Clear)(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(SetTransform)(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return E_NOTIMPL; }
    STDMETHOD(GetTransform)(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return E_NOTIMPL; }
    STDMETHOD(MultiplyTransform)(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return E_NOTIMPL; }
    STDMETHOD(SetViewport)(const D3DVIEWPORT9*) override { return E_NOTIMPL; }
    STDMETHOD(GetViewport)(D3DVIEWPORT9*) override { return E_NOTIMPL; }
    STDMETHOD(SetMaterial)(const D3DMATERIAL9*) override { return E_NOTIMPL; }
    STDMETHOD(GetMaterial)(D3DMATERIAL9*) override { return E_NOTIMPL; }
    STDMETHOD(SetLight)(DWORD, const D3DLIGHT9*) override { return E_NOTIMPL; }
    STDMETHOD(GetLight)(DWORD, D3DLIGHT9*) override { return E_NOTIMPL; }
    STDMETHOD(LightEnable)(DWORD, BOOL) override { return E_NOTIMPL; }
    STDMETHOD(GetLightEnable)(DWORD, BOOL*) override { return E_NOTIMPL; }
    STDMETHOD(SetClipPlane)(DWORD, const float*) override { return E_NOTIMPL; }
    STDMETHOD(GetClipPlane)(DWORD, float*) override { return E_NOTIMPL; }
    STDMETHOD(SetRenderState)(D3DRENDERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetRenderState)(D3DRENDERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(CreateStateBlock)(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) override { return E_NOTIMPL; }
    STDMETHOD(BeginStateBlock)() override { return E_NOTIMPL; }
    STDMETHOD(EndStateBlock)(IDirect3DStateBlock9**) override { return E_NOTIMPL; }
    STDMETHOD(SetClipStatus)(const D3DCLIPSTATUS9*) override { return E_NOTIMPL; }
    STDMETHOD(GetClipStatus)(D3DCLIPSTATUS9*) override { return E_NOTIMPL; }
    STDMETHOD(GetTexture)(DWORD, IDirect3DBaseTexture9**) override { return E_NOTIMPL; }
    STDMETHOD(SetTexture)(DWORD, IDirect3DBaseTexture9*) override { return E_NOTIMPL; }
    STDMETHOD(GetTextureStageState)(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(SetTextureStageState)(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetSamplerState)(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(SetSamplerState)(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(ValidateDevice)(DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(SetPaletteEntries)(UINT, const PALETTEENTRY*) override { return E_NOTIMPL; }
    STDMETHOD(GetPaletteEntries)(UINT, PALETTEENTRY*) override { return E_NOTIMPL; }
    STDMETHOD(SetCurrentTexturePalette)(UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetCurrentTexturePalette)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(SetScissorRect)(const RECT*) override { return E_NOTIMPL; }
    STDMETHOD(GetScissorRect)(RECT*) override { return E_NOTIMPL; }
    STDMETHOD(SetSoftwareVertexProcessing)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD_(BOOL, GetSoftwareVertexProcessing)() override { return 0; }
    STDMETHOD(SetNPatchMode)(float) override { return E_NOTIMPL; }
    STDMETHOD_(float, GetNPatchMode)() override { return 0.0f; }
    STDMETHOD(DrawPrimitive)(D3DPRIMITIVETYPE, UINT, UINT) override { return E_NOTIMPL; }
    STDMETHOD(DrawIndexedPrimitive)(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override { return E_NOTIMPL; }
    STDMETHOD(DrawPrimitiveUP)(D3DPRIMITIVETYPE, UINT, const void*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(DrawIndexedPrimitiveUP)
    (D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*, UINT) override {
        return E_NOTIMPL;
    }
    STDMETHOD(ProcessVertices)
    (UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD) override {
        return E_NOTIMPL;
    }
    STDMETHOD(CreateVertexDeclaration)(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**) override {
        return E_NOTIMPL;
    }
    STDMETHOD(SetVertexDeclaration)(IDirect3DVertexDeclaration9*) override { return E_NOTIMPL; }
    STDMETHOD(GetVertexDeclaration)(IDirect3DVertexDeclaration9**) override { return E_NOTIMPL; }
    STDMETHOD(SetFVF)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetFVF)(DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(CreateVertexShader)(const DWORD*, IDirect3DVertexShader9**) override { return E_NOTIMPL; }
    STDMETHOD(SetVertexShader)(IDirect3DVertexShader9*) override { return E_NOTIMPL; }
    STDMETHOD(GetVertexShader)(IDirect3DVertexShader9**) override { return E_NOTIMPL; }
    STDMETHOD(SetVertexShaderConstantF)(UINT, const float*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetVertexShaderConstantF)(UINT, float*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(SetVertexShaderConstantI)(UINT, const int*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetVertexShaderConstantI)(UINT, int*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(SetVertexShaderConstantB)(UINT, const BOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetVertexShaderConstantB)(UINT, BOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(SetStreamSource)(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetStreamSource)(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) override { return E_NOTIMPL; }
    STDMETHOD(SetStreamSourceFreq)(UINT, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetStreamSourceFreq)(UINT, UINT*) override { return E_NOTIMPL; }
    STDMETHOD(SetIndices)(IDirect3DIndexBuffer9*) override { return E_NOTIMPL; }
    STDMETHOD(GetIndices)(IDirect3DIndexBuffer9**) override { return E_NOTIMPL; }
    STDMETHOD(CreatePixelShader)(const DWORD*, IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    STDMETHOD(SetPixelShader)(IDirect3DPixelShader9*) override { return E_NOTIMPL; }
    STDMETHOD(GetPixelShader)(IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    STDMETHOD(SetPixelShaderConstantF)(UINT, const float*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetPixelShaderConstantF)(UINT, float*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(SetPixelShaderConstantI)(UINT, const int*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetPixelShaderConstantI)(UINT, int*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(SetPixelShaderConstantB)(UINT, const BOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(GetPixelShaderConstantB)(UINT, BOOL*, UINT) override { return E_NOTIMPL; }
    STDMETHOD(DrawRectPatch)(UINT, const float*, const D3DRECTPATCH_INFO*) override { return E_NOTIMPL; }
    STDMETHOD(DrawTriPatch)(UINT, const float*, const D3DTRIPATCH_INFO*) override { return E_NOTIMPL; }
    STDMETHOD(DeletePatch)(UINT) override { return E_NOTIMPL; }
    STDMETHOD(CreateQuery)(D3DQUERYTYPE, IDirect3DQuery9**) override { return E_NOTIMPL; }

    ULONG mr_Refs = 1;
};

class FakeTexture : public IDirect3DTexture9 {
public:
    struct Level {
        UINT Width, Height;
        INT Pitch;
        std::vector<BYTE> Bytes;
        bool Locked = false;
    };

    FakeTexture(FakeTextureDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool)
        : mr_Device_(device), mr_Usage(usage), mr_Format(format), mr_Pool(pool) {
        const UINT lr_Size = FakeTextureDevice::FormatSize(format);
        for (UINT i = 0; i < levels; ++i) {
            Level lr_Level;
            lr_Level.Width = width;
            lr_Level.Height = height;
            lr_Level.Pitch = static_cast<INT>(width * lr_Size + device->mr_PitchPadding);
            // Filled with a marker so that unwritten bytes show.
            lr_Level.Bytes.assign(static_cast<size_t>(lr_Level.Pitch) * height, 0xCD);
            mr_Levels.push_back(std::move(lr_Level));
            width = width > 1 ? width / 2 : 1;
            height = height > 1 ? height / 2 : 1;
        }
        ++mr_Device_->mr_LiveTextures;
    }
    virtual ~FakeTexture() { --mr_Device_->mr_LiveTextures; }

    // Packed pixels of a level (rows without the pitch padding).
    std::vector<BYTE> Packed(UINT level) const {
        const Level& lr_L = mr_Levels[level];
        const UINT lr_Row = lr_L.Width * FakeTextureDevice::FormatSize(mr_Format);
        std::vector<BYTE> lr_Out;
        for (UINT y = 0; y < lr_L.Height; ++y)
            lr_Out.insert(lr_Out.end(), lr_L.Bytes.begin() + static_cast<long>(y) * lr_L.Pitch,
                          lr_L.Bytes.begin() + static_cast<long>(y) * lr_L.Pitch + lr_Row);
        return lr_Out;
    }

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == IID_IDirect3DBaseTexture9 ||
            riid == IID_IDirect3DTexture9) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++mr_Refs; }
    STDMETHOD_(ULONG, Release)() override {
        const ULONG lr_Refs = --mr_Refs;
        if (lr_Refs == 0) delete this;
        return lr_Refs;
    }
    STDMETHOD(GetDevice)(IDirect3DDevice9** ppDevice) override {
        mr_Device_->AddRef();
        *ppDevice = mr_Device_;
        return D3D_OK;
    }
    STDMETHOD(SetPrivateData)(REFGUID, const void*, DWORD, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetPrivateData)(REFGUID, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(FreePrivateData)(REFGUID) override { return E_NOTIMPL; }
    STDMETHOD_(DWORD, SetPriority)(DWORD) override { return 0; }
    STDMETHOD_(DWORD, GetPriority)() override { return 0; }
    STDMETHOD_(void, PreLoad)() override {}
    STDMETHOD_(D3DRESOURCETYPE, GetType)() override { return D3DRTYPE_TEXTURE; }
    STDMETHOD_(DWORD, SetLOD)(DWORD) override { return 0; }
    STDMETHOD_(DWORD, GetLOD)() override { return 0; }
    STDMETHOD_(DWORD, GetLevelCount)() override { return static_cast<DWORD>(mr_Levels.size()); }
    STDMETHOD(SetAutoGenFilterType)(D3DTEXTUREFILTERTYPE) override { return E_NOTIMPL; }
    STDMETHOD_(D3DTEXTUREFILTERTYPE, GetAutoGenFilterType)() override { return D3DTEXF_NONE; }
    STDMETHOD_(void, GenerateMipSubLevels)() override {}
    STDMETHOD(GetLevelDesc)(UINT Level, D3DSURFACE_DESC* pDesc) override {
        if (Level >= mr_Levels.size() || !pDesc) return D3DERR_INVALIDCALL;
        *pDesc = D3DSURFACE_DESC{};
        pDesc->Format = mr_Format;
        pDesc->Type = D3DRTYPE_SURFACE;
        pDesc->Usage = mr_Usage;
        pDesc->Pool = mr_Pool;
        pDesc->Width = mr_Levels[Level].Width;
        pDesc->Height = mr_Levels[Level].Height;
        return D3D_OK;
    }
    STDMETHOD(GetSurfaceLevel)(UINT, IDirect3DSurface9**) override { return E_NOTIMPL; }
    STDMETHOD(LockRect)(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD) override {
        ++mr_Device_->mr_LockCalls;
        if (mr_Device_->mr_FailLockRect != 0 && mr_Device_->mr_LockCalls == mr_Device_->mr_FailLockRect)
            return mr_Device_->mr_FailResult;
        if (Level >= mr_Levels.size() || !pLockedRect || pRect || mr_Levels[Level].Locked) return D3DERR_INVALIDCALL;
        // Like Direct3D: default-pool textures lock only when dynamic.
        if (mr_Pool == D3DPOOL_DEFAULT && !(mr_Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
        mr_Levels[Level].Locked = true;
        pLockedRect->Pitch = mr_Levels[Level].Pitch;
        pLockedRect->pBits = mr_Levels[Level].Bytes.data();
        return D3D_OK;
    }
    STDMETHOD(UnlockRect)(UINT Level) override {
        ++mr_Device_->mr_UnlockCalls;
        if (Level >= mr_Levels.size() || !mr_Levels[Level].Locked) return D3DERR_INVALIDCALL;
        mr_Levels[Level].Locked = false;
        return D3D_OK;
    }
    STDMETHOD(AddDirtyRect)(const RECT*) override { return D3D_OK; }

    FakeTextureDevice* mr_Device_;
    DWORD mr_Usage;
    D3DFORMAT mr_Format;
    D3DPOOL mr_Pool;
    std::vector<Level> mr_Levels;
    ULONG mr_Refs = 1;
};

inline HRESULT FakeTextureDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                                D3DPOOL Pool, IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    ++mr_CreateCalls;
    if (!ppTexture || pSharedHandle) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (mr_FailCreateTexture != 0 && mr_CreateCalls == mr_FailCreateTexture) return mr_FailResult;
    if (Width == 0 || Height == 0 || FormatSize(Format) == 0) return D3DERR_INVALIDCALL;
    if (mr_RejectRenderTargetOutsideDefault && (Usage & D3DUSAGE_RENDERTARGET) && Pool != D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    UINT lr_Full = 1;
    for (UINT s = Width > Height ? Width : Height; s > 1; s >>= 1) ++lr_Full;
    if (Levels == 0 || Levels > lr_Full) Levels = (Usage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : lr_Full;
    mr_Creations.push_back(Creation{Width, Height, Levels, Usage, Format, Pool});
    *ppTexture = new FakeTexture(this, Width, Height, Levels, Usage, Format, Pool);
    return D3D_OK;
}

inline HRESULT FakeTextureDevice::UpdateTexture(IDirect3DBaseTexture9* pSourceTexture,
                                                IDirect3DBaseTexture9* pDestinationTexture) {
    ++mr_UpdateTextureCalls;
    auto* lr_Source = static_cast<FakeTexture*>(static_cast<IDirect3DTexture9*>(pSourceTexture));
    auto* lr_Dest = static_cast<FakeTexture*>(static_cast<IDirect3DTexture9*>(pDestinationTexture));
    if (!lr_Source || !lr_Dest || lr_Source->mr_Pool != D3DPOOL_SYSTEMMEM || lr_Dest->mr_Pool != D3DPOOL_DEFAULT ||
        lr_Source->mr_Format != lr_Dest->mr_Format || lr_Source->mr_Levels.size() < lr_Dest->mr_Levels.size())
        return D3DERR_INVALIDCALL;
    for (size_t i = 0; i < lr_Dest->mr_Levels.size(); ++i) lr_Dest->mr_Levels[i].Bytes = lr_Source->mr_Levels[i].Bytes;
    return D3D_OK;
}
