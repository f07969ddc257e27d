// Techniques and passes: selection, validation against the device's shader
// models, and the Begin / BeginPass / EndPass / End protocol with its state
// save and restore.
#include "effect/Effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace softfx {

namespace {

DWORD VertexSamplerStage(UINT shaderRegister) { return D3DVERTEXTEXTURESAMPLER0 + shaderRegister; }

// Shader models 2.x (2_a, 2_b) run on a 3.0 device or on a 2.0 device with
// the extended caps; otherwise a device runs models up to its own.
bool VersionSupported(const CompiledShader& shader, const D3DCAPS9& caps) {
    const DWORD lr_Need = shader.Version & 0xFFFF;
    const DWORD lr_Have = (shader.Pixel ? caps.PixelShaderVersion : caps.VertexShaderVersion) & 0xFFFF;
    if (lr_Need == 0x0201) {
        if (lr_Have >= 0x0300) return true;
        if (lr_Have < 0x0200) return false;
        return shader.Pixel ? caps.PS20Caps.NumInstructionSlots >= 512 : caps.VS20Caps.DynamicFlowControlDepth > 0;
    }
    return lr_Have >= lr_Need;
}

}  // namespace

// Device calls, through the state manager when one is set ------------------

void Effect::DeviceSetRenderState(DWORD state, DWORD value) {
    if (mr_StateManager_ && !mr_Recording)
        mr_StateManager_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
    else
        mr_Device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
}
void Effect::DeviceSetSamplerState(DWORD sampler, DWORD type, DWORD value) {
    if (mr_Recording && (mr_RecordFlags & D3DXFX_DONOTSAVESAMPLERSTATE)) return;
    if (mr_StateManager_ && !mr_Recording)
        mr_StateManager_->SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(type), value);
    else
        mr_Device_->SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(type), value);
}
void Effect::DeviceSetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (mr_StateManager_ && !mr_Recording)
        mr_StateManager_->SetTexture(stage, texture);
    else
        mr_Device_->SetTexture(stage, texture);
}
void Effect::DeviceSetPixelShader(IDirect3DPixelShader9* shader) {
    if (mr_Recording && (mr_RecordFlags & D3DXFX_DONOTSAVESHADERSTATE)) return;
    if (mr_StateManager_ && !mr_Recording)
        mr_StateManager_->SetPixelShader(shader);
    else
        mr_Device_->SetPixelShader(shader);
}
void Effect::DeviceSetVertexShader(IDirect3DVertexShader9* shader) {
    if (mr_Recording && (mr_RecordFlags & D3DXFX_DONOTSAVESHADERSTATE)) return;
    if (mr_StateManager_ && !mr_Recording)
        mr_StateManager_->SetVertexShader(shader);
    else
        mr_Device_->SetVertexShader(shader);
}
void Effect::DeviceSetConstants(bool pixel, const ConstantBinding& binding) {
    if (mr_Recording && (mr_RecordFlags & D3DXFX_DONOTSAVESHADERSTATE)) return;
    const float* lr_Floats = reinterpret_cast<const float*>(binding.Values.data());
    const INT* lr_Ints = reinterpret_cast<const INT*>(binding.Values.data());
    const BOOL* lr_Bools = reinterpret_cast<const BOOL*>(binding.Values.data());
    const UINT r = binding.Register, n = binding.Count;
    if (mr_StateManager_ && !mr_Recording) {
        ID3DXEffectStateManager* m = mr_StateManager_;
        if (binding.Set == D3DXRS_FLOAT4)
            pixel ? m->SetPixelShaderConstantF(r, lr_Floats, n) : m->SetVertexShaderConstantF(r, lr_Floats, n);
        else if (binding.Set == D3DXRS_INT4)
            pixel ? m->SetPixelShaderConstantI(r, lr_Ints, n) : m->SetVertexShaderConstantI(r, lr_Ints, n);
        else
            pixel ? m->SetPixelShaderConstantB(r, lr_Bools, n) : m->SetVertexShaderConstantB(r, lr_Bools, n);
        return;
    }
    IDirect3DDevice9* d = mr_Device_;
    if (binding.Set == D3DXRS_FLOAT4)
        pixel ? d->SetPixelShaderConstantF(r, lr_Floats, n) : d->SetVertexShaderConstantF(r, lr_Floats, n);
    else if (binding.Set == D3DXRS_INT4)
        pixel ? d->SetPixelShaderConstantI(r, lr_Ints, n) : d->SetVertexShaderConstantI(r, lr_Ints, n);
    else
        pixel ? d->SetPixelShaderConstantB(r, lr_Bools, n) : d->SetVertexShaderConstantB(r, lr_Bools, n);
}

