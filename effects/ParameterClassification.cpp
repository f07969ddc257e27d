#include "effects/ParameterClassification.h"

namespace {

bool ClassifyElement(const D3DXPARAMETER_DESC& description, bool bySemantic, ShaderParameterType& type) {
    switch (description.Type) {
    case D3DXPT_BOOL:
        type = Bool;
        return true;
    case D3DXPT_INT:
        type = Int;
        return true;
    case D3DXPT_FLOAT:
        if (description.Class == D3DXPC_VECTOR) {
            // Plain vectors report no struct members, so every float vector
            // is a Float4 whatever its width.
            switch (description.StructMembers) {
            case 1:
                type = Float;
                break;
            case 2:
                type = Float2;
                break;
            case 3:
                type = Float3;
                break;
            default:
                type = Float4;
                break;
            }
            return true;
        }
        if (description.Class == D3DXPC_MATRIX_ROWS) {
            type = Matrix;
            return true;
        }
        return false;
    case D3DXPT_TEXTURE:
        // A generic texture is only bound through its semantic.
        if (bySemantic) {
            type = Texture2D;
            return true;
        }
        return false;
    case D3DXPT_TEXTURE1D:
        type = Texture1D;
        return true;
    case D3DXPT_TEXTURE2D:
        type = Texture2D;
        return true;
    case D3DXPT_TEXTURE3D:
        type = Texture3D;
        return true;
    case D3DXPT_TEXTURECUBE:
        type = TextureCube;
        return true;
    default:
        return false;
    }
}

}  // namespace

bool ClassifyParameter(const D3DXPARAMETER_DESC& description, bool bySemantic, ShaderParameterType& type) {
    ShaderParameterType lr_Type = Any;
    if (!ClassifyElement(description, bySemantic, lr_Type)) {
        return false;
    }
    if (description.Elements > 0) {
        switch (lr_Type) {
        case Float:
            lr_Type = FloatArray;
            break;
        case Float2:
            lr_Type = Float2Array;
            break;
        case Float3:
            lr_Type = Float3Array;
            break;
        case Float4:
            lr_Type = Float4Array;
            break;
        case Int:
            lr_Type = IntArray;
            break;
        default:
            return false;
        }
    }
    type = lr_Type;
    return true;
}
