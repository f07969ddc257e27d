// The effect compiler: an effect without a device, whose CompileEffect
// writes the compiled (fx_2_0) form of what it holds, values set on it
// included. Its ID3DXBaseEffect methods are the effect's own.
#include "core/Buffer.h"
#include "effect/Effect.h"
#include "effect/EffectBinary.h"
#include "effect/EffectCreate.h"
#include "core/HostFile.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

class EffectCompiler final : public ID3DXEffectCompiler {
public:
    explicit EffectCompiler(softfx::EffectDefinition&& definition)
        : mr_Effect_(new softfx::Effect(nullptr, std::move(definition))) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXBaseEffect || riid == IID_ID3DXEffectCompiler) {
            AddRef();
            *ppvObject = static_cast<ID3DXEffectCompiler*>(this);
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mr_RefCount; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG lr_Count = --mr_RefCount;
        if (lr_Count == 0) delete this;
        return lr_Count;
    }

    STDMETHOD(GetDesc)(D3DXEFFECT_DESC* pDesc) override { return mr_Effect_->GetDesc(pDesc); }
    STDMETHOD(GetParameterDesc)(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) override {
        return mr_Effect_->GetParameterDesc(hParameter, pDesc);
    }
    STDMETHOD(GetTechniqueDesc)(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) override {
        return mr_Effect_->GetTechniqueDesc(hTechnique, pDesc);
    }
    STDMETHOD(GetPassDesc)(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) override {
        return mr_Effect_->GetPassDesc(hPass, pDesc);
    }
    STDMETHOD(GetFunctionDesc)(D3DXHANDLE hShader, D3DXFUNCTION_DESC* pDesc) override {
        return mr_Effect_->GetFunctionDesc(hShader, pDesc);
    }
    STDMETHOD_(D3DXHANDLE, GetParameter)(D3DXHANDLE hParameter, UINT Index) override {
        return mr_Effect_->GetParameter(hParameter, Index);
    }
    STDMETHOD_(D3DXHANDLE, GetParameterByName)(D3DXHANDLE hParameter, LPCSTR pName) override {
        return mr_Effect_->GetParameterByName(hParameter, pName);
    }
    STDMETHOD_(D3DXHANDLE, GetParameterBySemantic)(D3DXHANDLE hParameter, LPCSTR pSemantic) override {
        return mr_Effect_->GetParameterBySemantic(hParameter, pSemantic);
    }
    STDMETHOD_(D3DXHANDLE, GetParameterElement)(D3DXHANDLE hParameter, UINT Index) override {
        return mr_Effect_->GetParameterElement(hParameter, Index);
    }
    STDMETHOD_(D3DXHANDLE, GetTechnique)(UINT Index) override { return mr_Effect_->GetTechnique(Index); }
    STDMETHOD_(D3DXHANDLE, GetTechniqueByName)(LPCSTR pName) override { return mr_Effect_->GetTechniqueByName(pName); }
    STDMETHOD_(D3DXHANDLE, GetPass)(D3DXHANDLE hTechnique, UINT Index) override {
        return mr_Effect_->GetPass(hTechnique, Index);
    }
    STDMETHOD_(D3DXHANDLE, GetPassByName)(D3DXHANDLE hTechnique, LPCSTR pName) override {
        return mr_Effect_->GetPassByName(hTechnique, pName);
    }
    STDMETHOD_(D3DXHANDLE, GetFunction)(UINT Index) override { return mr_Effect_->GetFunction(Index); }
    STDMETHOD_(D3DXHANDLE, GetFunctionByName)(LPCSTR pName) override { return mr_Effect_->GetFunctionByName(pName); }
    STDMETHOD_(D3DXHANDLE, GetAnnotation)(D3DXHANDLE hObject, UINT Index) override {
        return mr_Effect_->GetAnnotation(hObject, Index);
    }
    STDMETHOD_(D3DXHANDLE, GetAnnotationByName)(D3DXHANDLE hObject, LPCSTR pName) override {
        return mr_Effect_->GetAnnotationByName(hObject, pName);
    }
    STDMETHOD(SetValue)(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) override {
        return mr_Effect_->SetValue(hParameter, pData, Bytes);
    }
    STDMETHOD(GetValue)(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) override {
        return mr_Effect_->GetValue(hParameter, pData, Bytes);
    }
    STDMETHOD(SetBool)(D3DXHANDLE hParameter, BOOL b) override { return mr_Effect_->SetBool(hParameter, b); }
    STDMETHOD(GetBool)(D3DXHANDLE hParameter, BOOL* pb) override { return mr_Effect_->GetBool(hParameter, pb); }
    STDMETHOD(SetBoolArray)(D3DXHANDLE hParameter, const BOOL* pb, UINT Count) override {
        return mr_Effect_->SetBoolArray(hParameter, pb, Count);
    }
    STDMETHOD(GetBoolArray)(D3DXHANDLE hParameter, BOOL* pb, UINT Count) override {
        return mr_Effect_->GetBoolArray(hParameter, pb, Count);
    }
    STDMETHOD(SetInt)(D3DXHANDLE hParameter, INT n) override { return mr_Effect_->SetInt(hParameter, n); }
    STDMETHOD(GetInt)(D3DXHANDLE hParameter, INT* pn) override { return mr_Effect_->GetInt(hParameter, pn); }
    STDMETHOD(SetIntArray)(D3DXHANDLE hParameter, const INT* pn, UINT Count) override {
        return mr_Effect_->SetIntArray(hParameter, pn, Count);
    }
    STDMETHOD(GetIntArray)(D3DXHANDLE hParameter, INT* pn, UINT Count) override {
        return mr_Effect_->GetIntArray(hParameter, pn, Count);
    }
    STDMETHOD(SetFloat)(D3DXHANDLE hParameter, FLOAT f) override { return mr_Effect_->SetFloat(hParameter, f); }
    STDMETHOD(GetFloat)(D3DXHANDLE hParameter, FLOAT* pf) override { return mr_Effect_->GetFloat(hParameter, pf); }
    STDMETHOD(SetFloatArray)(D3DXHANDLE hParameter, const FLOAT* pf, UINT Count) override {
        return mr_Effect_->SetFloatArray(hParameter, pf, Count);
    }
    STDMETHOD(GetFloatArray)(D3DXHANDLE hParameter, FLOAT* pf, UINT Count) override {
        return mr_Effect_->GetFloatArray(hParameter, pf, Count);
    }
    STDMETHOD(SetVector)(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) override {
        return mr_Effect_->SetVector(hParameter, pVector);
    }
    STDMETHOD(GetVector)(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) override {
        return mr_Effect_->GetVector(hParameter, pVector);
    }
    STDMETHOD(SetVectorArray)(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector, UINT Count) override {
        return mr_Effect_->SetVectorArray(hParameter, pVector, Count);
    }
    STDMETHOD(GetVectorArray)(D3DXHANDLE hParameter, D3DXVECTOR4* pVector, UINT Count) override {
        return mr_Effect_->GetVectorArray(hParameter, pVector, Count);
    }
    STDMETHOD(SetMatrix)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override {
        return mr_Effect_->SetMatrix(hParameter, pMatrix);
    }
    STDMETHOD(GetMatrix)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override {
        return mr_Effect_->GetMatrix(hParameter, pMatrix);
    }
    STDMETHOD(SetMatrixArray)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix, UINT Count) override {
        return mr_Effect_->SetMatrixArray(hParameter, pMatrix, Count);
    }
    STDMETHOD(GetMatrixArray)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix, UINT Count) override {
        return mr_Effect_->GetMatrixArray(hParameter, pMatrix, Count);
    }
    STDMETHOD(SetMatrixPointerArray)(D3DXHANDLE hParameter, const D3DXMATRIX** ppMatrix, UINT Count) override {
        return mr_Effect_->SetMatrixPointerArray(hParameter, ppMatrix, Count);
    }
    STDMETHOD(GetMatrixPointerArray)(D3DXHANDLE hParameter, D3DXMATRIX** ppMatrix, UINT Count) override {
        return mr_Effect_->GetMatrixPointerArray(hParameter, ppMatrix, Count);
    }
    STDMETHOD(SetMatrixTranspose)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override {
        return mr_Effect_->SetMatrixTranspose(hParameter, pMatrix);
    }
    STDMETHOD(GetMatrixTranspose)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override {
        return mr_Effect_->GetMatrixTranspose(hParameter, pMatrix);
    }
    STDMETHOD(SetMatrixTransposeArray)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix, UINT Count) override {
        return mr_Effect_->SetMatrixTransposeArray(hParameter, pMatrix, Count);
    }
    STDMETHOD(GetMatrixTransposeArray)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix, UINT Count) override {
        return mr_Effect_->GetMatrixTransposeArray(hParameter, pMatrix, Count);
    }
    STDMETHOD(SetMatrixTransposePointerArray)(D3DXHANDLE hParameter, const D3DXMATRIX** ppMatrix, UINT Count) override {
        return mr_Effect_->SetMatrixTransposePointerArray(hParameter, ppMatrix, Count);
    }
    STDMETHOD(GetMatrixTransposePointerArray)(D3DXHANDLE hParameter, D3DXMATRIX** ppMatrix, UINT Count) override {
        return mr_Effect_->GetMatrixTransposePointerArray(hParameter, ppMatrix, Count);
    }
    STDMETHOD(SetString)(D3DXHANDLE hParameter, LPCSTR pString) override {
        return mr_Effect_->SetString(hParameter, pString);
    }
    STDMETHOD(GetString)(D3DXHANDLE hParameter, LPCSTR* ppString) override {
        return mr_Effect_->GetString(hParameter, ppString);
    }
    STDMETHOD(SetTexture)(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) override {
        return mr_Effect_->SetTexture(hParameter, pTexture);
    }
    STDMETHOD(GetTexture)(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) override {
        return mr_Effect_->GetTexture(hParameter, ppTexture);
    }
    STDMETHOD(GetPixelShader)(D3DXHANDLE hParameter, LPDIRECT3DPIXELSHADER9* ppPShader) override {
        return mr_Effect_->GetPixelShader(hParameter, ppPShader);
    }
    STDMETHOD(GetVertexShader)(D3DXHANDLE hParameter, LPDIRECT3DVERTEXSHADER9* ppVShader) override {
        return mr_Effect_->GetVertexShader(hParameter, ppVShader);
    }
    STDMETHOD(SetArrayRange)(D3DXHANDLE hParameter, UINT uStart, UINT uEnd) override {
        return mr_Effect_->SetArrayRange(hParameter, uStart, uEnd);
    }

    STDMETHOD(SetLiteral)(D3DXHANDLE hParameter, BOOL Literal) override {
        softfx::ValueNode* lr_Node_ = TopLevel(hParameter);
        if (!lr_Node_) return D3DERR_INVALIDCALL;
        if (Literal)
            lr_Node_->Flags |= D3DX_PARAMETER_LITERAL;
        else
            lr_Node_->Flags &= ~static_cast<DWORD>(D3DX_PARAMETER_LITERAL);
        return D3D_OK;
    }
    STDMETHOD(GetLiteral)(D3DXHANDLE hParameter, BOOL* pLiteral) override {
        softfx::ValueNode* lr_Node_ = TopLevel(hParameter);
        if (!lr_Node_ || !pLiteral) return D3DERR_INVALIDCALL;
        *pLiteral = (lr_Node_->Flags & D3DX_PARAMETER_LITERAL) ? TRUE : FALSE;
        return D3D_OK;
    }
    STDMETHOD(CompileEffect)(DWORD, LPD3DXBUFFER* ppEffect, LPD3DXBUFFER* ppErrorMsgs) override {
        if (!ppEffect) return D3DERR_INVALIDCALL;
        *ppEffect = nullptr;
        if (ppErrorMsgs) *ppErrorMsgs = nullptr;
        try {
            std::vector<BYTE> lr_Bytes;
            std::string ls_Error;
            if (!softfx::WriteEffectBinary(mr_Effect_->Definition(), lr_Bytes, ls_Error)) {
                if (ppErrorMsgs)
                    *ppErrorMsgs = softfx::CreateTextBuffer(
                        "error X3000: the compiled effect cannot carry this: " + ls_Error + "\n");
                return E_FAIL;
            }
            if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(lr_Bytes.size()), ppEffect))) return E_OUTOFMEMORY;
            std::memcpy((*ppEffect)->GetBufferPointer(), lr_Bytes.data(), lr_Bytes.size());
            return D3D_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    // Single shaders are compiled by D3DXCompileShader's side of D3DX, which
    // this substitute does not offer.
    STDMETHOD(CompileShader)
    (D3DXHANDLE, LPCSTR, DWORD, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
     LPD3DXCONSTANTTABLE* ppConstantTable) override {
        if (ppShader) *ppShader = nullptr;
        if (ppConstantTable) *ppConstantTable = nullptr;
        if (ppErrorMsgs)
            *ppErrorMsgs = softfx::CreateTextBuffer("error X3000: CompileShader is not supported; use CompileEffect\n");
        return E_NOTIMPL;
    }

