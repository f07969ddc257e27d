// Set*/Get* of the device state. Between BeginStateBlock and EndStateBlock
// the sets go into the block being recorded and leave the device as it is.
#include "objects/SoftBuffer.h"
#include "objects/SoftDevice.h"
#include "objects/SoftShader.h"
#include "objects/SoftSurface.h"
#include "objects/SoftTexture.h"

#include <cstring>

namespace {

template <class T>
T* OwnObject(SoftDevice* device, IUnknown* object) {
    T* lr_Object_ = object ? dynamic_cast<T*>(object) : nullptr;
    return lr_Object_ && lr_Object_->Device() == device ? lr_Object_ : nullptr;
}

// Binds an object of this device, or nothing, into a state slot; false
// (and the slot unchanged) for an object of another device or kind.
template <class T, class I>
bool BindOwn(SoftDevice* device, I* object, SoftRef<I>& slot) {
    T* lr_Object_ = OwnObject<T>(device, object);
    if (object && !lr_Object_) return false;
    slot.Reset(object, lr_Object_);
    return true;
}

template <class T>
HRESULT HandBack(T* object, T** out) {
    *out = object;
    if (object) object->AddRef();
    return D3D_OK;
}

}  // namespace

bool SoftDevice::StateReadFails(HRESULT* result) {
    if (TakeFault(SoftCall::GetState, result)) return true;
    // A pure device keeps no copy of the state to hand back.
    if (mr_Creation.BehaviorFlags & D3DCREATE_PUREDEVICE) {
        *result = D3DERR_INVALIDCALL;
        return true;
    }
    return false;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
    NoteCall();
    UINT lr_Index = static_cast<UINT>(State);
    if (!pMatrix || lr_Index >= SOFT_TRANSFORMS) return D3DERR_INVALIDCALL;
    Target().Transforms[lr_Index] = *pMatrix;
    if (mr_RecordMask_) mr_RecordMask_->Transforms[lr_Index] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    UINT lr_Index = static_cast<UINT>(State);
    if (!pMatrix || lr_Index >= SOFT_TRANSFORMS) return D3DERR_INVALIDCALL;
    *pMatrix = mr_State.Transforms[lr_Index];
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
    NoteCall();
    UINT lr_Index = static_cast<UINT>(State);
    if (!pMatrix || lr_Index >= SOFT_TRANSFORMS) return D3DERR_INVALIDCALL;
    // The new matrix is the given one times the current one.
    const D3DMATRIX& a = *pMatrix;
    const D3DMATRIX b = mr_State.Transforms[lr_Index];
    D3DMATRIX lr_Result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            lr_Result.m[r][c] =
                a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] + a.m[r][3] * b.m[3][c];
    return SetTransform(State, &lr_Result);
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetViewport(const D3DVIEWPORT9* pViewport) {
    NoteCall();
    if (!pViewport) return D3DERR_INVALIDCALL;
    // A viewport must lie within render target 0.
    SoftSurface* lr_Target_ = static_cast<SoftSurface*>(mr_RenderTargets[0].Object());
    if (lr_Target_) {
        const D3DSURFACE_DESC& lr_Desc = lr_Target_->Desc();
        if (pViewport->Width == 0 || pViewport->Height == 0 || pViewport->X >= lr_Desc.Width ||
            pViewport->Y >= lr_Desc.Height || pViewport->Width > lr_Desc.Width - pViewport->X ||
            pViewport->Height > lr_Desc.Height - pViewport->Y)
            return D3DERR_INVALIDCALL;
    }
    Target().Viewport = *pViewport;
    if (mr_RecordMask_) mr_RecordMask_->Viewport = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetViewport(D3DVIEWPORT9* pViewport) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pViewport) return D3DERR_INVALIDCALL;
    *pViewport = mr_State.Viewport;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetMaterial(const D3DMATERIAL9* pMaterial) {
    NoteCall();
    if (!pMaterial) return D3DERR_INVALIDCALL;
    Target().Material = *pMaterial;
    if (mr_RecordMask_) mr_RecordMask_->Material = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetMaterial(D3DMATERIAL9* pMaterial) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pMaterial) return D3DERR_INVALIDCALL;
    *pMaterial = mr_State.Material;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetLight(DWORD Index, const D3DLIGHT9* pLight) {
    NoteCall();
    if (!pLight) return D3DERR_INVALIDCALL;
    if (pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL) return D3DERR_INVALIDCALL;
    Target().LightAt(Index).Light = *pLight;
    if (mr_RecordMask_) mr_RecordMask_->AddLight(Index);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetLight(DWORD Index, D3DLIGHT9* pLight) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pLight) return D3DERR_INVALIDCALL;
    SoftLight* lr_Light = mr_State.FindLight(Index);
    if (!lr_Light) return D3DERR_INVALIDCALL;
    *pLight = lr_Light->Light;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::LightEnable(DWORD Index, BOOL Enable) {
    NoteCall();
    // Enabling a light never set gives it the default light's values.
    Target().LightAt(Index).Enabled = Enable ? TRUE : FALSE;
    if (mr_RecordMask_) mr_RecordMask_->AddLight(Index);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetLightEnable(DWORD Index, BOOL* pEnable) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pEnable) return D3DERR_INVALIDCALL;
    SoftLight* lr_Light = mr_State.FindLight(Index);
    if (!lr_Light) return D3DERR_INVALIDCALL;
    // The runtime reports an enabled light as 128, not TRUE.
    *pEnable = lr_Light->Enabled ? 128 : FALSE;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetClipPlane(DWORD Index, const float* pPlane) {
    NoteCall();
    if (!pPlane || Index >= SOFT_CLIP_PLANES) return D3DERR_INVALIDCALL;
    std::memcpy(Target().ClipPlanes[Index], pPlane, sizeof(float) * 4);
    if (mr_RecordMask_) mr_RecordMask_->ClipPlanes[Index] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetClipPlane(DWORD Index, float* pPlane) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pPlane || Index >= SOFT_CLIP_PLANES) return D3DERR_INVALIDCALL;
    std::memcpy(pPlane, mr_State.ClipPlanes[Index], sizeof(float) * 4);
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    NoteCall();
    UINT lr_Index = static_cast<UINT>(State);
    if (lr_Index == 0 || lr_Index >= SOFT_RENDER_STATES) return D3DERR_INVALIDCALL;
    Target().RenderStates[lr_Index] = Value;
    if (mr_RecordMask_) mr_RecordMask_->RenderStates[lr_Index] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    UINT lr_Index = static_cast<UINT>(State);
    if (!pValue || lr_Index == 0 || lr_Index >= SOFT_RENDER_STATES) return D3DERR_INVALIDCALL;
    *pValue = mr_State.RenderStates[lr_Index];
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    UINT lr_Slot = SoftSamplerSlot(Stage);
    if (lr_Slot >= SOFT_SAMPLERS) return D3DERR_INVALIDCALL;
    return HandBack(mr_State.Textures[lr_Slot].Get(), ppTexture);
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    NoteCall();
    UINT lr_Slot = SoftSamplerSlot(Stage);
    if (lr_Slot >= SOFT_SAMPLERS) return D3DERR_INVALIDCALL;
    SoftObject* lr_Object_ = nullptr;
    if (pTexture) {
        lr_Object_ = OwnObject<SoftObject>(this, pTexture);
        if (!lr_Object_) return D3DERR_INVALIDCALL;
        SoftLiveObject lr_Desc;
        lr_Object_->Describe(lr_Desc);
        // Only textures the device can sample: not scratch or system memory.
        if (lr_Desc.Pool == D3DPOOL_SCRATCH || lr_Desc.Pool == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
    }
    Target().Textures[lr_Slot].Reset(pTexture, lr_Object_);
    if (mr_RecordMask_) mr_RecordMask_->Textures[lr_Slot] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pValue || Stage >= SOFT_TEXTURE_STAGES || Type == 0 || static_cast<UINT>(Type) >= SOFT_STAGE_STATES)
        return D3DERR_INVALIDCALL;
    *pValue = mr_State.StageStates[Stage][Type];
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    NoteCall();
    if (Stage >= SOFT_TEXTURE_STAGES || Type == 0 || static_cast<UINT>(Type) >= SOFT_STAGE_STATES)
        return D3DERR_INVALIDCALL;
    Target().StageStates[Stage][Type] = Value;
    if (mr_RecordMask_) mr_RecordMask_->StageStates[Stage][Type] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    UINT lr_Slot = SoftSamplerSlot(Sampler);
    if (!pValue || lr_Slot >= SOFT_SAMPLERS || Type == 0 || static_cast<UINT>(Type) >= SOFT_SAMPLER_STATES)
        return D3DERR_INVALIDCALL;
    *pValue = mr_State.SamplerStates[lr_Slot][Type];
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    NoteCall();
    UINT lr_Slot = SoftSamplerSlot(Sampler);
    if (lr_Slot >= SOFT_SAMPLERS || Type == 0 || static_cast<UINT>(Type) >= SOFT_SAMPLER_STATES)
        return D3DERR_INVALIDCALL;
    Target().SamplerStates[lr_Slot][Type] = Value;
    if (mr_RecordMask_) mr_RecordMask_->SamplerStates[lr_Slot][Type] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetScissorRect(const RECT* pRect) {
    NoteCall();
    if (!pRect) return D3DERR_INVALIDCALL;
    Target().Scissor = *pRect;
    if (mr_RecordMask_) mr_RecordMask_->Scissor = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetScissorRect(RECT* pRect) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pRect) return D3DERR_INVALIDCALL;
    *pRect = mr_State.Scissor;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) {
    NoteCall();
    // A declaration replaces the FVF and the other way round. The runtime
    // also makes a declaration for an FVF (GetVertexDeclaration then returns
    // it); here GetVertexDeclaration returns null after SetFVF.
    if (!BindOwn<SoftVertexDeclaration>(this, pDecl, Target().Declaration)) return D3DERR_INVALIDCALL;
    Target().FVF = 0;
    if (mr_RecordMask_) mr_RecordMask_->Declaration = mr_RecordMask_->FVF = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!ppDecl) return D3DERR_INVALIDCALL;
    return HandBack(mr_State.Declaration.Get(), ppDecl);
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetFVF(DWORD FVF) {
    NoteCall();
    Target().FVF = FVF;
    Target().Declaration.Reset();
    if (mr_RecordMask_) mr_RecordMask_->Declaration = mr_RecordMask_->FVF = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetFVF(DWORD* pFVF) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pFVF) return D3DERR_INVALIDCALL;
    *pFVF = mr_State.FVF;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetVertexShader(IDirect3DVertexShader9* pShader) {
    NoteCall();
    if (!BindOwn<SoftVertexShader>(this, pShader, Target().VertexShader)) return D3DERR_INVALIDCALL;
    if (mr_RecordMask_) mr_RecordMask_->VertexShader = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetVertexShader(IDirect3DVertexShader9** ppShader) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!ppShader) return D3DERR_INVALIDCALL;
    return HandBack(mr_State.VertexShader.Get(), ppShader);
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetPixelShader(IDirect3DPixelShader9* pShader) {
    NoteCall();
    if (!BindOwn<SoftPixelShader>(this, pShader, Target().PixelShader)) return D3DERR_INVALIDCALL;
    if (mr_RecordMask_) mr_RecordMask_->PixelShader = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetPixelShader(IDirect3DPixelShader9** ppShader) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!ppShader) return D3DERR_INVALIDCALL;
    return HandBack(mr_State.PixelShader.Get(), ppShader);
}

