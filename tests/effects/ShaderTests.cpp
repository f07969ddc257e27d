// Shader on the effect runtime and the software device: creation and its
// error texts, technique selection, parameter look-up, the pass protocol
// and reloading.
#include "EffectsDeviceTest.h"

#include "Shader.h"

#include <gtest/gtest.h>

#include <d3dx9.h>

#include <memory>
#include <string>

namespace {

const char* const s_Declarations = R"(
float2 Offset;
float3 Colour3;
float4 Colour = {1, 2, 3, 4};
float Scalar;
float Scalars[4];
float4 Vectors[3];
float2 Pairs[2];
float4x4 World;
column_major float3x3 Basis;
int Count;
int Counts[3];
bool Enabled;
bool Flags[2];
texture Generic : GenericSemantic;
texture2D Flat : FlatSemantic;
texture1D Line;
texture3D Volume;
textureCUBE Cube;
string Label = "label";
sampler2D FlatSampler = sampler_state { Texture = <Flat>; };

float4 Main() : COLOR { return Colour; }

technique Only
{
    pass P0 { PixelShader = compile ps_2_0 Main(); }
}
)";

// Technique 0 needs ps_3_0; technique 1 runs on ps_2_0 and has two passes.
const char* const s_TwoTechniques = R"(
float4 Colour;
float4 Rich() : COLOR { return Colour; }
float4 Plain() : COLOR { return Colour; }

technique NeedsModel3
{
    pass Only { PixelShader = compile ps_3_0 Rich(); CullMode = CW; }
}
technique FitsModel2
{
    pass First { PixelShader = compile ps_2_0 Plain(); CullMode = None; FillMode = Wireframe; }
    pass Second { PixelShader = compile ps_2_0 Plain(); }
}
)";

const char* const s_OnePass = R"(
float4 Colour : TintColour = {1, 2, 3, 4};
float4 Main() : COLOR { return Colour; }
technique T
{
    pass P0 { PixelShader = compile ps_2_0 Main(); FillMode = Wireframe; }
    pass P1 { PixelShader = compile ps_2_0 Main(); }
}
)";

const char* const s_SyntaxError = R"(
float4 Colour
float4 Main() : COLOR { return Colour; }
technique T { pass P0 { PixelShader = compile ps_2_0 Main(); } }
)";

class ShaderTest : public EffectsDeviceTest {
protected:
    std::unique_ptr<Shader> FromCode(const std::string& code) {
        return std::make_unique<Shader>(mr_Device_, "test", code, "");
    }
    std::unique_ptr<Shader> FromFile(const std::string& path) {
        return std::make_unique<Shader>(mr_Device_, "test", "", path);
    }

    D3DXVECTOR4 EffectVector(Shader& shader, const char* name) {
        D3DXVECTOR4 lr_Value(-1, -1, -1, -1);
        shader.GetEffect()->GetVector(name, &lr_Value);
        return lr_Value;
    }
};

using Type = ShaderParameterType;

const Type s_AllTypes[] = {Type::Float,       Type::Float2,      Type::Float3,      Type::Float4,   Type::Float4Array,
                           Type::Float3Array, Type::Float2Array, Type::FloatArray,  Type::IntArray, Type::Texture1D,
                           Type::Texture2D,   Type::Texture3D,   Type::TextureCube, Type::Matrix,   Type::Int,
                           Type::Bool,        Type::String,      Type::Any};

}  // namespace