private:
    ~EffectCompiler() { mr_Effect_->Release(); }

    // Literal marks top-level parameters only: their handles, or else their names.
    softfx::ValueNode* TopLevel(D3DXHANDLE hParameter) {
        if (!hParameter) return nullptr;
        softfx::EffectDefinition& lr_Def = mr_Effect_->Definition();
        for (UINT i = 0; i < lr_Def.Parameters.size(); ++i)
            if (mr_Effect_->GetParameter(nullptr, i) == hParameter) return &lr_Def.Nodes[lr_Def.Parameters[i]];
        for (UINT lr_Node : lr_Def.Parameters)
            if (lr_Def.Nodes[lr_Node].Name == hParameter) return &lr_Def.Nodes[lr_Node];
        return nullptr;
    }

    std::atomic<ULONG> mr_RefCount{1};
    softfx::Effect* mr_Effect_;
};

HRESULT CreateCompiler(softfx::PreprocessRequest request, LPD3DXEFFECTCOMPILER* ppEffectCompiler,
                       LPD3DXBUFFER* ppParseErrors) {
    *ppEffectCompiler = nullptr;
    try {
        softfx::EffectDefinition lr_Definition;
        const HRESULT hr = softfx::DefinitionFromData(std::move(request), lr_Definition, ppParseErrors);
        if (FAILED(hr)) return hr;
        *ppEffectCompiler = new EffectCompiler(std::move(lr_Definition));
        if (ppParseErrors) *ppParseErrors = nullptr;
        return D3D_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" {

// Includes are resolved here, at compile time: the compiled effect holds their results.
DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectCompiler(LPCSTR pSrcData, UINT SrcDataLen, const D3DXMACRO* pDefines,
                                                        LPD3DXINCLUDE pInclude, DWORD,
                                                        LPD3DXEFFECTCOMPILER* ppEffectCompiler,
                                                        LPD3DXBUFFER* ppParseErrors) {
    if (!pSrcData || !SrcDataLen || !ppEffectCompiler) return D3DERR_INVALIDCALL;
    softfx::PreprocessRequest lr_Request;
    try {
        lr_Request.SourceName = "memory";
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    lr_Request.Text = pSrcData;
    lr_Request.Size = SrcDataLen;
    lr_Request.Defines = pDefines;
    lr_Request.Include = pInclude;
    return CreateCompiler(std::move(lr_Request), ppEffectCompiler, ppParseErrors);
}

DECLSPEC_EXPORT HRESULT WINAPI D3DXCreateEffectCompilerFromFileA(LPCSTR pSrcFile, const D3DXMACRO* pDefines,
                                                                 LPD3DXINCLUDE pInclude, DWORD,
                                                                 LPD3DXEFFECTCOMPILER* ppEffectCompiler,
                                                                 LPD3DXBUFFER* ppParseErrors) {
    if (!pSrcFile || !ppEffectCompiler) return D3DERR_INVALIDCALL;
    *ppEffectCompiler = nullptr;
    std::vector<BYTE> lr_Data;
    softfx::PreprocessRequest lr_Request;
    HRESULT hr;
    try {
        hr = softfx::ReadEffectFile(softd3dx::WidePathFromAnsi(pSrcFile), pSrcFile, pDefines, pInclude, lr_Data,
                                    lr_Request);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (FAILED(hr)) return hr;
    return CreateCompiler(std::move(lr_Request), ppEffectCompiler, ppParseErrors);
}

}  // extern "C"
