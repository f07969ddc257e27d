#include "effect/Effect.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace softfx {

Effect::Effect(IDirect3DDevice9* device, EffectDefinition&& definition)
    : mr_Device_(device), mr_Definition(std::move(definition)) {
    if (mr_Device_) mr_Device_->AddRef();
    mr_HandleCount = mr_Definition.Nodes.size() + mr_Definition.Techniques.size() + mr_Definition.Passes.size();
    mr_HandleBlock.reset(new char[mr_HandleCount ? mr_HandleCount : 1]());
    mr_CurrentTechnique = mr_Definition.Techniques.empty() ? -1 : 0;
    mr_StateBlocks.resize(mr_Definition.Techniques.size());
}

void Effect::CreateShaders() {
    for (CompiledShader& lr_Shader : mr_Definition.Shaders) {
        // A refusal (shader model above the device's) is not a creation
        // failure: the technique using it just does not validate.
        if (lr_Shader.Pixel) {
            if (FAILED(mr_Device_->CreatePixelShader(lr_Shader.Tokens.data(), &lr_Shader.PixelObject)))
                lr_Shader.PixelObject = nullptr;
        } else {
            if (FAILED(mr_Device_->CreateVertexShader(lr_Shader.Tokens.data(), &lr_Shader.VertexObject)))
                lr_Shader.VertexObject = nullptr;
        }
    }
}

Effect::~Effect() {
    ReleaseStateBlocks();
    for (ValueNode& lr_Node : mr_Definition.Nodes) {
        for (IDirect3DBaseTexture9*& lr_Texture : lr_Node.Textures) {
            if (lr_Texture) lr_Texture->Release();
            lr_Texture = nullptr;
        }
    }
    for (CompiledShader& lr_Shader : mr_Definition.Shaders) {
        if (lr_Shader.PixelObject) lr_Shader.PixelObject->Release();
        if (lr_Shader.VertexObject) lr_Shader.VertexObject->Release();
        lr_Shader.PixelObject = nullptr;
        lr_Shader.VertexObject = nullptr;
    }
    if (mr_StateManager_) mr_StateManager_->Release();
    if (mr_Device_) mr_Device_->Release();
}

