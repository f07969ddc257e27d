// The effect object: parameters, techniques and passes of one compiled
// effect, bound to one device.
#pragma once

#include "effect/EffectDefinition.h"

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace softfx {

struct NumberBlock;

class Effect final : public ID3DXEffect {
public:
    // Takes a reference on the device; CreateShaders makes the device shaders.
    // Without a device (the effect compiler's) only the ID3DXBaseEffect
    // methods may be called.
    Effect(IDirect3DDevice9* device, EffectDefinition&& definition);
    void CreateShaders();
    const EffectDefinition& Definition() const { return mr_Definition; }
    EffectDefinition& Definition() { return mr_Definition; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ID3DXBaseEffect
    STDMETHOD(GetDesc)(D3DXEFFECT_DESC* pDesc) override;
    STDMETHOD(GetParameterDesc)(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) override;
    STDMETHOD(GetTechniqueDesc)(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) override;
    STDMETHOD(GetPassDesc)(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) override;
    STDMETHOD(GetFunctionDesc)(D3DXHANDLE hShader, D3DXFUNCTION_DESC* pDesc) override;
    STDMETHOD_(D3DXHANDLE, GetParameter)(D3DXHANDLE hParameter, UINT Index) override;
    STDMETHOD_(D3DXHANDLE, GetParameterByName)(D3DXHANDLE hParameter, LPCSTR pName) override;
    STDMETHOD_(D3DXHANDLE, GetParameterBySemantic)(D3DXHANDLE hParameter, LPCSTR pSemantic) override;
    STDMETHOD_(D3DXHANDLE, GetParameterElement)(D3DXHANDLE hParameter, UINT Index) override;
    STDMETHOD_(D3DXHANDLE, GetTechnique)(UINT Index) override;
    STDMETHOD_(D3DXHANDLE, GetTechniqueByName)(LPCSTR pName) override;
    STDMETHOD_(D3DXHANDLE, GetPass)(D3DXHANDLE hTechnique, UINT Index) override;
    STDMETHOD_(D3DXHANDLE, GetPassByName)(D3DXHANDLE hTechnique, LPCSTR pName) override;
    STDMETHOD_(D3DXHANDLE, GetFunction)(UINT Index) override;
    STDMETHOD_(D3DXHANDLE, GetFunctionByName)(LPCSTR pName) override;
    STDMETHOD_(D3DXHANDLE, GetAnnotation)(D3DXHANDLE hObject, UINT Index) override;
    STDMETHOD_(D3DXHANDLE, GetAnnotationByName)(D3DXHANDLE hObject, LPCSTR pName) override;
    STDMETHOD(SetValue)(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) override;
    STDMETHOD(GetValue)(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) override;
    STDMETHOD(SetBool)(D3DXHANDLE hParameter, BOOL b) override;
    STDMETHOD(GetBool)(D3DXHANDLE hParameter, BOOL* pb) override;
    STDMETHOD(SetBoolArray)(D3DXHANDLE hParameter, const BOOL* pb, UINT Count) override;
    STDMETHOD(GetBoolArray)(D3DXHANDLE hParameter, BOOL* pb, UINT Count) override;
    STDMETHOD(SetInt)(D3DXHANDLE hParameter, INT n) override;
    STDMETHOD(GetInt)(D3DXHANDLE hParameter, INT* pn) override;
    STDMETHOD(SetIntArray)(D3DXHANDLE hParameter, const INT* pn, UINT Count) override;
    STDMETHOD(GetIntArray)(D3DXHANDLE hParameter, INT* pn, UINT Count) override;
    STDMETHOD(SetFloat)(D3DXHANDLE hParameter, FLOAT f) override;
    STDMETHOD(GetFloat)(D3DXHANDLE hParameter, FLOAT* pf) override;
    STDMETHOD(SetFloatArray)(D3DXHANDLE hParameter, const FLOAT* pf, UINT Count) override;
    STDMETHOD(GetFloatArray)(D3DXHANDLE hParameter, FLOAT* pf, UINT Count) override;
    STDMETHOD(SetVector)(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) override;
    STDMETHOD(GetVector)(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) override;
    STDMETHOD(SetVectorArray)(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector, UINT Count) override;
    STDMETHOD(GetVectorArray)(D3DXHANDLE hParameter, D3DXVECTOR4* pVector, UINT Count) override;
    STDMETHOD(SetMatrix)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override;
    STDMETHOD(GetMatrix)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override;
    STDMETHOD(SetMatrixArray)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix, UINT Count) override;
    STDMETHOD(GetMatrixArray)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix, UINT Count) override;
    STDMETHOD(SetMatrixPointerArray)(D3DXHANDLE hParameter, const D3DXMATRIX** ppMatrix, UINT Count) override;
    STDMETHOD(GetMatrixPointerArray)(D3DXHANDLE hParameter, D3DXMATRIX** ppMatrix, UINT Count) override;
    STDMETHOD(SetMatrixTranspose)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override;
    STDMETHOD(GetMatrixTranspose)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override;
    STDMETHOD(SetMatrixTransposeArray)(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix, UINT Count) override;
    STDMETHOD(GetMatrixTransposeArray)(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix, UINT Count) override;
    STDMETHOD(SetMatrixTransposePointerArray)(D3DXHANDLE hParameter, const D3DXMATRIX** ppMatrix, UINT Count) override;
    STDMETHOD(GetMatrixTransposePointerArray)(D3DXHANDLE hParameter, D3DXMATRIX** ppMatrix, UINT Count) override;
    STDMETHOD(SetString)(D3DXHANDLE hParameter, LPCSTR pString) override;
    STDMETHOD(GetString)(D3DXHANDLE hParameter, LPCSTR* ppString) override;
    STDMETHOD(SetTexture)(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) override;
    STDMETHOD(GetTexture)(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) override;
    STDMETHOD(GetPixelShader)(D3DXHANDLE hParameter, LPDIRECT3DPIXELSHADER9* ppPShader) override;
    STDMETHOD(GetVertexShader)(D3DXHANDLE hParameter, LPDIRECT3DVERTEXSHADER9* ppVShader) override;
    STDMETHOD(SetArrayRange)(D3DXHANDLE hParameter, UINT uStart, UINT uEnd) override;

    // ID3DXEffect
    STDMETHOD(GetPool)(LPD3DXEFFECTPOOL* ppPool) override;
    STDMETHOD(SetTechnique)(D3DXHANDLE hTechnique) override;
    STDMETHOD_(D3DXHANDLE, GetCurrentTechnique)() override;
    STDMETHOD(ValidateTechnique)(D3DXHANDLE hTechnique) override;
    STDMETHOD(FindNextValidTechnique)(D3DXHANDLE hTechnique, D3DXHANDLE* pTechnique) override;
    STDMETHOD_(BOOL, IsParameterUsed)(D3DXHANDLE hParameter, D3DXHANDLE hTechnique) override;
    STDMETHOD(Begin)(UINT* pPasses, DWORD Flags) override;
    STDMETHOD(BeginPass)(UINT Pass) override;
    STDMETHOD(CommitChanges)() override;
    STDMETHOD(EndPass)() override;
    STDMETHOD(End)() override;
    STDMETHOD(GetDevice)(LPDIRECT3DDEVICE9* ppDevice) override;
    STDMETHOD(OnLostDevice)() override;
    STDMETHOD(OnResetDevice)() override;
    STDMETHOD(SetStateManager)(LPD3DXEFFECTSTATEMANAGER pManager) override;
    STDMETHOD(GetStateManager)(LPD3DXEFFECTSTATEMANAGER* ppManager) override;
    STDMETHOD(BeginParameterBlock)() override;
    STDMETHOD_(D3DXHANDLE, EndParameterBlock)() override;
    STDMETHOD(ApplyParameterBlock)(D3DXHANDLE hParameterBlock) override;
    STDMETHOD(DeleteParameterBlock)(D3DXHANDLE hParameterBlock) override;
    STDMETHOD(CloneEffect)(LPDIRECT3DDEVICE9 pDevice, LPD3DXEFFECT* ppEffect) override;
    STDMETHOD(SetRawValue)(D3DXHANDLE hParameter, LPCVOID pData, UINT ByteOffset, UINT Bytes) override;

private:
    ~Effect();

    enum class HandleKind { Node, Technique, Pass };

    // Handles are addresses inside a block owned by the effect, one byte per
    // object: nodes first, then techniques, then passes. Anything outside the
    // block is not ours and is read as a name string.
    D3DXHANDLE NodeHandle(UINT node) const;
    D3DXHANDLE TechniqueHandle(UINT technique) const;
    D3DXHANDLE PassHandle(UINT pass) const;
    bool IsOwnHandle(D3DXHANDLE handle, HandleKind& kind, UINT& index) const;

    int FindParameterByName(const char* name) const;
    int FindTechniqueByName(const char* name) const;
    ValueNode* FindNode(D3DXHANDLE handle);  // parameter, element or annotation; handle or name
    int FindTechnique(D3DXHANDLE handle) const;
    int FindPass(D3DXHANDLE handle) const;
    const std::vector<UINT>* AnnotationsOf(D3DXHANDLE handle) const;

    // Value storage of a node (an element's lives in its array).
    ValueNode& Root(ValueNode& node);
    DWORD* Numbers(ValueNode& node, size_t& count);
    IDirect3DBaseTexture9** TextureSlot(ValueNode& node);
    std::string* StringSlot(ValueNode& node);
    int* ShaderSlot(ValueNode& node);
    // The numbers behind a handle whose node passes `accepts`; no data otherwise.
    NumberBlock NumbersOf(D3DXHANDLE handle, bool (*accepts)(const ValueNode&));
    UINT DescribedBytes(const ValueNode& node) const;

    // Pass application.
    bool ShaderAvailable(const StateAssignment& assignment) const;
    int ShaderOf(const StateAssignment& assignment) const;
    DWORD StateValue(const StateAssignment& assignment) const;
    void ApplySampler(DWORD stage, const ValueNode& sampler, bool texturesOnly);
    void ApplyPass(const PassDefinition& pass, bool commitOnly);
    void ApplyConstants(CompiledShader& shader, bool changedOnly);
    HRESULT SaveState(UINT technique, DWORD flags);
    void RestoreState();
    HRESULT RecordStateBlock(UINT technique, UINT variant, IDirect3DStateBlock9** block);
    void ReleaseStateBlocks();
    bool PassSupported(const PassDefinition& pass, const D3DCAPS9& caps) const;

    void DeviceSetRenderState(DWORD state, DWORD value);
    void DeviceSetSamplerState(DWORD sampler, DWORD type, DWORD value);
    void DeviceSetTexture(DWORD stage, IDirect3DBaseTexture9* texture);
    void DeviceSetPixelShader(IDirect3DPixelShader9* shader);
    void DeviceSetVertexShader(IDirect3DVertexShader9* shader);
    void DeviceSetConstants(bool pixel, const ConstantBinding& binding);

    // State saving: one block per technique and per kind of Begin (with or
    // without shader and sampler states), recorded at its first Begin.
    static constexpr UINT k_SaveVariants = 4;
    struct TechniqueBlocks {
        IDirect3DStateBlock9* Blocks_[k_SaveVariants] = {};
    };

    std::atomic<ULONG> mr_RefCount{1};
    IDirect3DDevice9* mr_Device_;
    EffectDefinition mr_Definition;
    std::unique_ptr<char[]> mr_HandleBlock;
    size_t mr_HandleCount = 0;
    int mr_CurrentTechnique = -1;
    std::vector<TechniqueBlocks> mr_StateBlocks;  // per technique
    ID3DXEffectStateManager* mr_StateManager_ = nullptr;

    bool mr_Begun = false;
    int mr_ActiveTechnique = -1;
    int mr_ActivePass = -1;
    IDirect3DStateBlock9* mr_SavedState_ = nullptr;  // captured at Begin, applied at End
    // While a block records, device calls bypass the state manager and skip
    // what the Begin flags leave unsaved.
    bool mr_Recording = false;
    DWORD mr_RecordFlags = 0;
};

}  // namespace softfx
