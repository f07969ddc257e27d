// Parameter, technique, pass and annotation descriptions and look-ups.
#include "EffectTestSupport.h"

#include <cstring>

namespace {

using effecttest::EffectTest;

struct Expected {
    const char* Name;
    D3DXPARAMETER_CLASS Class;
    D3DXPARAMETER_TYPE Type;
    UINT Rows;
    UINT Columns;
    UINT Elements;
    UINT Bytes;
};

const char* const kDeclarations = R"(
// every declaration kind, with modifiers that do not change the description
float f;
uniform float2 v2;
const float3 v3 = {1, 2, 3};
extern float4 v4 : SomeSemantic;
float4x4 m44;
column_major float3x2 m32;
row_major float2x4 m24;
matrix mx;
vector vc;
half h;
half3 h3;
double d;
int i = 7;
int2 i2;
bool b = true;
bool4 b4;
float fa[4];
float4 va[3];
texture t;
texture1D t1;
texture2D t2;
texture3D t3;
textureCUBE tc;
sampler s;
sampler1D s1;
sampler2D s2;
sampler3D s3;
samplerCUBE sc;
string str = "hello";
static float hidden = 3;
static const float alsoHidden = 4;
volatile shared float sh;
matrix<float, 2, 3> generic;
vector<int, 3> genericVector;
)";

TEST_F(EffectTest, EachDeclarationKindIsDescribedAsD3DXReportsIt) {
    ID3DXEffect* e = Make(kDeclarations);
    ASSERT_NE(e, nullptr);
    // Strings and textures are described as a pointer, samplers as nothing.
    constexpr UINT k_Pointer = sizeof(void*);
    const Expected lr_Table[] = {
        {"f", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 0, 4},
        {"v2", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 2, 0, 8},
        {"v3", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 3, 0, 12},
        {"v4", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4, 0, 16},
        {"m44", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 4, 4, 0, 64},
        {"m32", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 3, 2, 0, 24},
        {"m24", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 2, 4, 0, 32},
        {"mx", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 4, 4, 0, 64},
        {"vc", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4, 0, 16},
        {"h", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 0, 4},
        {"h3", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 3, 0, 12},
        {"d", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 0, 4},
        {"i", D3DXPC_SCALAR, D3DXPT_INT, 1, 1, 0, 4},
        {"i2", D3DXPC_VECTOR, D3DXPT_INT, 1, 2, 0, 8},
        {"b", D3DXPC_SCALAR, D3DXPT_BOOL, 1, 1, 0, 4},
        {"b4", D3DXPC_VECTOR, D3DXPT_BOOL, 1, 4, 0, 16},
        {"fa", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 4, 16},
        {"va", D3DXPC_VECTOR, D3DXPT_FLOAT, 1, 4, 3, 48},
        {"t", D3DXPC_OBJECT, D3DXPT_TEXTURE, 0, 0, 0, k_Pointer},
        {"t1", D3DXPC_OBJECT, D3DXPT_TEXTURE1D, 0, 0, 0, k_Pointer},
        {"t2", D3DXPC_OBJECT, D3DXPT_TEXTURE2D, 0, 0, 0, k_Pointer},
        {"t3", D3DXPC_OBJECT, D3DXPT_TEXTURE3D, 0, 0, 0, k_Pointer},
        {"tc", D3DXPC_OBJECT, D3DXPT_TEXTURECUBE, 0, 0, 0, k_Pointer},
        {"s", D3DXPC_OBJECT, D3DXPT_SAMPLER, 0, 0, 0, 0},
        {"s1", D3DXPC_OBJECT, D3DXPT_SAMPLER1D, 0, 0, 0, 0},
        {"s2", D3DXPC_OBJECT, D3DXPT_SAMPLER2D, 0, 0, 0, 0},
        {"s3", D3DXPC_OBJECT, D3DXPT_SAMPLER3D, 0, 0, 0, 0},
        {"sc", D3DXPC_OBJECT, D3DXPT_SAMPLERCUBE, 0, 0, 0, 0},
        {"str", D3DXPC_OBJECT, D3DXPT_STRING, 0, 0, 0, k_Pointer},
        {"sh", D3DXPC_SCALAR, D3DXPT_FLOAT, 1, 1, 0, 4},
        {"generic", D3DXPC_MATRIX_ROWS, D3DXPT_FLOAT, 2, 3, 0, 24},
        {"genericVector", D3DXPC_VECTOR, D3DXPT_INT, 1, 3, 0, 12},
    };
    D3DXEFFECT_DESC lr_Effect;
    ASSERT_EQ(e->GetDesc(&lr_Effect), D3D_OK);
    EXPECT_EQ(lr_Effect.Parameters, sizeof(lr_Table) / sizeof(lr_Table[0]));
    EXPECT_EQ(lr_Effect.Techniques, 0u);
    for (UINT n = 0; n < sizeof(lr_Table) / sizeof(lr_Table[0]); ++n) {
        const Expected& x = lr_Table[n];
        SCOPED_TRACE(x.Name);
        D3DXHANDLE h = e->GetParameter(nullptr, n);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h, e->GetParameterByName(nullptr, x.Name)) << "declaration order";
        D3DXPARAMETER_DESC d;
        ASSERT_EQ(e->GetParameterDesc(h, &d), D3D_OK);
        EXPECT_STREQ(d.Name, x.Name);
        EXPECT_EQ(d.Class, x.Class);
        EXPECT_EQ(d.Type, x.Type);
        EXPECT_EQ(d.Rows, x.Rows);
        EXPECT_EQ(d.Columns, x.Columns);
        EXPECT_EQ(d.Elements, x.Elements);
        EXPECT_EQ(d.StructMembers, 0u);
        EXPECT_EQ(d.Bytes, x.Bytes);
    }
    EXPECT_EQ(e->GetParameterByName(nullptr, "hidden"), nullptr) << "static globals are not parameters";
    EXPECT_EQ(e->GetParameterByName(nullptr, "alsoHidden"), nullptr);
    D3DXPARAMETER_DESC d;
    ASSERT_EQ(e->GetParameterDesc("sh", &d), D3D_OK);
    EXPECT_EQ(d.Flags & D3DX_PARAMETER_SHARED, static_cast<DWORD>(D3DX_PARAMETER_SHARED));
    ASSERT_EQ(e->GetParameterDesc("v4", &d), D3D_OK);
    EXPECT_STREQ(d.Semantic, "SomeSemantic");
    ASSERT_EQ(e->GetParameterDesc("f", &d), D3D_OK);
    EXPECT_EQ(d.Semantic, nullptr);
    e->Release();
}

