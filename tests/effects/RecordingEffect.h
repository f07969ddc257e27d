// A recording stand-in for ID3DXEffect: it knows a few named parameters
// (arrays with a number of elements) and records every value written to
// them, so that a ShaderParameter can be checked call by call.
#pragma once

#include <d3dx9.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

class RecordingEffect : public ID3DXEffect {
public:
    // One write to the effect.
    struct Write {
        std::string Operation;  // "SetFloat", "SetVector", ...
        std::string Target;     // parameter name, or "name[i]" for an element
        D3DXVECTOR4 Vector{0.0f, 0.0f, 0.0f, 0.0f};
        float Float = 0.0f;
        int Int = 0;
        BOOL Bool = FALSE;
        std::string Text;
        D3DXMATRIX Matrix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        IDirect3DBaseTexture9* Texture = nullptr;
    };

    // A parameter the effect answers GetParameterByName for; elements > 0
    // makes it an array of that many elements.
    void AddParameter(const std::string& name, unsigned elements = 0);

    std::vector<Write> mr_Writes;
    int mr_ElementLookups = 0;

    // IUnknown: the fake lives on the stack of a test.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object != nullptr) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    D3DXHANDLE STDMETHODCALLTYPE GetParameterByName(D3DXHANDLE parent, LPCSTR name) override;
    D3DXHANDLE STDMETHODCALLTYPE GetParameterElement(D3DXHANDLE parameter, UINT index) override;
    HRESULT STDMETHODCALLTYPE SetBool(D3DXHANDLE parameter, BOOL value) override;
    HRESULT STDMETHODCALLTYPE SetInt(D3DXHANDLE parameter, INT value) override;
    HRESULT STDMETHODCALLTYPE SetFloat(D3DXHANDLE parameter, FLOAT value) override;
    HRESULT STDMETHODCALLTYPE SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* value) override;
    HRESULT STDMETHODCALLTYPE SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* value) override;
    HRESULT STDMETHODCALLTYPE SetString(D3DXHANDLE parameter, LPCSTR value) override;
    HRESULT STDMETHODCALLTYPE SetTexture(D3DXHANDLE parameter, LPDIRECT3DBASETEXTURE9 value) override;

    // Not used by the parameter.
    HRESULT STDMETHODCALLTYPE GetDesc(D3DXEFFECT_DESC* /*pDesc*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetParameterDesc(D3DXHANDLE /*hParameter*/, D3DXPARAMETER_DESC* /*pDesc*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTechniqueDesc(D3DXHANDLE /*hTechnique*/, D3DXTECHNIQUE_DESC* /*pDesc*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPassDesc(D3DXHANDLE /*hPass*/, D3DXPASS_DESC* /*pDesc*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFunctionDesc(D3DXHANDLE /*hShader*/, D3DXFUNCTION_DESC* /*pDesc*/) override {
        return E_NOTIMPL;
    }
    D3DXHANDLE STDMETHODCALLTYPE GetParameter(D3DXHANDLE /*hParameter*/, UINT /*Index*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetParameterBySemantic(D3DXHANDLE /*hParameter*/, LPCSTR /*pSemantic*/) override {
        return nullptr;
    }
    D3DXHANDLE STDMETHODCALLTYPE GetTechnique(UINT /*Index*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetTechniqueByName(LPCSTR /*pName*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetPass(D3DXHANDLE /*hTechnique*/, UINT /*Index*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetPassByName(D3DXHANDLE /*hTechnique*/, LPCSTR /*pName*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetFunction(UINT /*Index*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetFunctionByName(LPCSTR /*pName*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetAnnotation(D3DXHANDLE /*hObject*/, UINT /*Index*/) override { return nullptr; }
    D3DXHANDLE STDMETHODCALLTYPE GetAnnotationByName(D3DXHANDLE /*hObject*/, LPCSTR /*pName*/) override {
        return nullptr;
    }
    HRESULT STDMETHODCALLTYPE SetValue(D3DXHANDLE /*hParameter*/, LPCVOID /*pData*/, UINT /*Bytes*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetValue(D3DXHANDLE /*hParameter*/, LPVOID /*pData*/, UINT /*Bytes*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetBool(D3DXHANDLE /*hParameter*/, BOOL* /*pb*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBoolArray(D3DXHANDLE /*hParameter*/, const BOOL* /*pb*/, UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetBoolArray(D3DXHANDLE /*hParameter*/, BOOL* /*pb*/, UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetInt(D3DXHANDLE /*hParameter*/, INT* /*pn*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetIntArray(D3DXHANDLE /*hParameter*/, const INT* /*pn*/, UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIntArray(D3DXHANDLE /*hParameter*/, INT* /*pn*/, UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetFloat(D3DXHANDLE /*hParameter*/, FLOAT* /*pf*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetFloatArray(D3DXHANDLE /*hParameter*/, const FLOAT* /*pf*/, UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetFloatArray(D3DXHANDLE /*hParameter*/, FLOAT* /*pf*/, UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetVector(D3DXHANDLE /*hParameter*/, D3DXVECTOR4* /*pVector*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetVectorArray(D3DXHANDLE /*hParameter*/, const D3DXVECTOR4* /*pVector*/,
                                             UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetVectorArray(D3DXHANDLE /*hParameter*/, D3DXVECTOR4* /*pVector*/,
                                             UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMatrix(D3DXHANDLE /*hParameter*/, D3DXMATRIX* /*pMatrix*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMatrixArray(D3DXHANDLE /*hParameter*/, const D3DXMATRIX* /*pMatrix*/,
                                             UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMatrixArray(D3DXHANDLE /*hParameter*/, D3DXMATRIX* /*pMatrix*/,
                                             UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMatrixPointerArray(D3DXHANDLE /*hParameter*/, const D3DXMATRIX** /*ppMatrix*/,
                                                    UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMatrixPointerArray(D3DXHANDLE /*hParameter*/, D3DXMATRIX** /*ppMatrix*/,
                                                    UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMatrixTranspose(D3DXHANDLE /*hParameter*/, const D3DXMATRIX* /*pMatrix*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMatrixTranspose(D3DXHANDLE /*hParameter*/, D3DXMATRIX* /*pMatrix*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMatrixTransposeArray(D3DXHANDLE /*hParameter*/, const D3DXMATRIX* /*pMatrix*/,
                                                      UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMatrixTransposeArray(D3DXHANDLE /*hParameter*/, D3DXMATRIX* /*pMatrix*/,
                                                      UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMatrixTransposePointerArray(D3DXHANDLE /*hParameter*/, const D3DXMATRIX** /*ppMatrix*/,
                                                             UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMatrixTransposePointerArray(D3DXHANDLE /*hParameter*/, D3DXMATRIX** /*ppMatrix*/,
                                                             UINT /*Count*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetString(D3DXHANDLE /*hParameter*/, LPCSTR* /*ppString*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTexture(D3DXHANDLE /*hParameter*/, LPDIRECT3DBASETEXTURE9* /*ppTexture*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPixelShader(D3DXHANDLE /*hParameter*/,
                                             LPDIRECT3DPIXELSHADER9* /*ppPShader*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetVertexShader(D3DXHANDLE /*hParameter*/,
                                              LPDIRECT3DVERTEXSHADER9* /*ppVShader*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetArrayRange(D3DXHANDLE /*hParameter*/, UINT /*uStart*/, UINT /*uEnd*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPool(LPD3DXEFFECTPOOL* /*ppPool*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTechnique(D3DXHANDLE /*hTechnique*/) override { return E_NOTIMPL; }
    D3DXHANDLE STDMETHODCALLTYPE GetCurrentTechnique() override { return nullptr; }
    HRESULT STDMETHODCALLTYPE ValidateTechnique(D3DXHANDLE /*hTechnique*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindNextValidTechnique(D3DXHANDLE /*hTechnique*/, D3DXHANDLE* /*pTechnique*/) override {
        return E_NOTIMPL;
    }
    BOOL STDMETHODCALLTYPE IsParameterUsed(D3DXHANDLE /*hParameter*/, D3DXHANDLE /*hTechnique*/) override {
        return FALSE;
    }
    HRESULT STDMETHODCALLTYPE Begin(UINT* /*pPasses*/, DWORD /*Flags*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginPass(UINT /*Pass*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CommitChanges() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndPass() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE End() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* /*ppDevice*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLostDevice() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStateManager(LPD3DXEFFECTSTATEMANAGER /*pManager*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStateManager(LPD3DXEFFECTSTATEMANAGER* /*ppManager*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginParameterBlock() override { return E_NOTIMPL; }
    D3DXHANDLE STDMETHODCALLTYPE EndParameterBlock() override { return nullptr; }
    HRESULT STDMETHODCALLTYPE ApplyParameterBlock(D3DXHANDLE /*hParameterBlock*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteParameterBlock(D3DXHANDLE /*hParameterBlock*/) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CloneEffect(LPDIRECT3DDEVICE9 /*pDevice*/, LPD3DXEFFECT* /*ppEffect*/) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetRawValue(D3DXHANDLE /*hParameter*/, LPCVOID /*pData*/, UINT /*ByteOffset*/,
                                          UINT /*Bytes*/) override {
        return E_NOTIMPL;
    }

private:
    // Handles are addresses of these strings ("name" or "name[i]").
    D3DXHANDLE HandleOf(const std::string& target);
    std::string TargetOf(D3DXHANDLE handle) const;
    Write& Record(const char* operation, D3DXHANDLE handle);

    std::map<std::string, unsigned> mr_Parameters;
    std::deque<std::string> mr_Handles;
};
