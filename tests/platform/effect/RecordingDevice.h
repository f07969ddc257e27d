// A recording stand-in for IDirect3DDevice9, for testing the effect runtime
// without the software device: it keeps render states, sampler states,
// textures and shaders, records every Set call in order, reports
// configurable shader models, and counts the fake objects still alive.
// Methods the effect runtime has no business calling return E_NOTIMPL.
#pragma once

#include <d3d9.h>

#include <array>
#include <cstring>
#include <map>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

namespace fakedevice {

// Fake textures and shaders alive in the process.
inline int g_LiveObjects = 0;

class RefCounted {
public:
    RefCounted() { ++g_LiveObjects; }
    virtual ~RefCounted() { --g_LiveObjects; }
    ULONG AddRefImpl() { return ++mr_Count; }
    ULONG ReleaseImpl() {
        const ULONG lr_Count = --mr_Count;
        if (lr_Count == 0) delete this;
        return lr_Count;
    }
    ULONG Count() const { return mr_Count; }

private:
    ULONG mr_Count = 1;
};

#define FAKE_IUNKNOWN                                                       \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override { \
        if (ppv) *ppv = nullptr;                                            \
        return E_NOINTERFACE;                                               \
    }                                                                       \
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }      \
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

class FakeTexture final : public IDirect3DTexture9, public RefCounted {
public:
    FAKE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override { return E_NOTIMPL; }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD STDMETHODCALLTYPE SetLOD(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetLOD() override { return 0; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return 1; }
    HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE) override { return E_NOTIMPL; }
    D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() override { return D3DTEXF_NONE; }
    void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT, IDirect3DSurface9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRect(UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT*) override { return E_NOTIMPL; }
};

// What a created shader's token stream said.
struct ShaderInfo {
    DWORD Version = 0;
    std::string Entry;  // from the "FUNC" comment token
    size_t Tokens = 0;
};

inline ShaderInfo ReadTokens(const DWORD* tokens) {
    ShaderInfo lr_Info;
    lr_Info.Version = tokens[0];
    size_t i = 1;
    while (tokens[i] != D3DPS_END() && i < 4096) {
        if ((tokens[i] & D3DSI_OPCODE_MASK) == D3DSIO_COMMENT) {
            const DWORD lr_Length = (tokens[i] & D3DSI_COMMENTSIZE_MASK) >> D3DSI_COMMENTSIZE_SHIFT;
            if (lr_Length >= 1 && std::memcmp(&tokens[i + 1], "FUNC", 4) == 0) {
                const char* lr_Text = reinterpret_cast<const char*>(&tokens[i + 2]);
                lr_Info.Entry.assign(lr_Text, strnlen(lr_Text, (lr_Length - 1) * 4));
            }
            i += 1 + lr_Length;
        } else {
            ++i;
        }
    }
    lr_Info.Tokens = i + 1;
    return lr_Info;
}

template <typename Interface>
class FakeShader final : public Interface, public RefCounted {
public:
    explicit FakeShader(const ShaderInfo& info) : mr_Info(info) {}
    FAKE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFunction(void*, UINT*) override { return E_NOTIMPL; }
    const ShaderInfo& Info() const { return mr_Info; }

private:
    ShaderInfo mr_Info;
};
using FakePixelShader = FakeShader<IDirect3DPixelShader9>;
using FakeVertexShader = FakeShader<IDirect3DVertexShader9>;