TEST_F(EffectTest, NameLookupIsCaseSensitiveAndSemanticLookupIsNot) {
    ID3DXEffect* e = Make(R"(
        float4 first : ColorTarget;
        float4 second : COLORTARGET;
        float4 Other : other;
    )");
    ASSERT_NE(e, nullptr);
    EXPECT_NE(e->GetParameterByName(nullptr, "Other"), nullptr);
    EXPECT_EQ(e->GetParameterByName(nullptr, "other"), nullptr);
    EXPECT_EQ(e->GetParameterByName(nullptr, "OTHER"), nullptr);
    // First match in declaration order, whatever the case.
    EXPECT_EQ(e->GetParameterBySemantic(nullptr, "colortarget"), e->GetParameterByName(nullptr, "first"));
    EXPECT_EQ(e->GetParameterBySemantic(nullptr, "COLORTARGET"), e->GetParameterByName(nullptr, "first"));
    EXPECT_EQ(e->GetParameterBySemantic(nullptr, "OTHER"), e->GetParameterByName(nullptr, "Other"));
    EXPECT_EQ(e->GetParameterBySemantic(nullptr, "missing"), nullptr);
    EXPECT_EQ(e->GetParameterBySemantic(nullptr, nullptr), nullptr);
    EXPECT_EQ(e->GetParameterByName(nullptr, nullptr), nullptr);
    e->Release();
}