TEST_F(ShaderTest, DeclarationsAreTypedAsTheFrameworkSeesThem) {
    auto lr_Shader = FromCode(s_Declarations);
    ASSERT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();

    struct Expected {
        const char* Name;
        ShaderParameterType Type;
        unsigned Elements;
    };
    const Expected lr_Table[] = {
        {"Offset", Type::Float4, 0},       {"Colour3", Type::Float4, 0},    {"Colour", Type::Float4, 0},
        {"Vectors", Type::Float4Array, 3}, {"Pairs", Type::Float4Array, 2}, {"World", Type::Matrix, 0},
        {"Basis", Type::Matrix, 0},        {"Count", Type::Int, 0},         {"Counts", Type::IntArray, 3},
        {"Enabled", Type::Bool, 0},        {"Flat", Type::Texture2D, 0},    {"Line", Type::Texture1D, 0},
        {"Volume", Type::Texture3D, 0},    {"Cube", Type::TextureCube, 0},
    };
    for (const Expected& lr_Entry : lr_Table) {
        IShaderParameter* lr_Parameter = lr_Shader->GetParameter(lr_Entry.Name, ShaderParameterType::Any);
        ASSERT_NE(lr_Parameter, nullptr) << lr_Entry.Name;
        EXPECT_EQ(lr_Parameter->GetType(), lr_Entry.Type) << lr_Entry.Name;
        EXPECT_EQ(lr_Parameter->GetElementCount(), lr_Entry.Elements) << lr_Entry.Name;
        EXPECT_EQ(lr_Parameter->GetName(), lr_Entry.Name);
        EXPECT_TRUE(lr_Parameter->IsValid()) << lr_Entry.Name;
    }
    EXPECT_EQ(lr_Shader->GetParameters().size(), sizeof(lr_Table) / sizeof(lr_Table[0]));
}

TEST_F(ShaderTest, AFloat2IsAFloat4AndNotAFloat2) {
    auto lr_Shader = FromCode(s_Declarations);
    EXPECT_EQ(lr_Shader->GetParameter("Offset", ShaderParameterType::Float2), nullptr);
    EXPECT_TRUE(lr_Shader->GetParameters().empty());
    IShaderParameter* lr_Offset = lr_Shader->GetParameter("Offset", ShaderParameterType::Float4);
    ASSERT_NE(lr_Offset, nullptr);
    lr_Offset->SetFloat4(D3DXVECTOR4(1, 2, 3, 4));
    // The effect keeps the two components a float2 has.
    D3DXVECTOR4 lr_Read = EffectVector(*lr_Shader, "Offset");
    EXPECT_EQ(lr_Read.x, 1.0f);
    EXPECT_EQ(lr_Read.y, 2.0f);
}

TEST_F(ShaderTest, UnsupportedDeclarationsCannotBeLookedUpWithAnyType) {
    auto lr_Shader = FromCode(s_Declarations);
    for (const char* ls_Name : {"Scalar", "Scalars", "Flags", "Generic", "Label", "FlatSampler", "Missing", "colour"}) {
        for (ShaderParameterType lr_Type : s_AllTypes) {
            EXPECT_EQ(lr_Shader->GetParameter(ls_Name, lr_Type), nullptr)
                << ls_Name << " as " << static_cast<int>(lr_Type);
        }
    }
    EXPECT_TRUE(lr_Shader->GetParameters().empty());
}

TEST_F(ShaderTest, GenericTextureIsFoundBySemanticOnly) {
    auto lr_Shader = FromCode(s_Declarations);
    EXPECT_EQ(lr_Shader->GetParameter("Generic", ShaderParameterType::Any), nullptr);
    IShaderParameter* lr_BySemantic = lr_Shader->GetParameterBySemantic("GenericSemantic", ShaderParameterType::Any);
    ASSERT_NE(lr_BySemantic, nullptr);
    EXPECT_EQ(lr_BySemantic->GetType(), ShaderParameterType::Texture2D);
    // Named after the semantic it was found by.
    EXPECT_EQ(lr_BySemantic->GetName(), "GenericSemantic");
    EXPECT_EQ(lr_BySemantic->GetHandle(), lr_Shader->GetEffect()->GetParameterByName(nullptr, "Generic"));
    // Semantics compare without regard to case, as D3DX does.
    EXPECT_NE(lr_Shader->GetParameterBySemantic("flatsemantic", ShaderParameterType::Texture2D), nullptr);
    EXPECT_EQ(lr_Shader->GetParameterBySemantic("FlatSemantic", ShaderParameterType::TextureCube), nullptr);
    EXPECT_EQ(lr_Shader->GetParameterBySemantic("NoSuchSemantic", ShaderParameterType::Any), nullptr);
}