// Every method stubbed; the recording device overrides what it supports.
class StubDevice : public IDirect3DDevice9 {
public:
    virtual ~StubDevice() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        if (ppv) *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mr_RefCount; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG lr_Count = --mr_RefCount;
        if (lr_Count == 0) delete this;
        return lr_Count;
    }
    ULONG RefCount() const { return mr_RefCount; }

    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return E_NOTIMPL; }
    UINT STDMETHODCALLTYPE GetAvailableTextureMem() override { return 0; }
    HRESULT STDMETHODCALLTYPE EvictManagedResources() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT, D3DDISPLAYMODE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT, UINT, IDirect3DSurface9*) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE SetCursorPosition(int, int, DWORD) override {}
    BOOL STDMETHODCALLTYPE ShowCursor(BOOL) override { return 0; }
    HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSwapChain(UINT, IDirect3DSwapChain9**) override { return E_NOTIMPL; }
    UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override { return 0; }
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT, D3DRASTER_STATUS*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDialogBoxMode(BOOL) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) override {}
    void STDMETHODCALLTYPE GetGammaRamp(UINT, D3DGAMMARAMP*) override {}
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**,
                                            HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                                  IDirect3DVolumeTexture9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**,
                                                HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**,
                                                 HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**,
                                                HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                                 IDirect3DSurface9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                                        IDirect3DSurface9**, HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*,
                                            const POINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT, IDirect3DSurface9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                                          D3DTEXTUREFILTERTYPE) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9*, const RECT*, D3DCOLOR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**,
                                                          HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD, IDirect3DSurface9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD, IDirect3DSurface9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndScene() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD, const D3DLIGHT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD, D3DLIGHT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD, BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD, const float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD, float*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginStateBlock() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD, IDirect3DBaseTexture9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD, IDirect3DBaseTexture9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT, const PALETTEENTRY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT, PALETTEENTRY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScissorRect(RECT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(BOOL) override { return E_NOTIMPL; }
    BOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override { return 0; }
    HRESULT STDMETHODCALLTYPE SetNPatchMode(float) override { return E_NOTIMPL; }
    float STDMETHODCALLTYPE GetNPatchMode() override { return 0; }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT,
                                                     const void*, UINT) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*,
                                              DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9*,
                                                      IDirect3DVertexDeclaration9**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const float*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT, float*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT, const int*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT, int*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT, const BOOL*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT, BOOL*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD*, IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const float*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT, float*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT, const int*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT, int*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT, const BOOL*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT, BOOL*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeletePatch(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE, IDirect3DQuery9**) override { return E_NOTIMPL; }

private:
    ULONG mr_RefCount = 1;
};

struct SetCall {
    enum class Kind { RenderState, SamplerState, Texture, PixelShader, VertexShader, PixelConstant, VertexConstant };
    Kind What;
    DWORD Index;         // stage, sampler or first register
    DWORD State;         // state type; for constants the register set (D3DXRS_BOOL, _INT4, _FLOAT4)
    DWORD Value;         // value; for constants the register count
    const void* Object;  // texture or shader identity
};

class RecordingDevice;

// A state block recorded between BeginStateBlock and EndStateBlock: the set
// calls it saw. Capture reads their current values back from the device,
// Apply sets them again; it holds references to what it captured.
class FakeStateBlock final : public IDirect3DStateBlock9, public RefCounted {
public:
    FakeStateBlock(RecordingDevice* device, std::vector<SetCall>&& calls);
    ~FakeStateBlock() override { DropObjects(); }
    FAKE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Capture() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    const std::vector<SetCall>& Recorded() const { return mr_Calls; }

private:
    void DropObjects();
    RecordingDevice* mr_Device_;
    std::vector<SetCall> mr_Calls;    // values and objects as last captured
    std::vector<DWORD> mr_Constants;  // captured register words, 4 per register, in call order
};

class RecordingDevice final : public StubDevice {
public:
    RecordingDevice(DWORD vertexShaderVersion = D3DVS_VERSION(3, 0), DWORD pixelShaderVersion = D3DPS_VERSION(3, 0))
        : mr_VertexShaderVersion(vertexShaderVersion), mr_PixelShaderVersion(pixelShaderVersion) {}
    ~RecordingDevice() override {
        for (auto& lr_Texture : mr_Textures)
            if (lr_Texture.second) lr_Texture.second->Release();
        if (mr_PixelShader_) mr_PixelShader_->Release();
        if (mr_VertexShader_) mr_VertexShader_->Release();
    }

    // Test controls.
    bool RefuseShadersAboveCaps = false;
    HRESULT BeginStateBlockResult = D3D_OK;
    std::vector<SetCall> Calls;
    int StateBlocksRecorded = 0;
    int Captures = 0;
    int Applies = 0;
    std::vector<ShaderInfo> CreatedShaders;
    int GetCalls = 0;