// Technique selection and validation ------------------------------------

STDMETHODIMP Effect::SetTechnique(D3DXHANDLE hTechnique) {
    const int lr_Technique = FindTechnique(hTechnique);
    if (lr_Technique < 0) return D3DERR_INVALIDCALL;
    mr_CurrentTechnique = lr_Technique;
    return D3D_OK;
}

STDMETHODIMP_(D3DXHANDLE) Effect::GetCurrentTechnique() {
    return mr_CurrentTechnique >= 0 ? TechniqueHandle(static_cast<UINT>(mr_CurrentTechnique)) : nullptr;
}

int Effect::ShaderOf(const StateAssignment& assignment) const {
    if (assignment.Kind != StateAssignment::Target::PixelShader &&
        assignment.Kind != StateAssignment::Target::VertexShader)
        return -1;
    if (assignment.Shader >= 0) return assignment.Shader;
    if (assignment.Parameter >= 0) {
        const ValueNode& lr_Node = mr_Definition.Nodes[static_cast<size_t>(assignment.Parameter)];
        if (!lr_Node.Shaders.empty()) return lr_Node.Shaders[0];
    }
    return -1;
}

// False when the assignment names a shader the device did not create.
bool Effect::ShaderAvailable(const StateAssignment& assignment) const {
    const int lr_Shader = ShaderOf(assignment);
    if (lr_Shader < 0) return true;
    const CompiledShader& lr_Def = mr_Definition.Shaders[static_cast<size_t>(lr_Shader)];
    return lr_Def.Pixel ? lr_Def.PixelObject != nullptr : lr_Def.VertexObject != nullptr;
}

bool Effect::PassSupported(const PassDefinition& pass, const D3DCAPS9& caps) const {
    for (const StateAssignment& lr_State : pass.States) {
        const int lr_Shader = ShaderOf(lr_State);
        if (lr_Shader < 0) continue;
        if (!ShaderAvailable(lr_State)) return false;
        if (!VersionSupported(mr_Definition.Shaders[static_cast<size_t>(lr_Shader)], caps)) return false;
    }
    return true;
}

STDMETHODIMP Effect::ValidateTechnique(D3DXHANDLE hTechnique) {
    const int lr_Technique = FindTechnique(hTechnique);
    if (lr_Technique < 0) return D3DERR_INVALIDCALL;
    D3DCAPS9 lr_Caps;
    std::memset(&lr_Caps, 0, sizeof(lr_Caps));
    if (FAILED(mr_Device_->GetDeviceCaps(&lr_Caps))) return E_FAIL;
    for (UINT lr_Pass : mr_Definition.Techniques[static_cast<size_t>(lr_Technique)].Passes)
        if (!PassSupported(mr_Definition.Passes[lr_Pass], lr_Caps)) return E_FAIL;
    return D3D_OK;
}

STDMETHODIMP Effect::FindNextValidTechnique(D3DXHANDLE hTechnique, D3DXHANDLE* pTechnique) {
    if (!pTechnique) return D3DERR_INVALIDCALL;
    size_t lr_Start = 0;
    if (hTechnique) {
        const int lr_Technique = FindTechnique(hTechnique);
        if (lr_Technique < 0) return D3DERR_INVALIDCALL;
        lr_Start = static_cast<size_t>(lr_Technique) + 1;
    }
    *pTechnique = nullptr;
    for (size_t i = lr_Start; i < mr_Definition.Techniques.size(); ++i) {
        if (SUCCEEDED(ValidateTechnique(TechniqueHandle(static_cast<UINT>(i))))) {
            *pTechnique = TechniqueHandle(static_cast<UINT>(i));
            return D3D_OK;
        }
    }
    return S_FALSE;
}