TEST_F(ShaderTest, LookupByNameIsCachedAndKeepsItsType) {
    auto lr_Shader = FromCode(s_Declarations);
    IShaderParameter* lr_First = lr_Shader->GetParameter("Colour", ShaderParameterType::Any);
    ASSERT_NE(lr_First, nullptr);
    EXPECT_EQ(lr_Shader->GetParameter("Colour", ShaderParameterType::Any), lr_First);
    EXPECT_EQ(lr_Shader->GetParameter("Colour", ShaderParameterType::Float4), lr_First);
    EXPECT_EQ(lr_Shader->GetParameter("Colour", ShaderParameterType::Matrix), nullptr);
    EXPECT_EQ(lr_Shader->GetParameters().size(), 1u);
}

TEST_F(ShaderTest, LookupBySemanticCreatesANewObjectEveryTime) {
    auto lr_Shader = FromCode(s_Declarations);
    IShaderParameter* lr_First = lr_Shader->GetParameterBySemantic("FlatSemantic", ShaderParameterType::Any);
    IShaderParameter* lr_Second = lr_Shader->GetParameterBySemantic("FlatSemantic", ShaderParameterType::Any);
    ASSERT_NE(lr_First, nullptr);
    ASSERT_NE(lr_Second, nullptr);
    EXPECT_NE(lr_First, lr_Second);
    ASSERT_EQ(lr_Shader->GetParameters().size(), 2u);
    EXPECT_EQ(lr_Shader->GetParameters()[0], lr_First);
    EXPECT_EQ(lr_Shader->GetParameters()[1], lr_Second);
}

TEST_F(ShaderTest, NewParameterResetsTheEffectsValueAndWritesThrough) {
    auto lr_Shader = FromCode(s_Declarations);
    EXPECT_EQ(EffectVector(*lr_Shader, "Colour"), D3DXVECTOR4(1, 2, 3, 4));
    IShaderParameter* lr_Colour = lr_Shader->GetParameter("Colour", ShaderParameterType::Float4);
    ASSERT_NE(lr_Colour, nullptr);
    EXPECT_EQ(EffectVector(*lr_Shader, "Colour"), D3DXVECTOR4(0, 0, 0, 0));
    lr_Colour->SetFloat4(D3DXVECTOR4(5, 6, 7, 8));
    EXPECT_EQ(EffectVector(*lr_Shader, "Colour"), D3DXVECTOR4(5, 6, 7, 8));

    IShaderParameter* lr_Counts = lr_Shader->GetParameter("Counts", ShaderParameterType::IntArray);
    ASSERT_NE(lr_Counts, nullptr);
    lr_Counts->SetIntArray({4, 5, 6, 7});
    INT lr_Read[3] = {0, 0, 0};
    ASSERT_EQ(lr_Shader->GetEffect()->GetIntArray("Counts", lr_Read, 3), D3D_OK);
    EXPECT_EQ(lr_Read[0], 4);
    EXPECT_EQ(lr_Read[2], 6);
}

TEST_F(ShaderTest, FirstTechniqueThatValidatesIsSelectedAndRun) {
    LimitToShaderModel2();
    auto lr_Shader = FromCode(s_TwoTechniques);
    ASSERT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_EQ(lr_Shader->GetPassCount(), 2u);
    // Begin runs the selected technique, not the effect's first one.
    EXPECT_EQ(lr_Shader->Begin(), 2u);
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_WIREFRAME));
    EXPECT_EQ(PixelShaderEntry(), "Plain");
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
}

TEST_F(ShaderTest, CapableDeviceKeepsTheFirstTechnique) {
    auto lr_Shader = FromCode(s_TwoTechniques);
    ASSERT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_EQ(lr_Shader->GetPassCount(), 1u);
    EXPECT_EQ(lr_Shader->Begin(), 1u);
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    EXPECT_EQ(PixelShaderEntry(), "Rich");
    lr_Shader->EndPass();
    lr_Shader->End();
}

