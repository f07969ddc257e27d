#include "Shader.h"

#include "ParameterClassification.h"
#include "ShaderParameter.h"
#include "ShaderSystem.h"

#include <cstring>
#include <memory>

namespace {

// Longest compiler text kept: a message that quotes a huge token would
// otherwise be written whole to the log at every switch-on.
const size_t k_MaxErrorText = 4096;

// The compiler's text, up to its NUL but never past the buffer's end, and
// cut (saying so) beyond k_MaxErrorText bytes.
std::string ReadErrorText(ID3DXBuffer* buffer) {
    const char* lr_Text = static_cast<const char*>(buffer->GetBufferPointer());
    DWORD lr_Size = buffer->GetBufferSize();
    if (lr_Text == nullptr || lr_Size == 0) {
        return std::string();
    }
    const void* lr_End = std::memchr(lr_Text, '\0', lr_Size);
    size_t lr_Length = lr_End != nullptr ? static_cast<size_t>(static_cast<const char*>(lr_End) - lr_Text) : lr_Size;
    if (lr_Length <= k_MaxErrorText) {
        return std::string(lr_Text, lr_Length);
    }
    return std::string(lr_Text, k_MaxErrorText) + "\n[compiler message cut: " + std::to_string(lr_Length) +
           " bytes in all]\n";
}

}  // namespace

Shader::Shader(IDirect3DDevice9* device, const std::string& name, const std::string& code, const std::string& fileName)
    : mr_Device_(device),
      mr_Name(name),
      mr_Code(code),
      mr_FileName(fileName),
      mr_Valid(false),
      mr_InPass(false),
      mr_Technique(nullptr),
      mr_Owner_(nullptr) {
    // A throw leaves no effect behind: the member releases it even though
    // no destructor runs for a shader whose construction failed.
    CreateEffect();
}

Shader::~Shader() {
    if (mr_Owner_ != nullptr) {
        mr_Owner_->ForgetShader(this);
        mr_Owner_ = nullptr;
    }
    mr_Effect.reset();
    mr_AnnotationHandlers.clear();
    mr_CallbackHandlers.clear();
    mr_SemanticHandlers.clear();
    while (!mr_Parameters.empty()) {
        IShaderParameter* lr_Parameter = mr_Parameters.front();
        mr_Parameters.erase(mr_Parameters.begin());
        delete lr_Parameter;
    }
}

void Shader::CreateEffect() {
    mr_Effect.reset();
    mr_Valid = false;
    // A pass begun on the old effect cannot be ended on the new one.
    mr_InPass = false;

    const char* ls_Failure = nullptr;
    // A warning buffer of a successful compile goes too.
    ComPtr<ID3DXBuffer> lr_ErrorBuffer;
    HRESULT lr_Result = D3D_OK;
    if (!mr_Code.empty()) {
        mr_Technique = nullptr;
        mr_Valid = true;
        lr_Result = D3DXCreateEffect(mr_Device_, mr_Code.data(), static_cast<UINT>(mr_Code.size()), nullptr, nullptr, 0,
                                     nullptr, &mr_Effect, &lr_ErrorBuffer);
        ls_Failure = "Unable to create shader.";
    } else if (mr_FileName.empty()) {
        mr_ErrorMessage = "Unable to create shader, no code and no file name specified!";
        return;
    } else {
        mr_Technique = nullptr;
        mr_Valid = true;
        lr_Result = D3DXCreateEffectFromFileA(mr_Device_, mr_FileName.c_str(), nullptr, nullptr, 0, nullptr, &mr_Effect,
                                              &lr_ErrorBuffer);
        ls_Failure = "Unable to load shader.";
    }

    if (FAILED(lr_Result)) {
        mr_Valid = false;
        // A failed creation leaves no effect behind, whatever the call returned.
        mr_Effect.reset();
        mr_ErrorMessage = ls_Failure;
        if (lr_ErrorBuffer) {
            mr_ErrorMessage += "\nCompiling failed!\n";
            mr_ErrorMessage += ReadErrorText(lr_ErrorBuffer.get());
        }
    } else if (!mr_Effect) {
        mr_Valid = false;
        mr_ErrorMessage = ls_Failure;
    } else {
        SelectTechnique();
    }
}

void Shader::SelectTechnique() {
    D3DXEFFECT_DESC Description;
    std::memset(&Description, 0, sizeof(Description));
    if (FAILED(mr_Effect->GetDesc(&Description))) {
        Description.Techniques = 0;
    }
    mr_Technique = nullptr;
    for (UINT lr_Index = 0; lr_Index < Description.Techniques; ++lr_Index) {
        D3DXHANDLE lr_Technique = mr_Effect->GetTechnique(lr_Index);
        if (lr_Technique != nullptr && SUCCEEDED(mr_Effect->ValidateTechnique(lr_Technique))) {
            mr_Technique = lr_Technique;
            break;
        }
    }
    if (mr_Technique == nullptr) {
        mr_Valid = false;
        mr_ErrorMessage = "No valid technique found.";
        return;
    }
    // Begin runs the effect's current technique: make it the one selected,
    // or a first technique that failed validation would run instead.
    mr_Effect->SetTechnique(mr_Technique);
    mr_Valid = true;
}