STDMETHODIMP_(BOOL) Effect::IsParameterUsed(D3DXHANDLE hParameter, D3DXHANDLE hTechnique) {
    ValueNode* lr_Node_ = FindNode(hParameter);
    const int lr_Technique = FindTechnique(hTechnique);
    if (!lr_Node_ || lr_Technique < 0) return FALSE;
    const UINT lr_Target =
        static_cast<UINT>(lr_Node_->Parent >= 0 ? lr_Node_->Parent : lr_Node_ - mr_Definition.Nodes.data());
    auto lr_SamplerUses = [&](const ValueNode& sampler) {
        for (const StateAssignment& s : sampler.SamplerStates)
            if (s.Parameter >= 0 && static_cast<UINT>(s.Parameter) == lr_Target) return true;
        return false;
    };
    for (UINT lr_Pass : mr_Definition.Techniques[static_cast<size_t>(lr_Technique)].Passes) {
        for (const StateAssignment& lr_State : mr_Definition.Passes[lr_Pass].States) {
            if (lr_State.Parameter >= 0) {
                if (static_cast<UINT>(lr_State.Parameter) == lr_Target) return TRUE;
                if (lr_State.Kind == StateAssignment::Target::Sampler &&
                    lr_SamplerUses(mr_Definition.Nodes[static_cast<size_t>(lr_State.Parameter)]))
                    return TRUE;
            }
            const int lr_Shader = ShaderOf(lr_State);
            if (lr_Shader < 0) continue;
            for (UINT lr_Used : mr_Definition.Shaders[static_cast<size_t>(lr_Shader)].UsedGlobals) {
                if (lr_Used == lr_Target) return TRUE;
                const ValueNode& lr_UsedNode = mr_Definition.Nodes[lr_Used];
                if (IsSamplerType(lr_UsedNode.Type) && lr_SamplerUses(lr_UsedNode)) return TRUE;
            }
        }
    }
    return FALSE;
}

// Applying a pass ----------------------------------------------------------

DWORD Effect::StateValue(const StateAssignment& assignment) const {
    if (assignment.Parameter < 0) return assignment.Value;
    const ValueNode& lr_Node = mr_Definition.Nodes[static_cast<size_t>(assignment.Parameter)];
    if (lr_Node.Numbers.empty()) return assignment.Value;
    const DWORD lr_Bits = lr_Node.Numbers[0];
    if (lr_Node.Type == D3DXPT_FLOAT) {
        if (assignment.ValueKind == StateValueKind::Float) return lr_Bits;
        float lr_Value;
        std::memcpy(&lr_Value, &lr_Bits, sizeof(lr_Value));
        if (std::isnan(lr_Value) || lr_Value <= -2147483648.0f) return 0;
        if (lr_Value >= 4294967295.0f) return 0xFFFFFFFFu;
        return lr_Value < 0 ? static_cast<DWORD>(static_cast<INT>(lr_Value)) : static_cast<DWORD>(lr_Value);
    }
    const INT lr_Int = lr_Node.Type == D3DXPT_BOOL ? (lr_Bits ? 1 : 0) : static_cast<INT>(lr_Bits);
    if (assignment.ValueKind == StateValueKind::Float) {
        const float lr_Value = static_cast<float>(lr_Int);
        DWORD lr_Out;
        std::memcpy(&lr_Out, &lr_Value, sizeof(lr_Out));
        return lr_Out;
    }
    return static_cast<DWORD>(lr_Int);
}

