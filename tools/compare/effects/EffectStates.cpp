#include "EffectStates.h"

#include <soft/SoftShaderComments.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

std::string Hex(DWORD value) {
    char lr_Text[16];
    std::snprintf(lr_Text, sizeof(lr_Text), "%08lx", static_cast<unsigned long>(value));
    return lr_Text;
}

// The entry point a compiled shader names in its "FUNC" comment, or its size.
template <typename Shader>
std::string ShaderName(Shader* shader) {
    if (!shader) return "null";
    UINT lr_Size = 0;
    if (FAILED(shader->GetFunction(nullptr, &lr_Size)) || lr_Size < 8) return "unreadable";
    std::vector<DWORD> lr_Tokens(lr_Size / 4);
    if (FAILED(shader->GetFunction(lr_Tokens.data(), &lr_Size))) return "unreadable";
    const std::string ls_Name = SoftShaderEntryName(lr_Tokens.data(), lr_Tokens.size());
    return ls_Name.empty() ? std::to_string(lr_Size) + " bytes" : ls_Name;
}

// IID_ID3DXEffectStateManager, spelled out: not every import library defines it.
const GUID k_StateManagerId = {0x79aab587, 0x6dbc, 0x4fa7, {0x82, 0xde, 0x37, 0xfa, 0x17, 0x81, 0xc5, 0xce}};

