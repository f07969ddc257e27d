#include "ShaderParameter.h"

ShaderParameter::ShaderParameter(const std::string& name, ID3DXEffect* effect, D3DXHANDLE handle,
                                 ShaderParameterType type, unsigned elementCount)
    : mr_Name(name),
      mr_Effect_(effect),
      mr_Handle(handle),
      mr_Type(type),
      mr_ElementCount(elementCount),
      mr_Valid(true) {
    SetDefault();
}

ShaderParameter::~ShaderParameter() {}

// Writes the type's zero value, so creating a parameter resets the effect's value.
void ShaderParameter::SetDefault() {
    switch (mr_Type) {
    case ShaderParameterType::Float: SetFloat(0.0f); break;
    case ShaderParameterType::Float2: SetFloat2(D3DXVECTOR2(0.0f, 0.0f)); break;
    case ShaderParameterType::Float3: SetFloat3(D3DXVECTOR3(0.0f, 0.0f, 0.0f)); break;
    case ShaderParameterType::Float4: SetFloat4(D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f)); break;
    case ShaderParameterType::Float4Array: {
        std::vector<D3DXVECTOR4> lr_Zeros(mr_ElementCount, D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f));
        SetFloat4Array(lr_Zeros);
        break;
    }
    case ShaderParameterType::Float3Array: {
        std::vector<D3DXVECTOR3> lr_Zeros(mr_ElementCount, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        SetFloat3Array(lr_Zeros);
        break;
    }
    case ShaderParameterType::Float2Array: {
        std::vector<D3DXVECTOR2> lr_Zeros(mr_ElementCount, D3DXVECTOR2(0.0f, 0.0f));
        SetFloat2Array(lr_Zeros);
        break;
    }
    case ShaderParameterType::FloatArray: {
        std::vector<float> lr_Zeros(mr_ElementCount, 0.0f);
        SetFloatArray(lr_Zeros);
        break;
    }
    case ShaderParameterType::IntArray: {
        std::vector<int> lr_Zeros(mr_ElementCount, 0);
        SetIntArray(lr_Zeros);
        break;
    }
    case ShaderParameterType::Texture1D: SetTexture1D(nullptr); break;
    case ShaderParameterType::Texture2D: SetTexture2D(nullptr); break;
    case ShaderParameterType::Texture3D: SetTexture3D(nullptr); break;
    case ShaderParameterType::TextureCube: SetTextureCube(nullptr); break;
    case ShaderParameterType::Matrix: {
        D3DXMATRIX TheMatrix(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                             1.0f);
        SetMatrix(TheMatrix);
        break;
    }
    case ShaderParameterType::Int: SetInt(0); break;
    case ShaderParameterType::Bool: SetBool(false); break;
    case ShaderParameterType::String: SetString(std::string()); break;
    default:
        // Any and unassigned codes: no value yet, nothing written.
        mr_Valid = false;
        break;
    }
}

bool ShaderParameter::Accepts(ShaderParameterType type) {
    return mr_Type == type || mr_Type == ShaderParameterType::Any;
}

template <typename T>
void ShaderParameter::Store(ShaderParameterType type, const T& value, unsigned elementCount) {
    if (!Accepts(type)) {
        mr_Valid = false;
        return;
    }
    mr_Valid = true;
    // Assigning in place keeps an array's storage, so a steady set does not allocate.
    if (T* lr_Current = std::get_if<T>(&mr_Value)) {
        *lr_Current = value;
    } else {
        mr_Value.template emplace<T>(value);
    }
    mr_ElementCount = elementCount;
    mr_Type = type;
    Commit();
}

template <typename T>
T ShaderParameter::Cached(const T& fallback) const {
    const T* lr_Value = std::get_if<T>(&mr_Value);
    return lr_Value != nullptr ? *lr_Value : fallback;
}

