// Typing of D3DX parameter descriptions, including descriptions the effect
// runtime never produces for plain HLSL (struct members, column-major rows).
#include "ParameterClassification.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

D3DXPARAMETER_DESC Describe(D3DXPARAMETER_CLASS parameterClass, D3DXPARAMETER_TYPE type, UINT elements = 0,
                            UINT structMembers = 0) {
    D3DXPARAMETER_DESC lr_Description;
    std::memset(&lr_Description, 0, sizeof(lr_Description));
    lr_Description.Class = parameterClass;
    lr_Description.Type = type;
    lr_Description.Elements = elements;
    lr_Description.StructMembers = structMembers;
    return lr_Description;
}

// The derived type's code, or -1 when unsupported.
int Code(ShaderParameterType type) { return static_cast<int>(type); }

int Classify(const D3DXPARAMETER_DESC& description, bool bySemantic = false) {
    ShaderParameterType lr_Type = ShaderParameterType::Any;
    return ClassifyParameter(description, bySemantic, lr_Type) ? static_cast<int>(lr_Type) : -1;
}

}  // namespace

TEST(ParameterClassification, FloatVectorsAreTypedByStructMembersNotColumns) {
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 0, 0)), Code(ShaderParameterType::Float4));
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 0, 1)), Code(ShaderParameterType::Float));
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 0, 2)), Code(ShaderParameterType::Float2));
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 0, 3)), Code(ShaderParameterType::Float3));
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 0, 7)), Code(ShaderParameterType::Float4));
}

TEST(ParameterClassification, ArraysFollowTheirElementType) {
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 4, 0)), Code(ShaderParameterType::Float4Array));
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 4, 1)), Code(ShaderParameterType::FloatArray));
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 4, 2)), Code(ShaderParameterType::Float2Array));
    EXPECT_EQ(Classify(Describe(D3DXPC_VECTOR, D3DXPT_FLOAT, 4, 3)), Code(ShaderParameterType::Float3Array));
    // Arrays of anything but float vectors and ints are not supported.
    EXPECT_EQ(Classify(Describe(D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 2)), -1);
    EXPECT_EQ(Classify(Describe(D3DXPC_OBJECT, D3DXPT_TEXTURE2D, 2), true), -1);
    EXPECT_EQ(Classify(Describe(D3DXPC_OBJECT, D3DXPT_TEXTURE, 2), true), -1);
}

TEST(ParameterClassification, OnlyRowMajorMatricesAreSupported) {
    EXPECT_EQ(Classify(Describe(D3DXPC_MATRIX_COLUMNS, D3DXPT_FLOAT)), -1);
    EXPECT_EQ(Classify(Describe(D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT)), Code(ShaderParameterType::Matrix));
}