HRESULT STDMETHODCALLTYPE Effect::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3DXBaseEffect || riid == IID_ID3DXEffect) {
        AddRef();
        *ppvObject = static_cast<ID3DXEffect*>(this);
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE Effect::AddRef() { return ++mr_RefCount; }

ULONG STDMETHODCALLTYPE Effect::Release() {
    const ULONG lr_Count = --mr_RefCount;
    if (lr_Count == 0) delete this;
    return lr_Count;
}

// Handles -------------------------------------------------------------------

D3DXHANDLE Effect::NodeHandle(UINT node) const { return mr_HandleBlock.get() + node; }
D3DXHANDLE Effect::TechniqueHandle(UINT technique) const {
    return mr_HandleBlock.get() + mr_Definition.Nodes.size() + technique;
}
D3DXHANDLE Effect::PassHandle(UINT pass) const {
    return mr_HandleBlock.get() + mr_Definition.Nodes.size() + mr_Definition.Techniques.size() + pass;
}

bool Effect::IsOwnHandle(D3DXHANDLE handle, HandleKind& kind, UINT& index) const {
    // Compared as integers: the address may belong to any other object.
    const uintptr_t lr_Address = reinterpret_cast<uintptr_t>(handle);
    const uintptr_t lr_Base = reinterpret_cast<uintptr_t>(mr_HandleBlock.get());
    if (!handle || lr_Address < lr_Base || lr_Address >= lr_Base + mr_HandleCount) return false;
    size_t lr_Offset = lr_Address - lr_Base;
    if (lr_Offset < mr_Definition.Nodes.size()) {
        kind = HandleKind::Node;
        index = static_cast<UINT>(lr_Offset);
        return true;
    }
    lr_Offset -= mr_Definition.Nodes.size();
    if (lr_Offset < mr_Definition.Techniques.size()) {
        kind = HandleKind::Technique;
        index = static_cast<UINT>(lr_Offset);
        return true;
    }
    lr_Offset -= mr_Definition.Techniques.size();
    kind = HandleKind::Pass;
    index = static_cast<UINT>(lr_Offset);
    return true;
}

// "name" or "name[index]" among the top-level parameters.
int Effect::FindParameterByName(const char* name) const {
    if (!name) return -1;
    const char* lr_Bracket = std::strchr(name, '[');
    const size_t lr_Length = lr_Bracket ? static_cast<size_t>(lr_Bracket - name) : std::strlen(name);
    for (UINT lr_Index : mr_Definition.Parameters) {
        const ValueNode& lr_Node = mr_Definition.Nodes[lr_Index];
        if (lr_Node.Name.size() != lr_Length || lr_Node.Name.compare(0, lr_Length, name, lr_Length) != 0) continue;
        if (!lr_Bracket) return static_cast<int>(lr_Index);
        char* lr_End = nullptr;
        const unsigned long lr_Element = std::strtoul(lr_Bracket + 1, &lr_End, 10);
        if (lr_End == lr_Bracket + 1 || *lr_End != ']' || lr_End[1] != '\0') return -1;
        if (lr_Element >= lr_Node.Members.size()) return -1;
        return static_cast<int>(lr_Node.Members[lr_Element]);
    }
    return -1;
}

int Effect::FindTechniqueByName(const char* name) const {
    if (!name) return -1;
    for (size_t i = 0; i < mr_Definition.Techniques.size(); ++i) {
        const TechniqueDefinition& lr_Technique = mr_Definition.Techniques[i];
        if (lr_Technique.HasName && lr_Technique.Name == name) return static_cast<int>(i);
    }
    return -1;
}

ValueNode* Effect::FindNode(D3DXHANDLE handle) {
    if (!handle) return nullptr;
    HandleKind lr_Kind;
    UINT lr_Index;
    if (IsOwnHandle(handle, lr_Kind, lr_Index))
        return lr_Kind == HandleKind::Node ? &mr_Definition.Nodes[lr_Index] : nullptr;
    const int lr_Node = FindParameterByName(handle);
    return lr_Node >= 0 ? &mr_Definition.Nodes[static_cast<size_t>(lr_Node)] : nullptr;
}

int Effect::FindTechnique(D3DXHANDLE handle) const {
    if (!handle) return -1;
    HandleKind lr_Kind;
    UINT lr_Index;
    if (IsOwnHandle(handle, lr_Kind, lr_Index))
        return lr_Kind == HandleKind::Technique ? static_cast<int>(lr_Index) : -1;
    return FindTechniqueByName(handle);
}

int Effect::FindPass(D3DXHANDLE handle) const {
    HandleKind lr_Kind;
    UINT lr_Index;
    if (IsOwnHandle(handle, lr_Kind, lr_Index) && lr_Kind == HandleKind::Pass) return static_cast<int>(lr_Index);
    return -1;
}

const std::vector<UINT>* Effect::AnnotationsOf(D3DXHANDLE handle) const {
    if (!handle) return nullptr;
    HandleKind lr_Kind;
    UINT lr_Index;
    if (IsOwnHandle(handle, lr_Kind, lr_Index)) {
        switch (lr_Kind) {
        case HandleKind::Node: return &mr_Definition.Nodes[lr_Index].Annotations;
        case HandleKind::Technique: return &mr_Definition.Techniques[lr_Index].Annotations;
        case HandleKind::Pass: return &mr_Definition.Passes[lr_Index].Annotations;
        }
        return nullptr;
    }
    const int lr_Parameter = FindParameterByName(handle);
    if (lr_Parameter >= 0) return &mr_Definition.Nodes[static_cast<size_t>(lr_Parameter)].Annotations;
    const int lr_Technique = FindTechniqueByName(handle);
    if (lr_Technique >= 0) return &mr_Definition.Techniques[static_cast<size_t>(lr_Technique)].Annotations;
    return nullptr;
}

// Descriptions --------------------------------------------------------------

STDMETHODIMP Effect::GetDesc(D3DXEFFECT_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Creator = nullptr;
    pDesc->Parameters = static_cast<UINT>(mr_Definition.Parameters.size());
    pDesc->Techniques = static_cast<UINT>(mr_Definition.Techniques.size());
    pDesc->Functions = 0;
    return D3D_OK;
}

UINT Effect::DescribedBytes(const ValueNode& node) const {
    const UINT lr_Count = node.Elements ? node.Elements : 1;
    if (node.Type == D3DXPT_BOOL || node.Type == D3DXPT_INT || node.Type == D3DXPT_FLOAT)
        return 4 * node.Rows * node.Columns * lr_Count;
    // D3DX reports a sampler as no bytes, and strings, shaders and textures
    // as the pointer each one's value is (GetString, GetTexture, ...).
    if (node.Type >= D3DXPT_SAMPLER && node.Type <= D3DXPT_SAMPLERCUBE) return 0;
    return static_cast<UINT>(sizeof(void*)) * lr_Count;
}

STDMETHODIMP Effect::GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) {
    ValueNode* lr_Node_ = FindNode(hParameter);
    if (!lr_Node_ || !pDesc) return D3DERR_INVALIDCALL;
    pDesc->Name = lr_Node_->Name.c_str();
    pDesc->Semantic = lr_Node_->Semantic.empty() ? nullptr : lr_Node_->Semantic.c_str();
    pDesc->Class = lr_Node_->Class;
    pDesc->Type = lr_Node_->Type;
    // Objects (textures, samplers, strings, shaders) have no rows or columns.
    const bool lr_Object = lr_Node_->Class == D3DXPC_OBJECT;
    pDesc->Rows = lr_Object ? 0 : lr_Node_->Rows;
    pDesc->Columns = lr_Object ? 0 : lr_Node_->Columns;
    pDesc->Elements = lr_Node_->Elements;
    pDesc->Annotations = static_cast<UINT>(lr_Node_->Annotations.size());
    pDesc->StructMembers = 0;
    pDesc->Flags = lr_Node_->Flags;
    pDesc->Bytes = DescribedBytes(*lr_Node_);
    return D3D_OK;
}