// Shader constants: a run of registers must fit in the register file.
#define SOFT_CONSTANTS(Name, Array, Type, Width, Limit)                                                          \
    HRESULT STDMETHODCALLTYPE SoftDevice::Set##Name(UINT StartRegister, const Type* pConstantData, UINT Count) { \
        NoteCall();                                                                                              \
        HRESULT lr_Fault;                                                                                        \
        if (TakeFault(SoftCall::SetShaderConstant, &lr_Fault)) return lr_Fault;                                  \
        if (!pConstantData || StartRegister > Limit || Count > Limit - StartRegister) return D3DERR_INVALIDCALL; \
        std::memcpy(&Target().Array[StartRegister], pConstantData, sizeof(Type) * Width * Count);                \
        if (mr_RecordMask_)                                                                                      \
            for (UINT i = 0; i < Count; ++i) mr_RecordMask_->Array[StartRegister + i] = true;                    \
        return D3D_OK;                                                                                           \
    }                                                                                                            \
    HRESULT STDMETHODCALLTYPE SoftDevice::Get##Name(UINT StartRegister, Type* pConstantData, UINT Count) {       \
        NoteCall();                                                                                              \
        HRESULT lr_Fault;                                                                                        \
        if (StateReadFails(&lr_Fault)) return lr_Fault;                                                          \
        if (!pConstantData || StartRegister > Limit || Count > Limit - StartRegister) return D3DERR_INVALIDCALL; \
        std::memcpy(pConstantData, &mr_State.Array[StartRegister], sizeof(Type) * Width * Count);                \
        return D3D_OK;                                                                                           \
    }