TEST_F(ShaderTest, NoTechniqueThatValidatesLeavesTheEffectButNoPasses) {
    LimitToShaderModel2();
    const char* ls_Code = R"(
float4 Rich() : COLOR { return 1; }
technique NeedsModel3 { pass P { PixelShader = compile ps_3_0 Rich(); } }
)";
    for (const char* ls_Source : {ls_Code, "float4 Colour;"}) {
        auto lr_Shader = FromCode(ls_Source);
        EXPECT_FALSE(lr_Shader->IsValid());
        EXPECT_EQ(lr_Shader->GetErrorMessage(), "No valid technique found.");
        EXPECT_NE(lr_Shader->GetEffect(), nullptr);
        EXPECT_EQ(lr_Shader->GetPassCount(), 0u);
    }
}

TEST_F(ShaderTest, CompileErrorKeepsTheCompilersText) {
    auto lr_Shader = FromCode(s_SyntaxError);
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetEffect(), nullptr);
    const std::string& ls_Message = lr_Shader->GetErrorMessage();
    const std::string ls_Prefix = "Unable to create shader.\nCompiling failed!\n";
    ASSERT_EQ(ls_Message.compare(0, ls_Prefix.size(), ls_Prefix), 0) << ls_Message;
    EXPECT_NE(ls_Message.find("error X"), std::string::npos) << ls_Message;
    EXPECT_EQ(ls_Message.find('\0'), std::string::npos);
}

TEST_F(ShaderTest, AHugeCompilerMessageIsCutAndSaysSo) {
    // The compiler quotes the offending token: a megabyte of it.
    const std::string ls_Code = "float4 Colour = " + std::string(1u << 20, 'x') + " +;\n";
    auto lr_Shader = FromCode(ls_Code);
    EXPECT_FALSE(lr_Shader->IsValid());
    // The compiler's own text, asked for directly.
    ID3DXEffect* lr_Effect_ = nullptr;
    ID3DXBuffer* lr_Errors_ = nullptr;
    ASSERT_TRUE(FAILED(D3DXCreateEffect(mr_Device_, ls_Code.data(), static_cast<UINT>(ls_Code.size()), nullptr, nullptr,
                                        0, nullptr, &lr_Effect_, &lr_Errors_)));
    ASSERT_NE(lr_Errors_, nullptr);
    const std::string ls_Full(static_cast<const char*>(lr_Errors_->GetBufferPointer()));
    lr_Errors_->Release();
    ASSERT_GT(ls_Full.size(), 4096u);
    // Exactly the first 4096 bytes, then the note with the whole length.
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to create shader.\nCompiling failed!\n" + ls_Full.substr(0, 4096) +
                                                "\n[compiler message cut: " + std::to_string(ls_Full.size()) +
                                                " bytes in all]\n");
}

TEST_F(ShaderTest, MissingFileGivesTheLoadMessageAlone) {
    auto lr_Shader = FromFile((mr_TempDirectory / "Missing.hlsl").string());
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to load shader.");
    EXPECT_EQ(lr_Shader->GetEffect(), nullptr);
}

TEST_F(ShaderTest, FileThatDoesNotCompileKeepsTheCompilersText) {
    std::string ls_Path = WriteFile("Broken.hlsl", s_SyntaxError);
    auto lr_Shader = FromFile(ls_Path);
    EXPECT_FALSE(lr_Shader->IsValid());
    const std::string& ls_Message = lr_Shader->GetErrorMessage();
    const std::string ls_Prefix = "Unable to load shader.\nCompiling failed!\n";
    ASSERT_EQ(ls_Message.compare(0, ls_Prefix.size(), ls_Prefix), 0) << ls_Message;
    EXPECT_NE(ls_Message.find("Broken.hlsl"), std::string::npos) << ls_Message;
}