namespace {

DWORD FloatWord(float value) {
    DWORD lr_Bits;
    std::memcpy(&lr_Bits, &value, sizeof(lr_Bits));
    return lr_Bits;
}

// One stored number converted to the register set that holds it.
DWORD RegisterWord(D3DXPARAMETER_TYPE type, DWORD bits, D3DXREGISTER_SET set) {
    float lr_Float;
    std::memcpy(&lr_Float, &bits, sizeof(lr_Float));
    const bool lr_IsFloat = type == D3DXPT_FLOAT;
    switch (set) {
    case D3DXRS_FLOAT4:
        if (lr_IsFloat) return bits;
        return FloatWord(type == D3DXPT_BOOL ? (bits ? 1.0f : 0.0f) : static_cast<float>(static_cast<INT>(bits)));
    case D3DXRS_INT4:
        if (!lr_IsFloat) return type == D3DXPT_BOOL ? (bits ? 1u : 0u) : bits;
        if (!(lr_Float > -2147483648.0f && lr_Float < 2147483648.0f)) return 0;
        return static_cast<DWORD>(static_cast<INT>(lr_Float));
    default: return lr_IsFloat ? (lr_Float != 0.0f ? TRUE : FALSE) : (bits ? TRUE : FALSE);
    }
}

// The registers of a binding from its parameter's values: each array
// element starts a register; a matrix takes a register per row, or per
// column when the shader packs it by columns; bools take one register each.
void BuildRegisters(const ValueNode& node, ConstantBinding& binding) {
    std::fill(binding.Values.begin(), binding.Values.end(), 0u);
    const std::vector<DWORD>& lr_Numbers = node.Numbers;
    if (binding.Set == D3DXRS_BOOL) {
        for (size_t r = 0; r < binding.Values.size() && r < lr_Numbers.size(); ++r)
            binding.Values[r] = RegisterWord(node.Type, lr_Numbers[r], binding.Set);
        return;
    }
    const UINT lr_Rows = node.Rows ? node.Rows : 1, lr_Columns = node.Columns ? node.Columns : 1;
    const UINT lr_PerElement = binding.Columns ? lr_Columns : lr_Rows;
    const UINT lr_Elements = node.Elements ? node.Elements : 1;
    for (UINT r = 0; r < binding.Count; ++r) {
        const UINT lr_Element = r / lr_PerElement, k = r % lr_PerElement;
        if (lr_Element >= lr_Elements) break;
        const size_t lr_Base = static_cast<size_t>(lr_Element) * lr_Rows * lr_Columns;
        for (UINT j = 0; j < 4; ++j) {
            size_t lr_At;
            if (binding.Columns) {
                if (j >= lr_Rows) break;
                lr_At = lr_Base + static_cast<size_t>(j) * lr_Columns + k;
            } else {
                if (j >= lr_Columns) break;
                lr_At = lr_Base + static_cast<size_t>(k) * lr_Columns + j;
            }
            if (lr_At < lr_Numbers.size())
                binding.Values[static_cast<size_t>(r) * 4 + j] =
                    RegisterWord(node.Type, lr_Numbers[lr_At], binding.Set);
        }
    }
}

}  // namespace

// BeginPass sends every constant of the shader; CommitChanges only those
// whose registers differ from what the device last received from us.
void Effect::ApplyConstants(CompiledShader& shader, bool changedOnly) {
    for (ConstantBinding& lr_Binding : shader.Constants) {
        BuildRegisters(mr_Definition.Nodes[lr_Binding.Node], lr_Binding);
        if (mr_Recording) {
            DeviceSetConstants(shader.Pixel, lr_Binding);
            continue;
        }
        if (changedOnly && lr_Binding.Primed && lr_Binding.Values == lr_Binding.Sent) continue;
        DeviceSetConstants(shader.Pixel, lr_Binding);
        lr_Binding.Sent = lr_Binding.Values;
        lr_Binding.Primed = true;
    }
}