STDMETHODIMP Effect::GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) {
    const int lr_Technique = FindTechnique(hTechnique);
    if (lr_Technique < 0 || !pDesc) return D3DERR_INVALIDCALL;
    const TechniqueDefinition& lr_Def = mr_Definition.Techniques[static_cast<size_t>(lr_Technique)];
    pDesc->Name = lr_Def.HasName ? lr_Def.Name.c_str() : nullptr;
    pDesc->Passes = static_cast<UINT>(lr_Def.Passes.size());
    pDesc->Annotations = static_cast<UINT>(lr_Def.Annotations.size());
    return D3D_OK;
}

STDMETHODIMP Effect::GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) {
    const int lr_Pass = FindPass(hPass);
    if (lr_Pass < 0 || !pDesc) return D3DERR_INVALIDCALL;
    const PassDefinition& lr_Def = mr_Definition.Passes[static_cast<size_t>(lr_Pass)];
    pDesc->Name = lr_Def.HasName ? lr_Def.Name.c_str() : nullptr;
    pDesc->Annotations = static_cast<UINT>(lr_Def.Annotations.size());
    pDesc->pVertexShaderFunction = nullptr;
    pDesc->pPixelShaderFunction = nullptr;
    for (const StateAssignment& lr_State : lr_Def.States) {
        const int lr_Shader = ShaderOf(lr_State);
        if (lr_Shader < 0) continue;
        const DWORD* lr_Tokens = mr_Definition.Shaders[static_cast<size_t>(lr_Shader)].Tokens.data();
        if (lr_State.Kind == StateAssignment::Target::PixelShader) pDesc->pPixelShaderFunction = lr_Tokens;
        if (lr_State.Kind == StateAssignment::Target::VertexShader) pDesc->pVertexShaderFunction = lr_Tokens;
    }
    return D3D_OK;
}

STDMETHODIMP Effect::GetFunctionDesc(D3DXHANDLE, D3DXFUNCTION_DESC*) { return E_NOTIMPL; }

// Look-ups -----------------------------------------------------------------