TEST_F(EffectTest, NameStringsWorkWhereverHandlesAreAccepted) {
    ID3DXEffect* e = Make(R"(
        float scale < string UIName = "Scale"; > = 2.5;
        float arr[3] = {1, 2, 3};
        float4 PS() : COLOR { return scale; }
        technique Main < bool Flag = true; > { pass P0 < int Order = 4; > { PixelShader = compile ps_2_0 PS(); } }
    )");
    ASSERT_NE(e, nullptr);
    float v = 0;
    EXPECT_EQ(e->GetFloat("scale", &v), D3D_OK);
    EXPECT_FLOAT_EQ(v, 2.5f);
    EXPECT_EQ(e->SetFloat("scale", 4.0f), D3D_OK);
    EXPECT_EQ(e->GetFloat(e->GetParameterByName(nullptr, "scale"), &v), D3D_OK);
    EXPECT_FLOAT_EQ(v, 4.0f);
    // Array elements by "name[i]".
    EXPECT_EQ(e->GetFloat("arr[2]", &v), D3D_OK);
    EXPECT_FLOAT_EQ(v, 3.0f);
    EXPECT_EQ(e->GetParameterByName(nullptr, "arr[3]"), nullptr);
    EXPECT_EQ(e->GetParameterByName(nullptr, "arr[x]"), nullptr);
    // Technique by name, annotations of objects named by strings.
    EXPECT_EQ(e->GetTechniqueByName("Main"), e->GetTechnique(0));
    D3DXTECHNIQUE_DESC t;
    ASSERT_EQ(e->GetTechniqueDesc("Main", &t), D3D_OK);
    EXPECT_EQ(t.Passes, 1u);
    BOOL flag = FALSE;
    EXPECT_EQ(e->GetBool(e->GetAnnotationByName("Main", "Flag"), &flag), D3D_OK);
    EXPECT_TRUE(flag);
    LPCSTR s = nullptr;
    EXPECT_EQ(e->GetString(e->GetAnnotationByName("scale", "UIName"), &s), D3D_OK);
    EXPECT_STREQ(s, "Scale");
    // Passes are found by handle only.
    D3DXHANDLE pass = e->GetPass("Main", 0);
    ASSERT_NE(pass, nullptr);
    D3DXPASS_DESC p;
    EXPECT_EQ(e->GetPassDesc(pass, &p), D3D_OK);
    EXPECT_STREQ(p.Name, "P0");
    EXPECT_EQ(e->GetPassDesc("P0", &p), D3DERR_INVALIDCALL);
    INT order = 0;
    EXPECT_EQ(e->GetInt(e->GetAnnotationByName(pass, "Order"), &order), D3D_OK);
    EXPECT_EQ(order, 4);
    // Unknown names and a pass handle where a parameter is expected fail.
    EXPECT_EQ(e->GetFloat("nothing", &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->GetFloat(pass, &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(e->GetFloat(nullptr, &v), D3DERR_INVALIDCALL);
    e->Release();
}

TEST_F(EffectTest, ForeignPointersAreReadAsNamesNotHandles) {
    ID3DXEffect* a = Make("float x = 1; float y = 2;");
    ID3DXEffect* b = Make("float y = 5;");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    // A handle of another effect is just a pointer to some bytes here; it is
    // compared by address and never taken for one of b's objects.
    D3DXHANDLE ax = a->GetParameterByName(nullptr, "x");
    float v = 0;
    EXPECT_EQ(b->GetFloat(ax, &v), D3DERR_INVALIDCALL);
    D3DXPARAMETER_DESC d;
    EXPECT_EQ(b->GetParameterDesc(ax, &d), D3DERR_INVALIDCALL);
    EXPECT_EQ(b->GetFloat("y", &v), D3D_OK);
    EXPECT_FLOAT_EQ(v, 5.0f);
    a->Release();
    b->Release();
}

TEST_F(EffectTest, TechniquesPassesAndAnnotationsAreEnumerated) {
    ID3DXEffect* e = Make(R"(
        float4 PS() : COLOR0 { return 0; }
        technique { pass { } }
        technique Second < string Note = "two"; float Weight = 0.5; >
        {
            pass A { ZEnable = false; }
            pass B < bool Enabled = false; > { PixelShader = compile ps_2_0 PS(); }
        }
    )");
    ASSERT_NE(e, nullptr);
    D3DXEFFECT_DESC ed;
    ASSERT_EQ(e->GetDesc(&ed), D3D_OK);
    EXPECT_EQ(ed.Techniques, 2u);
    D3DXTECHNIQUE_DESC td;
    ASSERT_EQ(e->GetTechniqueDesc(e->GetTechnique(0), &td), D3D_OK);
    EXPECT_EQ(td.Name, nullptr);
    EXPECT_EQ(td.Passes, 1u);
    D3DXHANDLE second = e->GetTechnique(1);
    ASSERT_EQ(e->GetTechniqueDesc(second, &td), D3D_OK);
    EXPECT_STREQ(td.Name, "Second");
    EXPECT_EQ(td.Passes, 2u);
    EXPECT_EQ(td.Annotations, 2u);
    EXPECT_EQ(e->GetTechnique(2), nullptr);
    D3DXHANDLE weight = e->GetAnnotation(second, 1);
    D3DXPARAMETER_DESC ad;
    ASSERT_EQ(e->GetParameterDesc(weight, &ad), D3D_OK);
    EXPECT_STREQ(ad.Name, "Weight");
    EXPECT_EQ(ad.Type, D3DXPT_FLOAT);
    EXPECT_EQ(ad.Flags & D3DX_PARAMETER_ANNOTATION, static_cast<DWORD>(D3DX_PARAMETER_ANNOTATION));
    EXPECT_EQ(e->GetAnnotation(second, 2), nullptr);
    EXPECT_EQ(e->GetPassByName(second, "B"), e->GetPass(second, 1));
    EXPECT_EQ(e->GetPassByName(second, "b"), nullptr);
    EXPECT_EQ(e->GetPass(second, 2), nullptr);
    D3DXPASS_DESC pd;
    ASSERT_EQ(e->GetPassDesc(e->GetPass(second, 1), &pd), D3D_OK);
    EXPECT_EQ(pd.Annotations, 1u);
    ASSERT_NE(pd.pPixelShaderFunction, nullptr);
    EXPECT_EQ(pd.pPixelShaderFunction[0], static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    EXPECT_EQ(pd.pVertexShaderFunction, nullptr);
    BOOL enabled = TRUE;
    EXPECT_EQ(e->GetBool(e->GetAnnotationByName(e->GetPass(second, 1), "Enabled"), &enabled), D3D_OK);
    EXPECT_FALSE(enabled);
    e->Release();
}

TEST_F(EffectTest, ArrayElementsHaveTheirOwnHandles) {
    ID3DXEffect* e = Make("float4 va[3] = {1,2,3,4, 5,6,7,8, 9,10,11,12}; float notArray;");
    ASSERT_NE(e, nullptr);
    D3DXHANDLE arr = e->GetParameterByName(nullptr, "va");
    D3DXHANDLE el = e->GetParameterElement(arr, 1);
    ASSERT_NE(el, nullptr);
    EXPECT_EQ(e->GetParameter(arr, 1), el);
    EXPECT_EQ(e->GetParameterElement(arr, 3), nullptr);
    EXPECT_EQ(e->GetParameterElement("notArray", 0), nullptr);
    D3DXPARAMETER_DESC d;
    ASSERT_EQ(e->GetParameterDesc(el, &d), D3D_OK);
    EXPECT_EQ(d.Class, D3DXPC_VECTOR);
    EXPECT_EQ(d.Elements, 0u);
    EXPECT_EQ(d.Bytes, 16u);
    D3DXVECTOR4 v;
    ASSERT_EQ(e->GetVector(el, &v), D3D_OK);
    EXPECT_EQ(v, D3DXVECTOR4(5, 6, 7, 8));
    EXPECT_EQ(e->GetVector(arr, &v), D3DERR_INVALIDCALL) << "a whole array is not one vector";
    e->Release();
}

TEST_F(EffectTest, FunctionsStructsTypedefsAndCommentsAreReadPast) {
    ID3DXEffect* e = Make(R"(
        #pragma warning(disable: 3571)
        #line 100 "generated.fx"
        /* a block comment with { braces } and "quotes" */
        struct VSOut { float4 Pos : POSITION; float2 Uv : TEXCOORD0; };
        typedef float4 colour;
        colour tint = colour(1, 0.5, 0.25, 1);
        texture tex;
        sampler2D samp = sampler_state { Texture = <tex>; MinFilter = Linear; };
        float helper(float x) { if (x > 0) { return x * 2; } else { return -x; } }
        VSOut VS(float4 p : POSITION, float2 uv : TEXCOORD0)
        {
            VSOut o; o.Pos = p; o.Uv = uv;   // "}" in a comment
            return o;
        }
        float4 PS(VSOut i) : COLOR0 { return tex2D(samp, i.Uv) * tint * helper(1); }
        technique T { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }
    )");
    ASSERT_NE(e, nullptr);
    D3DXEFFECT_DESC d;
    ASSERT_EQ(e->GetDesc(&d), D3D_OK);
    EXPECT_EQ(d.Parameters, 3u);
    D3DXVECTOR4 v;
    ASSERT_EQ(e->GetVector("tint", &v), D3D_OK);
    EXPECT_EQ(v, D3DXVECTOR4(1, 0.5f, 0.25f, 1));
    D3DXPARAMETER_DESC pd;
    ASSERT_EQ(e->GetParameterDesc("tint", &pd), D3D_OK);
    EXPECT_EQ(pd.Class, D3DXPC_VECTOR);
    e->Release();
}

}  // namespace