void ShaderParameter::Commit() {
    // Without an effect (its re-creation failed) there is nothing to write to.
    if (mr_Effect_ == nullptr) {
        return;
    }
    switch (mr_Type) {
    case ShaderParameterType::Float: mr_Effect_->SetFloat(mr_Handle, GetFloat()); break;
    case ShaderParameterType::Int: mr_Effect_->SetInt(mr_Handle, GetInt()); break;
    case ShaderParameterType::Bool: mr_Effect_->SetBool(mr_Handle, GetBool() ? TRUE : FALSE); break;
    case ShaderParameterType::String: {
        const std::string* lr_Text = std::get_if<std::string>(&mr_Value);
        mr_Effect_->SetString(mr_Handle, lr_Text != nullptr ? lr_Text->c_str() : "");
        break;
    }
    case ShaderParameterType::Matrix: {
        const D3DXMATRIX* lr_Matrix = std::get_if<D3DXMATRIX>(&mr_Value);
        if (lr_Matrix != nullptr) {
            mr_Effect_->SetMatrix(mr_Handle, lr_Matrix);
        }
        break;
    }
    case ShaderParameterType::Texture1D:
    case ShaderParameterType::Texture2D:
    case ShaderParameterType::Texture3D:
    case ShaderParameterType::TextureCube:
        mr_Effect_->SetTexture(mr_Handle, Cached<IDirect3DBaseTexture9*>(nullptr));
        break;
    case ShaderParameterType::Float4: {
        D3DXVECTOR4 CurrentValue4 = GetFloat4();
        mr_Effect_->SetVector(mr_Handle, &CurrentValue4);
        break;
    }
    case ShaderParameterType::Float3: {
        D3DXVECTOR3 CurrentValue = GetFloat3();
        D3DXVECTOR4 CurrentValue4(CurrentValue.x, CurrentValue.y, CurrentValue.z, 0.0f);
        mr_Effect_->SetVector(mr_Handle, &CurrentValue4);
        break;
    }
    case ShaderParameterType::Float2: {
        D3DXVECTOR2 CurrentValue = GetFloat2();
        D3DXVECTOR4 CurrentValue4(CurrentValue.x, CurrentValue.y, 0.0f, 0.0f);
        mr_Effect_->SetVector(mr_Handle, &CurrentValue4);
        break;
    }
    // Arrays are written element by element; elements the effect's array
    // lacks (null element handle) are skipped. The cached vectors are read in
    // place so that a steady frame does not allocate.
    case ShaderParameterType::Float4Array:
        if (const auto* lr_Values = std::get_if<std::vector<D3DXVECTOR4>>(&mr_Value)) {
            for (unsigned lr_Index = 0; lr_Index < lr_Values->size(); ++lr_Index) {
                D3DXHANDLE lr_Element = mr_Effect_->GetParameterElement(mr_Handle, lr_Index);
                if (lr_Element != nullptr) {
                    mr_Effect_->SetVector(lr_Element, &(*lr_Values)[lr_Index]);
                }
            }
        }
        break;
    case ShaderParameterType::Float3Array:
        if (const auto* lr_Values = std::get_if<std::vector<D3DXVECTOR3>>(&mr_Value)) {
            for (unsigned lr_Index = 0; lr_Index < lr_Values->size(); ++lr_Index) {
                D3DXHANDLE lr_Element = mr_Effect_->GetParameterElement(mr_Handle, lr_Index);
                if (lr_Element != nullptr) {
                    const D3DXVECTOR3& lr_Value = (*lr_Values)[lr_Index];
                    D3DXVECTOR4 CurrentValue4(lr_Value.x, lr_Value.y, lr_Value.z, 0.0f);
                    mr_Effect_->SetVector(lr_Element, &CurrentValue4);
                }
            }
        }
        break;
    case ShaderParameterType::Float2Array:
        if (const auto* lr_Values = std::get_if<std::vector<D3DXVECTOR2>>(&mr_Value)) {
            for (unsigned lr_Index = 0; lr_Index < lr_Values->size(); ++lr_Index) {
                D3DXHANDLE lr_Element = mr_Effect_->GetParameterElement(mr_Handle, lr_Index);
                if (lr_Element != nullptr) {
                    const D3DXVECTOR2& lr_Value = (*lr_Values)[lr_Index];
                    D3DXVECTOR4 CurrentValue4(lr_Value.x, lr_Value.y, 0.0f, 0.0f);
                    mr_Effect_->SetVector(lr_Element, &CurrentValue4);
                }
            }
        }
        break;
    case ShaderParameterType::FloatArray:
        if (const auto* lr_Values = std::get_if<std::vector<float>>(&mr_Value)) {
            for (unsigned lr_Index = 0; lr_Index < lr_Values->size(); ++lr_Index) {
                D3DXHANDLE lr_Element = mr_Effect_->GetParameterElement(mr_Handle, lr_Index);
                if (lr_Element != nullptr) {
                    mr_Effect_->SetFloat(lr_Element, (*lr_Values)[lr_Index]);
                }
            }
        }
        break;
    case ShaderParameterType::IntArray:
        if (const auto* lr_Values = std::get_if<std::vector<int>>(&mr_Value)) {
            for (unsigned lr_Index = 0; lr_Index < lr_Values->size(); ++lr_Index) {
                D3DXHANDLE lr_Element = mr_Effect_->GetParameterElement(mr_Handle, lr_Index);
                if (lr_Element != nullptr) {
                    mr_Effect_->SetInt(lr_Element, (*lr_Values)[lr_Index]);
                }
            }
        }
        break;
    default: break;
    }
}

ShaderParameterType ShaderParameter::GetType() { return mr_Type; }

void ShaderParameter::SetFloat4(const D3DXVECTOR4& value) { Store(ShaderParameterType::Float4, value, 0); }

D3DXVECTOR4 ShaderParameter::GetFloat4() { return Cached(D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f)); }

void ShaderParameter::SetFloat3(const D3DXVECTOR3& value) { Store(ShaderParameterType::Float3, value, 0); }