STDMETHODIMP_(D3DXHANDLE) Effect::GetParameter(D3DXHANDLE hParameter, UINT Index) {
    if (!hParameter) {
        if (Index >= mr_Definition.Parameters.size()) return nullptr;
        return NodeHandle(mr_Definition.Parameters[Index]);
    }
    const ValueNode* lr_Node_ = FindNode(hParameter);
    if (!lr_Node_ || Index >= lr_Node_->Members.size()) return nullptr;
    return NodeHandle(lr_Node_->Members[Index]);
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) {
    if (!pName) return nullptr;
    // Only structures have named members, and structure parameters are not supported.
    if (hParameter) return nullptr;
    const int lr_Node = FindParameterByName(pName);
    return lr_Node >= 0 ? NodeHandle(static_cast<UINT>(lr_Node)) : nullptr;
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetParameterBySemantic(D3DXHANDLE hParameter, LPCSTR pSemantic) {
    if (!pSemantic || hParameter) return nullptr;
    for (UINT lr_Index : mr_Definition.Parameters) {
        const ValueNode& lr_Node = mr_Definition.Nodes[lr_Index];
        if (!lr_Node.Semantic.empty() && strcasecmp(lr_Node.Semantic.c_str(), pSemantic) == 0)
            return NodeHandle(lr_Index);
    }
    return nullptr;
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetParameterElement(D3DXHANDLE hParameter, UINT Index) {
    const ValueNode* lr_Node_ = FindNode(hParameter);
    if (!lr_Node_ || lr_Node_->Elements == 0 || Index >= lr_Node_->Members.size()) return nullptr;
    return NodeHandle(lr_Node_->Members[Index]);
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetTechnique(UINT Index) {
    if (Index >= mr_Definition.Techniques.size()) return nullptr;
    return TechniqueHandle(Index);
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetTechniqueByName(LPCSTR pName) {
    const int lr_Technique = FindTechniqueByName(pName);
    return lr_Technique >= 0 ? TechniqueHandle(static_cast<UINT>(lr_Technique)) : nullptr;
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetPass(D3DXHANDLE hTechnique, UINT Index) {
    const int lr_Technique = FindTechnique(hTechnique);
    if (lr_Technique < 0) return nullptr;
    const TechniqueDefinition& lr_Def = mr_Definition.Techniques[static_cast<size_t>(lr_Technique)];
    if (Index >= lr_Def.Passes.size()) return nullptr;
    return PassHandle(lr_Def.Passes[Index]);
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetPassByName(D3DXHANDLE hTechnique, LPCSTR pName) {
    const int lr_Technique = FindTechnique(hTechnique);
    if (lr_Technique < 0 || !pName) return nullptr;
    for (UINT lr_Pass : mr_Definition.Techniques[static_cast<size_t>(lr_Technique)].Passes) {
        const PassDefinition& lr_Def = mr_Definition.Passes[lr_Pass];
        if (lr_Def.HasName && lr_Def.Name == pName) return PassHandle(lr_Pass);
    }
    return nullptr;
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetFunction(UINT) { return nullptr; }
STDMETHODIMP_(D3DXHANDLE) Effect::GetFunctionByName(LPCSTR) { return nullptr; }

STDMETHODIMP_(D3DXHANDLE) Effect::GetAnnotation(D3DXHANDLE hObject, UINT Index) {
    const std::vector<UINT>* lr_List = AnnotationsOf(hObject);
    if (!lr_List || Index >= lr_List->size()) return nullptr;
    return NodeHandle((*lr_List)[Index]);
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetAnnotationByName(D3DXHANDLE hObject, LPCSTR pName) {
    const std::vector<UINT>* lr_List = AnnotationsOf(hObject);
    if (!lr_List || !pName) return nullptr;
    for (UINT lr_Index : *lr_List)
        if (mr_Definition.Nodes[lr_Index].Name == pName) return NodeHandle(lr_Index);
    return nullptr;
}

// Device, pool, state manager, unsupported extras ----------------------------

STDMETHODIMP Effect::GetDevice(LPDIRECT3DDEVICE9* ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    mr_Device_->AddRef();
    *ppDevice = mr_Device_;
    return D3D_OK;
}

STDMETHODIMP Effect::GetPool(LPD3DXEFFECTPOOL* ppPool) {
    if (!ppPool) return D3DERR_INVALIDCALL;
    // Effect pools are not supported; every effect stands alone.
    *ppPool = nullptr;
    return D3D_OK;
}

// The saved-state blocks hold references to the textures they captured,
// which would keep a reset from succeeding.
STDMETHODIMP Effect::OnLostDevice() {
    ReleaseStateBlocks();
    return D3D_OK;
}
STDMETHODIMP Effect::OnResetDevice() { return D3D_OK; }

STDMETHODIMP Effect::SetStateManager(LPD3DXEFFECTSTATEMANAGER pManager) {
    if (pManager) pManager->AddRef();
    if (mr_StateManager_) mr_StateManager_->Release();
    mr_StateManager_ = pManager;
    return D3D_OK;
}

STDMETHODIMP Effect::GetStateManager(LPD3DXEFFECTSTATEMANAGER* ppManager) {
    if (!ppManager) return D3DERR_INVALIDCALL;
    if (mr_StateManager_) mr_StateManager_->AddRef();
    *ppManager = mr_StateManager_;
    return D3D_OK;
}

STDMETHODIMP Effect::BeginParameterBlock() { return E_NOTIMPL; }
STDMETHODIMP_(D3DXHANDLE) Effect::EndParameterBlock() { return nullptr; }
STDMETHODIMP Effect::ApplyParameterBlock(D3DXHANDLE) { return E_NOTIMPL; }
STDMETHODIMP Effect::DeleteParameterBlock(D3DXHANDLE) { return E_NOTIMPL; }
STDMETHODIMP Effect::CloneEffect(LPDIRECT3DDEVICE9, LPD3DXEFFECT* ppEffect) {
    if (ppEffect) *ppEffect = nullptr;
    return E_NOTIMPL;
}

}  // namespace softfx
