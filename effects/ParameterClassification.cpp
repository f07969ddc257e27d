#include "ParameterClassification.h"

namespace {

bool ClassifyElement(const D3DXPARAMETER_DESC& description, bool bySemantic, ShaderParameterType& type) {
    switch (description.Type) {
    case D3DXPT_BOOL: type = ShaderParameterType::Bool; return true;
    case D3DXPT_INT: type = ShaderParameterType::Int; return true;
    case D3DXPT_FLOAT:
        if (description.Class == D3DXPC_VECTOR) {
            // Plain vectors report no struct members, so every float vector
            // is a Float4 whatever its width.
            switch (description.StructMembers) {
            case 1: type = ShaderParameterType::Float; break;
            case 2: type = ShaderParameterType::Float2; break;
            case 3: type = ShaderParameterType::Float3; break;
            default: type = ShaderParameterType::Float4; break;
            }
            return true;
        }
        if (description.Class == D3DXPC_MATRIX_ROWS) {
            type = ShaderParameterType::Matrix;
            return true;
        }
        return false;
    case D3DXPT_TEXTURE:
        // A generic texture is only bound through its semantic.
        if (bySemantic) {
            type = ShaderParameterType::Texture2D;
            return true;
        }
        return false;
    case D3DXPT_TEXTURE1D: type = ShaderParameterType::Texture1D; return true;
    case D3DXPT_TEXTURE2D: type = ShaderParameterType::Texture2D; return true;
    case D3DXPT_TEXTURE3D: type = ShaderParameterType::Texture3D; return true;
    case D3DXPT_TEXTURECUBE: type = ShaderParameterType::TextureCube; return true;
    default: return false;
    }
}

}  // namespace

bool ClassifyParameter(const D3DXPARAMETER_DESC& description, bool bySemantic, ShaderParameterType& type) {
    ShaderParameterType lr_Type = ShaderParameterType::Any;
    if (!ClassifyElement(description, bySemantic, lr_Type)) {
        return false;
    }
    if (description.Elements > 0) {
        switch (lr_Type) {
        case ShaderParameterType::Float: lr_Type = ShaderParameterType::FloatArray; break;
        case ShaderParameterType::Float2: lr_Type = ShaderParameterType::Float2Array; break;
        case ShaderParameterType::Float3: lr_Type = ShaderParameterType::Float3Array; break;
        case ShaderParameterType::Float4: lr_Type = ShaderParameterType::Float4Array; break;
        case ShaderParameterType::Int: lr_Type = ShaderParameterType::IntArray; break;
        default: return false;
        }
    }
    type = lr_Type;
    return true;
}