    DWORD RenderState(DWORD state) const {
        auto it = mr_RenderStates.find(state);
        return it == mr_RenderStates.end() ? 0 : it->second;
    }
    DWORD SamplerState(DWORD sampler, DWORD type) const {
        auto it = mr_SamplerStates.find({sampler, type});
        return it == mr_SamplerStates.end() ? 0 : it->second;
    }
    IDirect3DBaseTexture9* BoundTexture(DWORD stage) const {
        auto it = mr_Textures.find(stage);
        return it == mr_Textures.end() ? nullptr : it->second;
    }
    // One register's four words (one word per register for bools).
    const DWORD* Constant(bool pixel, DWORD set, DWORD index) {
        return mr_ConstantWords[{pixel ? 1u : 0u, set, index}].data();
    }
    float ConstantF(bool pixel, DWORD index, int component) {
        float lr_Value;
        std::memcpy(&lr_Value, Constant(pixel, 2, index) + component, sizeof(lr_Value));
        return lr_Value;
    }
    IDirect3DPixelShader9* BoundPixelShader() const { return mr_PixelShader_; }
    IDirect3DVertexShader9* BoundVertexShader() const { return mr_VertexShader_; }
    const ShaderInfo* BoundPixelShaderInfo() const {
        return mr_PixelShader_ ? &static_cast<FakePixelShader*>(mr_PixelShader_)->Info() : nullptr;
    }
    void SetShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion) {
        mr_VertexShaderVersion = vertexShaderVersion;
        mr_PixelShaderVersion = pixelShaderVersion;
    }

    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* pCaps) override {
        if (!pCaps) return D3DERR_INVALIDCALL;
        std::memset(pCaps, 0, sizeof(*pCaps));
        pCaps->VertexShaderVersion = mr_VertexShaderVersion;
        pCaps->PixelShaderVersion = mr_PixelShaderVersion;
        pCaps->PS20Caps.NumInstructionSlots = 96;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) override {
        if (!pFunction || !ppShader) return D3DERR_INVALIDCALL;
        const ShaderInfo lr_Info = ReadTokens(pFunction);
        CreatedShaders.push_back(lr_Info);
        if (RefuseShadersAboveCaps && (lr_Info.Version & 0xFFFF) > (mr_PixelShaderVersion & 0xFFFF)) {
            *ppShader = nullptr;
            return D3DERR_INVALIDCALL;
        }
        *ppShader = new FakePixelShader(lr_Info);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override {
        if (!pFunction || !ppShader) return D3DERR_INVALIDCALL;
        const ShaderInfo lr_Info = ReadTokens(pFunction);
        CreatedShaders.push_back(lr_Info);
        if (RefuseShadersAboveCaps && (lr_Info.Version & 0xFFFF) > (mr_VertexShaderVersion & 0xFFFF)) {
            *ppShader = nullptr;
            return D3DERR_INVALIDCALL;
        }
        *ppShader = new FakeVertexShader(lr_Info);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override {
        if (Record({SetCall::Kind::RenderState, 0, static_cast<DWORD>(State), Value, nullptr})) return D3D_OK;
        Calls.push_back({SetCall::Kind::RenderState, 0, static_cast<DWORD>(State), Value, nullptr});
        mr_RenderStates[State] = Value;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override {
        ++GetCalls;
        if (!pValue) return D3DERR_INVALIDCALL;
        *pValue = RenderState(State);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override {
        if (Record({SetCall::Kind::SamplerState, Sampler, static_cast<DWORD>(Type), Value, nullptr})) return D3D_OK;
        Calls.push_back({SetCall::Kind::SamplerState, Sampler, static_cast<DWORD>(Type), Value, nullptr});
        mr_SamplerStates[{Sampler, Type}] = Value;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override {
        ++GetCalls;
        if (!pValue) return D3DERR_INVALIDCALL;
        *pValue = SamplerState(Sampler, Type);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override {
        if (Record({SetCall::Kind::Texture, Stage, 0, 0, pTexture})) return D3D_OK;
        Calls.push_back({SetCall::Kind::Texture, Stage, 0, 0, pTexture});
        if (pTexture) pTexture->AddRef();
        IDirect3DBaseTexture9*& lr_Slot = mr_Textures[Stage];
        if (lr_Slot) lr_Slot->Release();
        lr_Slot = pTexture;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override {
        ++GetCalls;
        if (!ppTexture) return D3DERR_INVALIDCALL;
        *ppTexture = BoundTexture(Stage);
        if (*ppTexture) (*ppTexture)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* pShader) override {
        if (Record({SetCall::Kind::PixelShader, 0, 0, 0, pShader})) return D3D_OK;
        Calls.push_back({SetCall::Kind::PixelShader, 0, 0, 0, pShader});
        if (pShader) pShader->AddRef();
        if (mr_PixelShader_) mr_PixelShader_->Release();
        mr_PixelShader_ = pShader;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9** ppShader) override {
        ++GetCalls;
        if (!ppShader) return D3DERR_INVALIDCALL;
        *ppShader = mr_PixelShader_;
        if (*ppShader) (*ppShader)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* pShader) override {
        if (Record({SetCall::Kind::VertexShader, 0, 0, 0, pShader})) return D3D_OK;
        Calls.push_back({SetCall::Kind::VertexShader, 0, 0, 0, pShader});
        if (pShader) pShader->AddRef();
        if (mr_VertexShader_) mr_VertexShader_->Release();
        mr_VertexShader_ = pShader;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** ppShader) override {
        ++GetCalls;
        if (!ppShader) return D3DERR_INVALIDCALL;
        *ppShader = mr_VertexShader_;
        if (*ppShader) (*ppShader)->AddRef();
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT r, const float* v, UINT n) override {
        return SetConstants(true, 2, r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT r, const int* v, UINT n) override {
        return SetConstants(true, 1, r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT r, const BOOL* v, UINT n) override {
        return SetConstants(true, 0, r, v, n, 1);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT r, const float* v, UINT n) override {
        return SetConstants(false, 2, r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT r, const int* v, UINT n) override {
        return SetConstants(false, 1, r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT r, const BOOL* v, UINT n) override {
        return SetConstants(false, 0, r, v, n, 1);
    }

    HRESULT STDMETHODCALLTYPE BeginStateBlock() override {
        if (FAILED(BeginStateBlockResult)) return BeginStateBlockResult;
        if (mr_Recording) return D3DERR_INVALIDCALL;
        mr_Recording = true;
        mr_Recorded.clear();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** ppSB) override {
        if (!mr_Recording || !ppSB) return D3DERR_INVALIDCALL;
        mr_Recording = false;
        ++StateBlocksRecorded;
        *ppSB = new FakeStateBlock(this, std::move(mr_Recorded));
        mr_Recorded = std::vector<SetCall>();
        return D3D_OK;
    }

private:
    friend class FakeStateBlock;
    template <typename T>
    HRESULT SetConstants(bool pixel, DWORD set, UINT first, const T* values, UINT count, UINT words) {
        if (!values) return D3DERR_INVALIDCALL;
        if (Record({pixel ? SetCall::Kind::PixelConstant : SetCall::Kind::VertexConstant, first, set, count, nullptr}))
            return D3D_OK;
        Calls.push_back(
            {pixel ? SetCall::Kind::PixelConstant : SetCall::Kind::VertexConstant, first, set, count, nullptr});
        for (UINT i = 0; i < count; ++i)
            std::memcpy(mr_ConstantWords[{pixel ? 1u : 0u, set, first + i}].data(), values + i * words, words * 4);
        return D3D_OK;
    }
    // True when the call went into the block being recorded instead of the device.
    bool Record(const SetCall& call) {
        if (!mr_Recording) return false;
        mr_Recorded.push_back(call);
        return true;
    }

    bool mr_Recording = false;
    std::vector<SetCall> mr_Recorded;
    std::map<std::tuple<DWORD, DWORD, DWORD>, std::array<DWORD, 4>> mr_ConstantWords;  // (pixel, set, register)
    DWORD mr_VertexShaderVersion;
    DWORD mr_PixelShaderVersion;
    std::map<DWORD, DWORD> mr_RenderStates;
    std::map<std::pair<DWORD, DWORD>, DWORD> mr_SamplerStates;
    std::map<DWORD, IDirect3DBaseTexture9*> mr_Textures;
    IDirect3DPixelShader9* mr_PixelShader_ = nullptr;
    IDirect3DVertexShader9* mr_VertexShader_ = nullptr;
};

inline FakeStateBlock::FakeStateBlock(RecordingDevice* device, std::vector<SetCall>&& calls) : mr_Device_(device) {
    // One entry per state, as a real block keeps it.
    for (const SetCall& c : calls) {
        bool lr_Seen = false;
        for (const SetCall& k : mr_Calls)
            lr_Seen = lr_Seen || (k.What == c.What && k.Index == c.Index && k.State == c.State &&
                                  (k.Value == c.Value || (c.What != SetCall::Kind::PixelConstant &&
                                                          c.What != SetCall::Kind::VertexConstant)));
        if (!lr_Seen) mr_Calls.push_back(c);
    }
    for (SetCall& c : mr_Calls) c.Object = nullptr;  // nothing captured yet
    size_t lr_Words = 0;
    for (const SetCall& c : mr_Calls)
        if (c.What == SetCall::Kind::PixelConstant || c.What == SetCall::Kind::VertexConstant) lr_Words += 4 * c.Value;
    mr_Constants.assign(lr_Words, 0);
}

inline void FakeStateBlock::DropObjects() {
    for (SetCall& c : mr_Calls) {
        if (!c.Object) continue;
        if (c.What == SetCall::Kind::Texture)
            static_cast<IDirect3DBaseTexture9*>(const_cast<void*>(c.Object))->Release();
        else if (c.What == SetCall::Kind::PixelShader)
            static_cast<IDirect3DPixelShader9*>(const_cast<void*>(c.Object))->Release();
        else if (c.What == SetCall::Kind::VertexShader)
            static_cast<IDirect3DVertexShader9*>(const_cast<void*>(c.Object))->Release();
        c.Object = nullptr;
    }
}

inline HRESULT FakeStateBlock::Capture() {
    ++mr_Device_->Captures;
    DropObjects();
    size_t lr_At = 0;
    for (SetCall& c : mr_Calls) {
        switch (c.What) {
        case SetCall::Kind::RenderState: c.Value = mr_Device_->RenderState(c.State); break;
        case SetCall::Kind::SamplerState: c.Value = mr_Device_->SamplerState(c.Index, c.State); break;
        case SetCall::Kind::Texture: {
            IDirect3DBaseTexture9* t = mr_Device_->BoundTexture(c.Index);
            if (t) t->AddRef();
            c.Object = t;
            break;
        }
        case SetCall::Kind::PixelShader: {
            IDirect3DPixelShader9* p = mr_Device_->BoundPixelShader();
            if (p) p->AddRef();
            c.Object = p;
            break;
        }
        case SetCall::Kind::VertexShader: {
            IDirect3DVertexShader9* v = mr_Device_->BoundVertexShader();
            if (v) v->AddRef();
            c.Object = v;
            break;
        }
        case SetCall::Kind::PixelConstant:
        case SetCall::Kind::VertexConstant:
            for (DWORD i = 0; i < c.Value; ++i, lr_At += 4)
                std::memcpy(&mr_Constants[lr_At],
                            mr_Device_->Constant(c.What == SetCall::Kind::PixelConstant, c.State, c.Index + i), 16);
            break;
        }
    }
    return D3D_OK;
}

inline HRESULT FakeStateBlock::Apply() {
    ++mr_Device_->Applies;
    size_t lr_At = 0;
    for (const SetCall& c : mr_Calls) {
        switch (c.What) {
        case SetCall::Kind::RenderState:
            mr_Device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(c.State), c.Value);
            break;
        case SetCall::Kind::SamplerState:
            mr_Device_->SetSamplerState(c.Index, static_cast<D3DSAMPLERSTATETYPE>(c.State), c.Value);
            break;
        case SetCall::Kind::Texture:
            mr_Device_->SetTexture(c.Index, static_cast<IDirect3DBaseTexture9*>(const_cast<void*>(c.Object)));
            break;
        case SetCall::Kind::PixelShader:
            mr_Device_->SetPixelShader(static_cast<IDirect3DPixelShader9*>(const_cast<void*>(c.Object)));
            break;
        case SetCall::Kind::VertexShader:
            mr_Device_->SetVertexShader(static_cast<IDirect3DVertexShader9*>(const_cast<void*>(c.Object)));
            break;
        case SetCall::Kind::PixelConstant:
        case SetCall::Kind::VertexConstant: {
            const bool lr_Pixel = c.What == SetCall::Kind::PixelConstant;
            for (DWORD i = 0; i < c.Value; ++i, lr_At += 4) {
                const DWORD* w = &mr_Constants[lr_At];
                if (c.State == 2)
                    lr_Pixel ? mr_Device_->SetPixelShaderConstantF(c.Index + i, reinterpret_cast<const float*>(w), 1)
                             : mr_Device_->SetVertexShaderConstantF(c.Index + i, reinterpret_cast<const float*>(w), 1);
                else if (c.State == 1)
                    lr_Pixel ? mr_Device_->SetPixelShaderConstantI(c.Index + i, reinterpret_cast<const int*>(w), 1)
                             : mr_Device_->SetVertexShaderConstantI(c.Index + i, reinterpret_cast<const int*>(w), 1);
                else
                    lr_Pixel ? mr_Device_->SetPixelShaderConstantB(c.Index + i, reinterpret_cast<const BOOL*>(w), 1)
                             : mr_Device_->SetVertexShaderConstantB(c.Index + i, reinterpret_cast<const BOOL*>(w), 1);
            }
            break;
        }
        }
    }
    return D3D_OK;
}

#undef FAKE_IUNKNOWN

}  // namespace fakedevice