D3DXVECTOR3 ShaderParameter::GetFloat3() { return Cached(D3DXVECTOR3(0.0f, 0.0f, 0.0f)); }

void ShaderParameter::SetFloat2(const D3DXVECTOR2& value) { Store(ShaderParameterType::Float2, value, 0); }

D3DXVECTOR2 ShaderParameter::GetFloat2() { return Cached(D3DXVECTOR2(0.0f, 0.0f)); }

void ShaderParameter::SetFloat(float value) { Store(ShaderParameterType::Float, value, 0); }

float ShaderParameter::GetFloat() { return Cached(0.0f); }

void ShaderParameter::SetInt(int value) { Store(ShaderParameterType::Int, value, 0); }

int ShaderParameter::GetInt() { return Cached(0); }

void ShaderParameter::SetBool(bool value) { Store(ShaderParameterType::Bool, value, 0); }

bool ShaderParameter::GetBool() { return Cached(false); }

void ShaderParameter::SetString(const std::string& value) {
    // The effect receives the text up to its first NUL; keep exactly that.
    Store(ShaderParameterType::String, std::string(value.c_str()), 0);
}

std::string ShaderParameter::GetString() { return Cached(std::string()); }

void ShaderParameter::SetMatrix(const D3DXMATRIX& value) { Store(ShaderParameterType::Matrix, value, 0); }

D3DXMATRIX ShaderParameter::GetMatrix() {
    D3DXMATRIX lr_Zero(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    return Cached(lr_Zero);
}

void ShaderParameter::SetTexture1D(IDirect3DBaseTexture9* texture) {
    Store(ShaderParameterType::Texture1D, texture, 0);
}

IDirect3DBaseTexture9* ShaderParameter::GetTexture1D() { return Cached<IDirect3DBaseTexture9*>(nullptr); }

void ShaderParameter::SetTexture2D(IDirect3DBaseTexture9* texture) {
    Store(ShaderParameterType::Texture2D, texture, 0);
}

IDirect3DBaseTexture9* ShaderParameter::GetTexture2D() { return Cached<IDirect3DBaseTexture9*>(nullptr); }

void ShaderParameter::SetTexture3D(IDirect3DBaseTexture9* texture) {
    Store(ShaderParameterType::Texture3D, texture, 0);
}

IDirect3DBaseTexture9* ShaderParameter::GetTexture3D() { return Cached<IDirect3DBaseTexture9*>(nullptr); }

void ShaderParameter::SetTextureCube(IDirect3DBaseTexture9* texture) {
    Store(ShaderParameterType::TextureCube, texture, 0);
}

IDirect3DBaseTexture9* ShaderParameter::GetTextureCube() { return Cached<IDirect3DBaseTexture9*>(nullptr); }

void ShaderParameter::SetFloat4Array(const std::vector<D3DXVECTOR4>& values) {
    Store(ShaderParameterType::Float4Array, values, static_cast<unsigned>(values.size()));
}

std::vector<D3DXVECTOR4> ShaderParameter::GetFloat4Array() { return Cached(std::vector<D3DXVECTOR4>()); }

void ShaderParameter::SetFloat3Array(const std::vector<D3DXVECTOR3>& values) {
    Store(ShaderParameterType::Float3Array, values, static_cast<unsigned>(values.size()));
}

std::vector<D3DXVECTOR3> ShaderParameter::GetFloat3Array() { return Cached(std::vector<D3DXVECTOR3>()); }

void ShaderParameter::SetFloat2Array(const std::vector<D3DXVECTOR2>& values) {
    Store(ShaderParameterType::Float2Array, values, static_cast<unsigned>(values.size()));
}

std::vector<D3DXVECTOR2> ShaderParameter::GetFloat2Array() { return Cached(std::vector<D3DXVECTOR2>()); }

void ShaderParameter::SetFloatArray(const std::vector<float>& values) {
    Store(ShaderParameterType::FloatArray, values, static_cast<unsigned>(values.size()));
}

std::vector<float> ShaderParameter::GetFloatArray() { return Cached(std::vector<float>()); }

void ShaderParameter::SetIntArray(const std::vector<int>& values) {
    Store(ShaderParameterType::IntArray, values, static_cast<unsigned>(values.size()));
}

std::vector<int> ShaderParameter::GetIntArray() { return Cached(std::vector<int>()); }

unsigned ShaderParameter::GetElementCount() { return mr_ElementCount; }

const std::string& ShaderParameter::GetName() { return mr_Name; }

bool ShaderParameter::IsValid() { return mr_Valid; }

void ShaderParameter::SetEffect(ID3DXEffect* effect) {
    mr_Effect_ = effect;
    mr_Handle = mr_Effect_ != nullptr ? mr_Effect_->GetParameterByName(nullptr, mr_Name.c_str()) : nullptr;
    if (mr_Handle == nullptr) {
        mr_Valid = false;
    }
}

D3DXHANDLE ShaderParameter::GetHandle() { return mr_Handle; }