class StateRecorder final : public ID3DXEffectStateManager {
public:
    std::map<std::string, std::string> States;
    std::map<const void*, std::string> TextureNames;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (std::memcmp(&riid, &IID_IUnknown, sizeof(GUID)) == 0 ||
            std::memcmp(&riid, &k_StateManagerId, sizeof(GUID)) == 0) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX*) override {
        return Set("transform " + std::to_string(State), "set");
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9*) override { return Set("material", "set"); }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD Index, const D3DLIGHT9*) override {
        return Set("light " + std::to_string(Index), "set");
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, BOOL Enable) override {
        return Set("light enable " + std::to_string(Index), std::to_string(Enable));
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override {
        return Set("render state " + std::to_string(State), Hex(Value));
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override {
        const auto lr_Name = TextureNames.find(pTexture);
        return Set("texture " + std::to_string(Stage), !pTexture                       ? "null"
                                                       : lr_Name != TextureNames.end() ? lr_Name->second
                                                                                       : "unknown");
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override {
        return Set("stage " + std::to_string(Stage) + " state " + std::to_string(Type), Hex(Value));
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override {
        return Set("sampler " + std::to_string(Sampler) + " state " + std::to_string(Type), Hex(Value));
    }
    HRESULT STDMETHODCALLTYPE SetNPatchMode(FLOAT) override { return Set("npatch", "set"); }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override { return Set("fvf", Hex(FVF)); }
    HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* pShader) override {
        return Set("vertex shader", ShaderName(pShader));
    }
    HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* pShader) override {
        return Set("pixel shader", ShaderName(pShader));
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT r, const FLOAT* v, UINT n) override {
        return Registers("vs c", r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT r, const INT* v, UINT n) override {
        return Registers("vs i", r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT r, const BOOL* v, UINT n) override {
        return Registers("vs b", r, v, n, 1);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT r, const FLOAT* v, UINT n) override {
        return Registers("ps c", r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT r, const INT* v, UINT n) override {
        return Registers("ps i", r, v, n, 4);
    }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT r, const BOOL* v, UINT n) override {
        return Registers("ps b", r, v, n, 1);
    }

private:
    HRESULT Set(const std::string& name, const std::string& value) {
        States[name] = value;
        return D3D_OK;
    }
    // Each register on its own: runtimes may send a parameter's registers in one call or several.
    template <typename T>
    HRESULT Registers(const char* set, UINT first, const T* values, UINT count, UINT words) {
        if (!values) return D3DERR_INVALIDCALL;
        for (UINT r = 0; r < count; ++r) {
            std::string ls_Value;
            for (UINT w = 0; w < words; ++w) {
                DWORD lr_Bits;
                std::memcpy(&lr_Bits, &values[r * words + w], 4);
                ls_Value += (w ? " " : "") + Hex(lr_Bits);
            }
            Set(std::string(set) + std::to_string(first + r), ls_Value);
        }
        return D3D_OK;
    }
};

// Distinct values for every number of every parameter, and a texture of its
// own for every texture parameter (held by the effect).
bool GiveValues(IDirect3DDevice9* device, ID3DXEffect* effect, StateRecorder& recorder, std::string& error) {
    D3DXEFFECT_DESC lr_Desc;
    if (FAILED(effect->GetDesc(&lr_Desc))) {
        error = "GetDesc failed";
        return false;
    }
    for (UINT p = 0; p < lr_Desc.Parameters; ++p) {
        D3DXHANDLE lr_Handle = effect->GetParameter(nullptr, p);
        D3DXPARAMETER_DESC d;
        if (FAILED(effect->GetParameterDesc(lr_Handle, &d))) continue;
        const UINT lr_Count = d.Rows * d.Columns * (d.Elements ? d.Elements : 1);
        if (d.Type == D3DXPT_FLOAT && lr_Count) {
            std::vector<FLOAT> lr_Values(lr_Count);
            for (UINT i = 0; i < lr_Count; ++i) lr_Values[i] = 0.25f * static_cast<float>(p + 1) + 0.0625f * i;
            effect->SetFloatArray(lr_Handle, lr_Values.data(), lr_Count);
        } else if (d.Type == D3DXPT_INT && lr_Count) {
            std::vector<INT> lr_Values(lr_Count);
            for (UINT i = 0; i < lr_Count; ++i) lr_Values[i] = static_cast<INT>(3 * p + i + 1);
            effect->SetIntArray(lr_Handle, lr_Values.data(), lr_Count);
        } else if (d.Type == D3DXPT_BOOL && lr_Count) {
            std::vector<BOOL> lr_Values(lr_Count);
            for (UINT i = 0; i < lr_Count; ++i) lr_Values[i] = (p + i) % 2 ? TRUE : FALSE;
            effect->SetBoolArray(lr_Handle, lr_Values.data(), lr_Count);
        } else if (d.Type >= D3DXPT_TEXTURE && d.Type <= D3DXPT_TEXTURECUBE && !d.Elements) {
            IDirect3DTexture9* lr_Texture_ = nullptr;
            if (FAILED(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr))) {
                error = "CreateTexture failed";
                return false;
            }
            recorder.TextureNames[static_cast<IDirect3DBaseTexture9*>(lr_Texture_)] = d.Name;
            effect->SetTexture(lr_Handle, lr_Texture_);
            lr_Texture_->Release();
        }
    }
    return true;
}

}  // namespace

bool DescribeEffectStates(IDirect3DDevice9* device, ID3DXEffect* effect, std::vector<std::string>& lines,
                          std::string& error) {
    StateRecorder lr_Recorder;
    if (!GiveValues(device, effect, lr_Recorder, error)) return false;
    if (FAILED(effect->SetStateManager(&lr_Recorder))) {
        error = "SetStateManager failed";
        return false;
    }
    D3DXEFFECT_DESC lr_Desc;
    effect->GetDesc(&lr_Desc);
    bool lr_Done = true;
    for (UINT t = 0; t < lr_Desc.Techniques && lr_Done; ++t) {
        D3DXHANDLE lr_Technique = effect->GetTechnique(t);
        D3DXTECHNIQUE_DESC lr_TechniqueDesc;
        effect->GetTechniqueDesc(lr_Technique, &lr_TechniqueDesc);
        const std::string ls_Technique = lr_TechniqueDesc.Name ? lr_TechniqueDesc.Name : std::to_string(t);
        UINT lr_Passes = 0;
        if (FAILED(effect->SetTechnique(lr_Technique)) || FAILED(effect->Begin(&lr_Passes, D3DXFX_DONOTSAVESTATE))) {
            error = ls_Technique + ": SetTechnique or Begin failed";
            lr_Done = false;
            break;
        }
        for (UINT p = 0; p < lr_Passes; ++p) {
            D3DXPASS_DESC lr_PassDesc;
            effect->GetPassDesc(effect->GetPass(lr_Technique, p), &lr_PassDesc);
            const std::string ls_Prefix =
                ls_Technique + "/" + (lr_PassDesc.Name ? lr_PassDesc.Name : std::to_string(p)) + ": ";
            lr_Recorder.States.clear();
            if (FAILED(effect->BeginPass(p))) {
                error = ls_Prefix + "BeginPass failed";
                lr_Done = false;
                break;
            }
            effect->CommitChanges();
            for (const auto& lr_State : lr_Recorder.States)
                lines.push_back(ls_Prefix + lr_State.first + " = " + lr_State.second);
            effect->EndPass();
        }
        effect->End();
    }
    effect->SetStateManager(nullptr);
    std::sort(lines.begin(), lines.end());
    return lr_Done;
}