unsigned Shader::GetPassCount() {
    if (!mr_Effect || mr_Technique == nullptr) {
        return 0;
    }
    D3DXTECHNIQUE_DESC Description;
    if (FAILED(mr_Effect->GetTechniqueDesc(mr_Technique, &Description))) {
        return 0;
    }
    return Description.Passes;
}

unsigned Shader::Begin() {
    // Without an effect there is nothing to begin, and the handler entries
    // are kept for the effect a later Reload may create.
    if (!mr_Effect) {
        return 0;
    }
    UINT PassCount = 0;
    if (FAILED(mr_Effect->Begin(&PassCount, 0))) {
        mr_Valid = false;
        mr_ErrorMessage = "Unable to begin effect.";
        PassCount = 0;
    }
    RunSemanticStep();
    RunAnnotationStep();
    return PassCount;
}

PassResult Shader::BeginPass(unsigned pass) {
    if (!mr_Effect) {
        return PassResult::Skip;
    }
    PassResult lr_Result = RunPassCallbackStep(pass);
    if (lr_Result == PassResult::Skip) {
        return PassResult::Skip;
    }
    if (!mr_InPass) {
        if (FAILED(mr_Effect->BeginPass(pass))) {
            mr_Valid = false;
            mr_ErrorMessage = "Unable to begin pass.";
            lr_Result = PassResult::Skip;
        }
    }
    mr_InPass = true;
    return lr_Result;
}

void Shader::EndPass() {
    if (mr_InPass) {
        mr_InPass = false;
        if (mr_Effect) {
            mr_Effect->EndPass();
        }
    }
}

void Shader::End() {
    if (mr_Effect) {
        mr_Effect->End();
    }
}

const std::string& Shader::GetName() { return mr_Name; }

IShaderParameter* Shader::GetParameter(const std::string& name, ShaderParameterType type) {
    for (IShaderParameter* lr_Parameter : mr_Parameters) {
        if (lr_Parameter->GetName() == name) {
            return (lr_Parameter->GetType() == type || type == ShaderParameterType::Any) ? lr_Parameter : nullptr;
        }
    }
    if (!mr_Effect) {
        return nullptr;
    }
    return CreateParameter(name, mr_Effect->GetParameterByName(nullptr, name.c_str()), type, false);
}

IShaderParameter* Shader::GetParameterBySemantic(const std::string& semantic, ShaderParameterType type) {
    if (!mr_Effect) {
        return nullptr;
    }
    return CreateParameter(semantic, mr_Effect->GetParameterBySemantic(nullptr, semantic.c_str()), type, true);
}

IShaderParameter* Shader::CreateParameter(const std::string& name, D3DXHANDLE handle, ShaderParameterType type,
                                          bool bySemantic) {
    if (handle == nullptr) {
        return nullptr;
    }
    D3DXPARAMETER_DESC ParameterDescription;
    if (FAILED(mr_Effect->GetParameterDesc(handle, &ParameterDescription))) {
        return nullptr;
    }
    ShaderParameterType lr_Type = ShaderParameterType::Any;
    if (!ClassifyParameter(ParameterDescription, bySemantic, lr_Type)) {
        return nullptr;
    }
    if (lr_Type != type && type != ShaderParameterType::Any) {
        return nullptr;
    }
    // Held until the list has taken it: a failed append must not lose it.
    std::unique_ptr<IShaderParameter> lr_Parameter(
        new ShaderParameter(name, mr_Effect.get(), handle, lr_Type, ParameterDescription.Elements));
    mr_Parameters.push_back(lr_Parameter.get());
    return lr_Parameter.release();
}

std::vector<IShaderParameter*>& Shader::GetParameters() { return mr_Parameters; }

bool Shader::IsValid() { return mr_Valid; }

const std::string& Shader::GetErrorMessage() { return mr_ErrorMessage; }

void Shader::Reload() {
    CreateEffect();
    ResetHandlerEntries();
    for (IShaderParameter* lr_Parameter : mr_Parameters) {
        lr_Parameter->SetEffect(mr_Effect.get());
    }
}

ID3DXEffect* Shader::GetEffect() { return mr_Effect.get(); }

void Shader::SetOwner(ShaderSystem* owner) { mr_Owner_ = owner; }
