// Techniques and passes: selection, validation against the device's shader
// models, and the Begin / BeginPass / EndPass / End protocol with its state
// save and restore.
#include "Effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

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
    if (mr_StateManager_) mr_StateManager_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
    else mr_Device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
}
void Effect::DeviceSetSamplerState(DWORD sampler, DWORD type, DWORD value) {
    if (mr_StateManager_) mr_StateManager_->SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(type), value);
    else mr_Device_->SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(type), value);
}
void Effect::DeviceSetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (mr_StateManager_) mr_StateManager_->SetTexture(stage, texture);
    else mr_Device_->SetTexture(stage, texture);
}
void Effect::DeviceSetPixelShader(IDirect3DPixelShader9* shader) {
    if (mr_StateManager_) mr_StateManager_->SetPixelShader(shader);
    else mr_Device_->SetPixelShader(shader);
}
void Effect::DeviceSetVertexShader(IDirect3DVertexShader9* shader) {
    if (mr_StateManager_) mr_StateManager_->SetVertexShader(shader);
    else mr_Device_->SetVertexShader(shader);
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
    const UINT lr_Target = static_cast<UINT>(lr_Node_->Parent >= 0 ? lr_Node_->Parent
                                                                     : lr_Node_ - mr_Definition.Nodes.data());
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
                if (lr_UsedNode.Type >= D3DXPT_SAMPLER && lr_UsedNode.Type <= D3DXPT_SAMPLERCUBE &&
                    lr_SamplerUses(lr_UsedNode))
                    return TRUE;
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
                    ApplySampler(lr_State.Index, mr_Definition.Nodes[static_cast<size_t>(lr_State.Parameter)],
                                 commitOnly);
                break;
            case StateAssignment::Target::PixelShader:
            case StateAssignment::Target::VertexShader: {
                const bool lr_Pixel = lr_State.Kind == StateAssignment::Target::PixelShader;
                const int lr_Shader = ShaderOf(lr_State);
                const CompiledShader* lr_Def =
                    lr_Shader >= 0 ? &mr_Definition.Shaders[static_cast<size_t>(lr_Shader)] : nullptr;
                if (!commitOnly) {
                    if (lr_Pixel) DeviceSetPixelShader(lr_Def ? lr_Def->PixelObject : nullptr);
                    else DeviceSetVertexShader(lr_Def ? lr_Def->VertexObject : nullptr);
                }
                if (lr_Def) {
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

namespace {

template <typename Value>
void SortUnique(std::vector<Value>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

}  // namespace

// Which states a technique touches depends only on the compiled passes,
// samplers and shaders, none of which a caller can change afterwards.
void Effect::CollectTouchedStates() {
    mr_TouchedStates.assign(mr_Definition.Techniques.size(), TouchedStates());
    size_t lr_MostRenderStates = 0, lr_MostSamplerStates = 0, lr_MostStages = 0;
    for (size_t t = 0; t < mr_Definition.Techniques.size(); ++t) {
        TouchedStates& lr_Touched = mr_TouchedStates[t];
        auto lr_Sampler = [&](DWORD stage, const ValueNode& sampler) {
            for (const StateAssignment& s : sampler.SamplerStates) {
                if (s.Kind == StateAssignment::Target::Texture) lr_Touched.Stages.push_back(stage);
                else lr_Touched.SamplerStates.push_back({stage, s.State});
            }
        };
        for (UINT lr_Pass : mr_Definition.Techniques[t].Passes) {
            for (const StateAssignment& lr_State : mr_Definition.Passes[lr_Pass].States) {
                switch (lr_State.Kind) {
                    case StateAssignment::Target::RenderState: lr_Touched.RenderStates.push_back(lr_State.State); break;
                    case StateAssignment::Target::SamplerState:
                        lr_Touched.SamplerStates.push_back({lr_State.Index, lr_State.State});
                        break;
                    case StateAssignment::Target::Texture: lr_Touched.Stages.push_back(lr_State.Index); break;
                    case StateAssignment::Target::Sampler:
                        if (lr_State.Parameter >= 0)
                            lr_Sampler(lr_State.Index, mr_Definition.Nodes[static_cast<size_t>(lr_State.Parameter)]);
                        break;
                    case StateAssignment::Target::PixelShader:
                    case StateAssignment::Target::VertexShader: {
                        const bool lr_Pixel = lr_State.Kind == StateAssignment::Target::PixelShader;
                        (lr_Pixel ? lr_Touched.PixelShader : lr_Touched.VertexShader) = true;
                        const int lr_Shader = ShaderOf(lr_State);
                        if (lr_Shader < 0) break;
                        for (const SamplerBinding& b : mr_Definition.Shaders[static_cast<size_t>(lr_Shader)].Samplers)
                            lr_Sampler(lr_Pixel ? b.Register : VertexSamplerStage(b.Register),
                                       mr_Definition.Nodes[b.Sampler]);
                        break;
                    }
                }
            }
            // Passes may repeat the same states many times over; keep the lists short as they grow.
            SortUnique(lr_Touched.RenderStates);
            SortUnique(lr_Touched.SamplerStates);
            SortUnique(lr_Touched.Stages);
        }
        lr_Touched.RenderStates.shrink_to_fit();
        lr_Touched.SamplerStates.shrink_to_fit();
        lr_Touched.Stages.shrink_to_fit();
        lr_MostRenderStates = std::max(lr_MostRenderStates, lr_Touched.RenderStates.size());
        lr_MostSamplerStates = std::max(lr_MostSamplerStates, lr_Touched.SamplerStates.size());
        lr_MostStages = std::max(lr_MostStages, lr_Touched.Stages.size());
    }
    // Room for the largest technique, so that no Begin has to grow the saved lists.
    mr_SavedRenderStates.reserve(lr_MostRenderStates);
    mr_SavedSamplerStates.reserve(lr_MostSamplerStates);
    mr_SavedTextures.reserve(lr_MostStages);
}

void Effect::SaveState(UINT technique, DWORD flags) {
    if (flags & D3DXFX_DONOTSAVESTATE) return;
    const bool lr_Shaders = !(flags & D3DXFX_DONOTSAVESHADERSTATE);
    const bool lr_Samplers = !(flags & D3DXFX_DONOTSAVESAMPLERSTATE);
    const TouchedStates& lr_Touched = mr_TouchedStates[technique];
    for (DWORD lr_State : lr_Touched.RenderStates) {
        DWORD lr_Value = 0;
        if (SUCCEEDED(mr_Device_->GetRenderState(static_cast<D3DRENDERSTATETYPE>(lr_State), &lr_Value)))
            mr_SavedRenderStates.push_back({lr_State, lr_Value});
    }
    if (lr_Samplers) {
        for (const auto& lr_State : lr_Touched.SamplerStates) {
            DWORD lr_Value = 0;
            if (SUCCEEDED(mr_Device_->GetSamplerState(lr_State.first,
                                                      static_cast<D3DSAMPLERSTATETYPE>(lr_State.second), &lr_Value)))
                mr_SavedSamplerStates.push_back({lr_State.first, lr_State.second, lr_Value});
        }
    }
    for (DWORD lr_Stage : lr_Touched.Stages) {
        IDirect3DBaseTexture9* lr_Texture = nullptr;
        if (SUCCEEDED(mr_Device_->GetTexture(lr_Stage, &lr_Texture))) mr_SavedTextures.push_back({lr_Stage, lr_Texture});
    }
    if (lr_Shaders && lr_Touched.PixelShader) {
        IDirect3DPixelShader9* lr_Shader = nullptr;
        if (SUCCEEDED(mr_Device_->GetPixelShader(&lr_Shader))) {
            mr_PixelShaderSaved = true;
            mr_SavedPixelShader_ = lr_Shader;
        }
    }
    if (lr_Shaders && lr_Touched.VertexShader) {
        IDirect3DVertexShader9* lr_Shader = nullptr;
        if (SUCCEEDED(mr_Device_->GetVertexShader(&lr_Shader))) {
            mr_VertexShaderSaved = true;
            mr_SavedVertexShader_ = lr_Shader;
        }
    }
}

void Effect::RestoreState() {
    for (const SavedRenderState& lr_State : mr_SavedRenderStates) DeviceSetRenderState(lr_State.State, lr_State.Value);
    for (const SavedSamplerState& lr_State : mr_SavedSamplerStates)
        DeviceSetSamplerState(lr_State.Sampler, lr_State.Type, lr_State.Value);
    for (const SavedTexture& lr_Texture : mr_SavedTextures) DeviceSetTexture(lr_Texture.Stage, lr_Texture.Texture);
    if (mr_PixelShaderSaved) DeviceSetPixelShader(mr_SavedPixelShader_);
    if (mr_VertexShaderSaved) DeviceSetVertexShader(mr_SavedVertexShader_);
    DropSavedState();
}

void Effect::DropSavedState() {
    for (SavedTexture& lr_Texture : mr_SavedTextures)
        if (lr_Texture.Texture) lr_Texture.Texture->Release();
    if (mr_SavedPixelShader_) mr_SavedPixelShader_->Release();
    if (mr_SavedVertexShader_) mr_SavedVertexShader_->Release();
    mr_SavedRenderStates.clear();
    mr_SavedSamplerStates.clear();
    mr_SavedTextures.clear();
    mr_PixelShaderSaved = mr_VertexShaderSaved = false;
    mr_SavedPixelShader_ = nullptr;
    mr_SavedVertexShader_ = nullptr;
}

// The protocol -------------------------------------------------------------

STDMETHODIMP Effect::Begin(UINT* pPasses, DWORD Flags) {
    // A second Begin without End would lose the first saved state.
    if (mr_Begun || mr_CurrentTechnique < 0) return D3DERR_INVALIDCALL;
    const TechniqueDefinition& lr_Technique = mr_Definition.Techniques[static_cast<size_t>(mr_CurrentTechnique)];
    SaveState(static_cast<UINT>(mr_CurrentTechnique), Flags);
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