void Effect::ApplySampler(DWORD stage, const ValueNode& sampler, bool texturesOnly) {
    for (const StateAssignment& lr_State : sampler.SamplerStates) {
        if (lr_State.Kind == StateAssignment::Target::Texture) {
            IDirect3DBaseTexture9* lr_Texture = nullptr;
            if (lr_State.Parameter >= 0) {
                const ValueNode& lr_Node = mr_Definition.Nodes[static_cast<size_t>(lr_State.Parameter)];
                if (!lr_Node.Textures.empty()) lr_Texture = lr_Node.Textures[0];
            }
            DeviceSetTexture(stage, lr_Texture);
        } else if (!texturesOnly || lr_State.Parameter >= 0) {
            DeviceSetSamplerState(stage, lr_State.State, StateValue(lr_State));
        }
    }
}

void Effect::ApplyPass(const PassDefinition& pass, bool commitOnly) {
    for (const StateAssignment& lr_State : pass.States) {
        switch (lr_State.Kind) {
        case StateAssignment::Target::RenderState:
            if (!commitOnly || lr_State.Parameter >= 0) DeviceSetRenderState(lr_State.State, StateValue(lr_State));
            break;
        case StateAssignment::Target::SamplerState:
            if (!commitOnly || lr_State.Parameter >= 0)
                DeviceSetSamplerState(lr_State.Index, lr_State.State, StateValue(lr_State));
            break;
        case StateAssignment::Target::Texture: {
            IDirect3DBaseTexture9* lr_Texture = nullptr;
            if (lr_State.Parameter >= 0) {
                const ValueNode& lr_Node = mr_Definition.Nodes[static_cast<size_t>(lr_State.Parameter)];
                if (!lr_Node.Textures.empty()) lr_Texture = lr_Node.Textures[0];
            }
            DeviceSetTexture(lr_State.Index, lr_Texture);
            break;
        }
        case StateAssignment::Target::Sampler:
            if (lr_State.Parameter >= 0)
                ApplySampler(lr_State.Index, mr_Definition.Nodes[static_cast<size_t>(lr_State.Parameter)], commitOnly);
            break;
        case StateAssignment::Target::PixelShader:
        case StateAssignment::Target::VertexShader: {
            const bool lr_Pixel = lr_State.Kind == StateAssignment::Target::PixelShader;
            const int lr_Shader = ShaderOf(lr_State);
            CompiledShader* lr_Def = lr_Shader >= 0 ? &mr_Definition.Shaders[static_cast<size_t>(lr_Shader)] : nullptr;
            if (!commitOnly) {
                if (lr_Pixel)
                    DeviceSetPixelShader(lr_Def ? lr_Def->PixelObject : nullptr);
                else
                    DeviceSetVertexShader(lr_Def ? lr_Def->VertexObject : nullptr);
            }
            if (lr_Def) {
                ApplyConstants(*lr_Def, commitOnly);
                for (const SamplerBinding& lr_Binding : lr_Def->Samplers)
                    ApplySampler(lr_Pixel ? lr_Binding.Register : VertexSamplerStage(lr_Binding.Register),
                                 mr_Definition.Nodes[lr_Binding.Sampler], commitOnly);
            }
            break;
        }
        }
    }
}

// State save and restore ---------------------------------------------------

// The block holds every state the technique's passes set: recording applies
// the passes to the block, not to the device.
HRESULT Effect::RecordStateBlock(UINT technique, UINT variant, IDirect3DStateBlock9** block) {
    *block = nullptr;
    HRESULT hr = mr_Device_->BeginStateBlock();
    if (FAILED(hr)) return hr;
    mr_Recording = true;
    mr_RecordFlags = (variant & 1 ? D3DXFX_DONOTSAVESHADERSTATE : 0) | (variant & 2 ? D3DXFX_DONOTSAVESAMPLERSTATE : 0);
    for (UINT lr_Pass : mr_Definition.Techniques[technique].Passes) ApplyPass(mr_Definition.Passes[lr_Pass], false);
    mr_Recording = false;
    hr = mr_Device_->EndStateBlock(block);
    if (FAILED(hr)) *block = nullptr;
    return hr;
}