TEST_F(ShaderTest, NeitherSourceTextNorFileName) {
    auto lr_Shader = FromCode("");
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to create shader, no code and no file name specified!");
    EXPECT_EQ(lr_Shader->GetEffect(), nullptr);
}

TEST_F(ShaderTest, SourceTextWinsOverTheFileName) {
    Shader lr_Shader(mr_Device_, "test", s_OnePass, (mr_TempDirectory / "Missing.hlsl").string());
    EXPECT_TRUE(lr_Shader.IsValid()) << lr_Shader.GetErrorMessage();
    EXPECT_EQ(lr_Shader.GetErrorMessage(), "");
    EXPECT_EQ(lr_Shader.GetPassCount(), 2u);
}

TEST_F(ShaderTest, ValidFileIsCompiled) {
    auto lr_Shader = FromFile(WriteFile("Good.hlsl", s_OnePass));
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_EQ(lr_Shader->GetPassCount(), 2u);
    EXPECT_EQ(lr_Shader->GetName(), "test");
}

TEST_F(ShaderTest, WithoutAnEffectEveryCallDoesNoHarm) {
    auto lr_Shader = FromFile((mr_TempDirectory / "Missing.hlsl").string());
    EXPECT_EQ(lr_Shader->GetPassCount(), 0u);
    EXPECT_EQ(lr_Shader->Begin(), 0u);
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::Skip);
    lr_Shader->EndPass();
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_EQ(lr_Shader->GetParameter("Colour", ShaderParameterType::Any), nullptr);
    EXPECT_EQ(lr_Shader->GetParameterBySemantic("COLOR", ShaderParameterType::Any), nullptr);
    lr_Shader->Reload();
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to load shader.");
}

TEST_F(ShaderTest, PassBegunAgainAfterRepeatIsNotBegunTwiceOnTheEffect) {
    auto lr_Shader = FromCode(s_OnePass);
    ASSERT_EQ(lr_Shader->Begin(), 2u);
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    // A nested BeginPass on the effect would fail and make the shader invalid.
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    lr_Shader->EndPass();
    lr_Shader->EndPass();
    EXPECT_EQ(lr_Shader->BeginPass(1), PassResult::None);
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
}

TEST_F(ShaderTest, FailedBeginPassCountsAsBegun) {
    auto lr_Shader = FromCode(s_OnePass);
    ASSERT_EQ(lr_Shader->Begin(), 2u);
    EXPECT_EQ(lr_Shader->BeginPass(7), PassResult::Skip);
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to begin pass.");
    // Still inside the failed pass: the effect's pass 0 is not begun...
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    // ...until EndPass has closed it.
    lr_Shader->EndPass();
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_WIREFRAME));
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    // Nothing restores validity but a reload.
    EXPECT_FALSE(lr_Shader->IsValid());
    lr_Shader->Reload();
    EXPECT_TRUE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to begin pass.");
}

TEST_F(ShaderTest, ReloadKeepsParametersFoundByName) {
    std::string ls_Path = WriteFile("Reload.hlsl", s_OnePass);
    auto lr_Shader = FromFile(ls_Path);
    IShaderParameter* lr_Colour = lr_Shader->GetParameter("Colour", ShaderParameterType::Float4);
    ASSERT_NE(lr_Colour, nullptr);
    lr_Colour->SetFloat4(D3DXVECTOR4(1, 1, 1, 1));

    lr_Shader->Reload();
    ASSERT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_EQ(lr_Shader->GetParameter("Colour", ShaderParameterType::Any), lr_Colour);
    EXPECT_TRUE(lr_Colour->IsValid());
    EXPECT_EQ(lr_Colour->GetHandle(), lr_Shader->GetEffect()->GetParameterByName(nullptr, "Colour"));
    // The new effect starts from its own initial value until the next set.
    EXPECT_EQ(EffectVector(*lr_Shader, "Colour"), D3DXVECTOR4(1, 2, 3, 4));
    lr_Colour->SetFloat4(D3DXVECTOR4(9, 8, 7, 6));
    EXPECT_EQ(EffectVector(*lr_Shader, "Colour"), D3DXVECTOR4(9, 8, 7, 6));
}