SOFT_CONSTANTS(VertexShaderConstantF, VertexConstantsF, float, 4, SOFT_VS_CONSTANTS_F)
SOFT_CONSTANTS(VertexShaderConstantI, VertexConstantsI, int, 4, SOFT_CONSTANTS_I)
SOFT_CONSTANTS(VertexShaderConstantB, VertexConstantsB, BOOL, 1, SOFT_CONSTANTS_B)
SOFT_CONSTANTS(PixelShaderConstantF, PixelConstantsF, float, 4, SOFT_PS_CONSTANTS_F)
SOFT_CONSTANTS(PixelShaderConstantI, PixelConstantsI, int, 4, SOFT_CONSTANTS_I)
SOFT_CONSTANTS(PixelShaderConstantB, PixelConstantsB, BOOL, 1, SOFT_CONSTANTS_B)

#undef SOFT_CONSTANTS

HRESULT STDMETHODCALLTYPE SoftDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                                      UINT OffsetInBytes, UINT Stride) {
    NoteCall();
    if (StreamNumber >= SOFT_STREAMS || Stride > 508) return D3DERR_INVALIDCALL;
    SoftStreamSource& lr_Stream = Target().Streams[StreamNumber];
    if (!BindOwn<SoftVertexBuffer>(this, pStreamData, lr_Stream.Buffer)) return D3DERR_INVALIDCALL;
    lr_Stream.Offset = OffsetInBytes;
    lr_Stream.Stride = Stride;
    if (mr_RecordMask_) mr_RecordMask_->Streams[StreamNumber] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                                      UINT* pOffsetInBytes, UINT* pStride) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!ppStreamData || !pOffsetInBytes || !pStride) return D3DERR_INVALIDCALL;
    *ppStreamData = nullptr;
    if (StreamNumber >= SOFT_STREAMS) return D3DERR_INVALIDCALL;
    const SoftStreamSource& lr_Stream = mr_State.Streams[StreamNumber];
    *pOffsetInBytes = lr_Stream.Offset;
    *pStride = lr_Stream.Stride;
    return HandBack(lr_Stream.Buffer.Get(), ppStreamData);
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetStreamSourceFreq(UINT StreamNumber, UINT Setting) {
    NoteCall();
    if (StreamNumber >= SOFT_STREAMS) return D3DERR_INVALIDCALL;
    Target().StreamFrequency[StreamNumber] = Setting;
    if (mr_RecordMask_) mr_RecordMask_->StreamFrequency[StreamNumber] = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetStreamSourceFreq(UINT StreamNumber, UINT* pSetting) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!pSetting || StreamNumber >= SOFT_STREAMS) return D3DERR_INVALIDCALL;
    *pSetting = mr_State.StreamFrequency[StreamNumber];
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
    NoteCall();
    if (!BindOwn<SoftIndexBuffer>(this, pIndexData, Target().Indices)) return D3DERR_INVALIDCALL;
    if (mr_RecordMask_) mr_RecordMask_->Indices = true;
    return D3D_OK;
}

HRESULT STDMETHODCALLTYPE SoftDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
    NoteCall();
    HRESULT lr_Fault;
    if (StateReadFails(&lr_Fault)) return lr_Fault;
    if (!ppIndexData) return D3DERR_INVALIDCALL;
    return HandBack(mr_State.Indices.Get(), ppIndexData);
}