HRESULT Effect::SaveState(UINT technique, DWORD flags) {
    if (flags & D3DXFX_DONOTSAVESTATE) return D3D_OK;
    const UINT lr_Variant =
        (flags & D3DXFX_DONOTSAVESHADERSTATE ? 1u : 0u) | (flags & D3DXFX_DONOTSAVESAMPLERSTATE ? 2u : 0u);
    IDirect3DStateBlock9*& lr_Block_ = mr_StateBlocks[technique].Blocks_[lr_Variant];
    if (!lr_Block_) {
        const HRESULT hr = RecordStateBlock(technique, lr_Variant, &lr_Block_);
        if (FAILED(hr)) return hr;
    }
    const HRESULT hr = lr_Block_->Capture();
    if (FAILED(hr)) return hr;
    mr_SavedState_ = lr_Block_;
    return D3D_OK;
}

void Effect::RestoreState() {
    if (mr_SavedState_) mr_SavedState_->Apply();
    mr_SavedState_ = nullptr;
}

void Effect::ReleaseStateBlocks() {
    mr_SavedState_ = nullptr;
    for (TechniqueBlocks& lr_Technique : mr_StateBlocks)
        for (IDirect3DStateBlock9*& lr_Block_ : lr_Technique.Blocks_) {
            if (lr_Block_) lr_Block_->Release();
            lr_Block_ = nullptr;
        }
}

// The protocol -------------------------------------------------------------

STDMETHODIMP Effect::Begin(UINT* pPasses, DWORD Flags) {
    // A second Begin without End would lose the first saved state.
    if (mr_Begun || mr_CurrentTechnique < 0) return D3DERR_INVALIDCALL;
    const TechniqueDefinition& lr_Technique = mr_Definition.Techniques[static_cast<size_t>(mr_CurrentTechnique)];
    const HRESULT hr = SaveState(static_cast<UINT>(mr_CurrentTechnique), Flags);
    if (FAILED(hr)) return hr;
    mr_Begun = true;
    mr_ActiveTechnique = mr_CurrentTechnique;
    mr_ActivePass = -1;
    if (pPasses) *pPasses = static_cast<UINT>(lr_Technique.Passes.size());
    return D3D_OK;
}

STDMETHODIMP Effect::BeginPass(UINT Pass) {
    if (!mr_Begun || mr_ActivePass >= 0) return D3DERR_INVALIDCALL;
    const TechniqueDefinition& lr_Technique = mr_Definition.Techniques[static_cast<size_t>(mr_ActiveTechnique)];
    if (Pass >= lr_Technique.Passes.size()) return D3DERR_INVALIDCALL;
    const PassDefinition& lr_Pass = mr_Definition.Passes[lr_Technique.Passes[Pass]];
    // A pass whose shader the device refused is not applied at all: drawing
    // with the previous shader bound would silently give a wrong picture.
    for (const StateAssignment& lr_State : lr_Pass.States)
        if (!ShaderAvailable(lr_State)) return E_FAIL;
    ApplyPass(lr_Pass, false);
    mr_ActivePass = static_cast<int>(Pass);
    return D3D_OK;
}

STDMETHODIMP Effect::CommitChanges() {
    if (!mr_Begun || mr_ActivePass < 0) return D3D_OK;
    const TechniqueDefinition& lr_Technique = mr_Definition.Techniques[static_cast<size_t>(mr_ActiveTechnique)];
    ApplyPass(mr_Definition.Passes[lr_Technique.Passes[static_cast<size_t>(mr_ActivePass)]], true);
    return D3D_OK;
}

STDMETHODIMP Effect::EndPass() {
    if (!mr_Begun || mr_ActivePass < 0) return D3DERR_INVALIDCALL;
    mr_ActivePass = -1;
    return D3D_OK;
}

STDMETHODIMP Effect::End() {
    if (!mr_Begun) return D3D_OK;
    RestoreState();
    mr_Begun = false;
    mr_ActivePass = -1;
    mr_ActiveTechnique = -1;
    return D3D_OK;
}

}  // namespace softfx