TEST_F(ShaderTest, ReloadOfABrokenFileAndBackAgain) {
    std::string ls_Path = WriteFile("Edited.hlsl", s_OnePass);
    auto lr_Shader = FromFile(ls_Path);
    IShaderParameter* lr_Colour = lr_Shader->GetParameter("Colour", ShaderParameterType::Float4);
    ASSERT_NE(lr_Colour, nullptr);
    auto* lr_Handler = new CountingSemanticHandler("TintColour");
    lr_Shader->AddSemanticHandler(lr_Handler);

    WriteFile("Edited.hlsl", s_SyntaxError);
    lr_Shader->Reload();
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetEffect(), nullptr);
    EXPECT_EQ(lr_Shader->GetErrorMessage().rfind("Unable to load shader.\nCompiling failed!\n", 0), 0u);
    EXPECT_FALSE(lr_Colour->IsValid());
    EXPECT_EQ(lr_Colour->GetHandle(), nullptr);
    lr_Colour->SetFloat4(D3DXVECTOR4(2, 2, 2, 2));  // cached, nowhere to write
    // Without an effect the handler entries wait for the next one.
    EXPECT_EQ(lr_Shader->Begin(), 0u);
    lr_Shader->End();
    EXPECT_EQ(lr_Shader->GetSemanticHandler("TintColour"), lr_Handler);
    EXPECT_TRUE(lr_Handler->mr_Parameters.empty());

    WriteFile("Edited.hlsl", s_OnePass);
    lr_Shader->Reload();
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
    EXPECT_NE(lr_Colour->GetHandle(), nullptr);
    EXPECT_EQ(lr_Colour->GetFloat4(), D3DXVECTOR4(2, 2, 2, 2));
    EXPECT_EQ(lr_Shader->GetPassCount(), 2u);
    EXPECT_EQ(lr_Shader->Begin(), 2u);
    lr_Shader->End();
    ASSERT_EQ(lr_Handler->mr_Parameters.size(), 1u);
    EXPECT_EQ(lr_Handler->mr_Parameters[0]->GetHandle(), lr_Shader->GetEffect()->GetParameterByName(nullptr, "Colour"));
}

TEST_F(ShaderTest, ReloadInsideAPassStartsTheNewEffectOutsideIt) {
    auto lr_Shader = FromFile(WriteFile("Pass.hlsl", s_OnePass));
    ASSERT_EQ(lr_Shader->Begin(), 2u);
    ASSERT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    lr_Shader->Reload();
    mr_Device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    // The new effect's pass 0 is begun and applies its states.
    ASSERT_EQ(lr_Shader->Begin(), 2u);
    EXPECT_EQ(lr_Shader->BeginPass(0), PassResult::None);
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_WIREFRAME));
    lr_Shader->EndPass();
    lr_Shader->End();
    EXPECT_TRUE(lr_Shader->IsValid()) << lr_Shader->GetErrorMessage();
}

TEST_F(ShaderTest, FailedBeginMakesTheShaderInvalidButRunsTheHandlers) {
    auto lr_Shader = FromCode(s_OnePass);
    auto* lr_Handler = new CountingSemanticHandler("TintColour");
    ASSERT_TRUE(lr_Shader->AddSemanticHandler(lr_Handler));
    // The effect saves the device state at Begin; that failing fails Begin.
    mr_Control_->FailCall(SoftCall::StateBlockCapture, 1, E_OUTOFMEMORY);
    EXPECT_EQ(lr_Shader->Begin(), 0u);
    EXPECT_FALSE(lr_Shader->IsValid());
    EXPECT_EQ(lr_Shader->GetErrorMessage(), "Unable to begin effect.");
    EXPECT_EQ(lr_Handler->mr_Parameters.size(), 1u);
    lr_Shader->End();
}
