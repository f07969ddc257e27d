// Hostile effect text on the software device: each effect's compile stops at
// its budget and says which, identical compiles are reused, and long names
// are bounded where the bytecode has a size field.
#include "SoftDeviceFixture.h"
#include "SoftTestDevice.h"

#include <d3dx9.h>
#include <gtest/gtest.h>
#include <soft/SoftDeviceControl.h>
#include <soft/SoftEffectCompiler.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>

namespace {

const char* const kSimple =
    "float4 Tint;\nfloat4 PS() : COLOR0 { return Tint; }\n"
    "technique T { pass { PixelShader = compile ps_2_0 PS(); } }\n";

// Unrolling 100,000 additions takes the compiler minutes.
const char* const kSlow =
    "float4 PS() : COLOR0 { float a = 0; [unroll(100000)] for (int i = 0; i < 100000; i++) "
    "a += 0.001; return a; }\ntechnique T { pass { PixelShader = compile ps_2_0 PS(); } }\n";

// The compiler allocates the whole array, 64 GiB of it, step by step.
const char* const kHuge =
    "float4 PS() : COLOR0 { float4 big[65536][65536]; big[3][3] = 1; return big[3][3]; }\n"
    "technique T { pass { PixelShader = compile ps_2_0 PS(); } }\n";

struct Vertex {
    float x, y, z, rhw;
};

class EffectBudgetTest : public SoftDeviceFixture {
protected:
    EffectBudgetTest() { mr_PresentParameters = SoftPresentParameters(8, 8); }

    void SetUp() override {
        SoftDeviceFixture::SetUp();
        if (HasFatalFailure()) return;
        mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    }
    void TearDown() override {
        SoftSetEffectCompileBudget(nullptr);
        SoftDeviceFixture::TearDown();
    }

    HRESULT Create(const std::string& text, ID3DXEffect** effect, std::string* errors) {
        ID3DXBuffer* lr_Errors = nullptr;
        const HRESULT hr = D3DXCreateEffect(mr_Device_, text.data(), static_cast<UINT>(text.size()), nullptr, nullptr,
                                            0, nullptr, effect, &lr_Errors);
        errors->clear();
        if (lr_Errors) {
            *errors = static_cast<const char*>(lr_Errors->GetBufferPointer());
            lr_Errors->Release();
        }
        return hr;
    }

    // Draws one triangle with the effect's first pass; the draw's record.
    SoftDrawRecord DrawWith(ID3DXEffect* effect) {
        mr_Control_->ClearRecords();
        const Vertex lr_Triangle[3] = {{0, 0, 0.5f, 1}, {8, 0, 0.5f, 1}, {0, 8, 0.5f, 1}};
        mr_Device_->SetFVF(D3DFVF_XYZRHW);
        mr_Device_->BeginScene();
        UINT lr_Passes = 0;
        effect->Begin(&lr_Passes, 0);
        effect->BeginPass(0);
        mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, lr_Triangle, sizeof(Vertex));
        effect->EndPass();
        effect->End();
        mr_Device_->EndScene();
        const std::vector<SoftDrawRecord>& lr_Draws = mr_Control_->GetDraws();
        return lr_Draws.empty() ? SoftDrawRecord() : lr_Draws.back();
    }
};

TEST_F(EffectBudgetTest, ACompilePastEitherBudgetFailsNamingItAndTheNextEffectStillCompiles) {
    SoftEffectCompileBudget lr_Budget = {1000, 0};
    SoftSetEffectCompileBudget(&lr_Budget);
    ID3DXEffect* e = nullptr;
    std::string ls_Errors;
    EXPECT_EQ(Create(kSlow, &e, &ls_Errors), E_FAIL);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(ls_Errors,
              "memory(1,1): error X3000: compiling 'PS' for ps_2_0 went past the effect's compile budget of 1 s of "
              "CPU time\n");

    lr_Budget = {0, 96ull << 20};
    SoftSetEffectCompileBudget(&lr_Budget);
    EXPECT_EQ(Create(kHuge, &e, &ls_Errors), E_FAIL);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(ls_Errors,
              "memory(1,1): error X3000: compiling 'PS' for ps_2_0 went past the effect's compile budget of 96 MB of "
              "memory\n");

    SoftGetEffectCompileBudget(&lr_Budget);
    EXPECT_EQ(lr_Budget.CpuMilliseconds, 10000u) << "zero restores the default";
    ASSERT_EQ(Create(kSimple, &e, &ls_Errors), D3D_OK) << ls_Errors;
    EXPECT_EQ(DrawWith(e).PixelShaderName, "PS");
    EXPECT_EQ(e->Release(), 0u);
}

TEST_F(EffectBudgetTest, AnIdenticalCompileIsReusedAndAnyChangeCompilesAgain) {
    // Text no earlier test of this process compiled.
    const std::string ls_Text = std::string(kSimple) + "// " +
                                std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "\n";
    const ULONGLONG lr_Before = SoftGetEffectCompilerRuns();
    ID3DXEffect* lr_First = nullptr;
    ID3DXEffect* lr_Second = nullptr;
    std::string ls_Errors;
    ASSERT_EQ(Create(ls_Text, &lr_First, &ls_Errors), D3D_OK) << ls_Errors;
    EXPECT_EQ(SoftGetEffectCompilerRuns(), lr_Before + 1);
    ASSERT_EQ(Create(ls_Text, &lr_Second, &ls_Errors), D3D_OK) << ls_Errors;
    EXPECT_EQ(SoftGetEffectCompilerRuns(), lr_Before + 1) << "the same text, entry point and profile";

    D3DXPASS_DESC lr_A, lr_B;
    ASSERT_EQ(lr_First->GetPassDesc(lr_First->GetPass(lr_First->GetTechnique(0), 0), &lr_A), D3D_OK);
    ASSERT_EQ(lr_Second->GetPassDesc(lr_Second->GetPass(lr_Second->GetTechnique(0), 0), &lr_B), D3D_OK);
    ASSERT_NE(lr_A.pPixelShaderFunction, nullptr);
    ASSERT_NE(lr_B.pPixelShaderFunction, nullptr);
    size_t lr_Tokens = 0;
    while (lr_A.pPixelShaderFunction[lr_Tokens] != D3DSIO_END) ++lr_Tokens;
    EXPECT_EQ(std::memcmp(lr_A.pPixelShaderFunction, lr_B.pPixelShaderFunction, (lr_Tokens + 1) * sizeof(DWORD)), 0);
    EXPECT_EQ(DrawWith(lr_Second).PixelShaderName, "PS");
    EXPECT_EQ(lr_First->Release(), 0u);
    EXPECT_EQ(lr_Second->Release(), 0u);

    ID3DXEffect* e = nullptr;
    ASSERT_EQ(Create(ls_Text + " ", &e, &ls_Errors), D3D_OK) << ls_Errors;
    EXPECT_EQ(SoftGetEffectCompilerRuns(), lr_Before + 2) << "one more byte of text";
    EXPECT_EQ(e->Release(), 0u);

    // A refusal is reused too, with the same messages.
    const std::string ls_Bad = ls_Text +
                               "float4 Bad() : COLOR0 { return Nowhere; }\n"
                               "technique U { pass { PixelShader = compile ps_2_0 Bad(); } }\n";
    std::string ls_Again;
    EXPECT_EQ(Create(ls_Bad, &e, &ls_Errors), E_FAIL);
    EXPECT_EQ(Create(ls_Bad, &e, &ls_Again), E_FAIL);
    EXPECT_NE(ls_Errors.find("Nowhere"), std::string::npos) << ls_Errors;
    EXPECT_EQ(ls_Again, ls_Errors);
    EXPECT_EQ(SoftGetEffectCompilerRuns(), lr_Before + 3);
}

// Messages name the file they came from, so a kept refusal is one file's:
// the same text under another name is compiled again and names its own.
TEST_F(EffectBudgetTest, TheSameRefusedTextUnderTwoNamesNamesEachItsOwn) {
    const std::string ls_Bad =
        "float4 Bad() : COLOR0 { return Nowhere; }\n"
        "technique U { pass { PixelShader = compile ps_2_0 Bad(); } }\n";
    const ULONGLONG lr_Before = SoftGetEffectCompilerRuns();
    for (const char* lr_Name : {"first.fx", "second.fx", "first.fx"}) {
        const std::string ls_Path = (mr_TempDirectory / lr_Name).string();
        std::ofstream(ls_Path, std::ios::binary) << ls_Bad;
        ID3DXEffect* e = nullptr;
        ID3DXBuffer* lr_Errors = nullptr;
        EXPECT_EQ(D3DXCreateEffectFromFileA(mr_Device_, ls_Path.c_str(), nullptr, nullptr, 0, nullptr, &e, &lr_Errors),
                  E_FAIL);
        ASSERT_NE(lr_Errors, nullptr);
        const std::string ls_Errors = static_cast<const char*>(lr_Errors->GetBufferPointer());
        lr_Errors->Release();
        EXPECT_EQ(ls_Errors.rfind(ls_Path + "(1,", 0), 0u) << ls_Errors;
        EXPECT_NE(ls_Errors.find("Nowhere"), std::string::npos) << ls_Errors;
        EXPECT_EQ(ls_Errors.find(std::string(lr_Name) == "first.fx" ? "second.fx" : "first.fx"), std::string::npos)
            << ls_Errors;
    }
    EXPECT_EQ(SoftGetEffectCompilerRuns(), lr_Before + 2) << "the first name's refusal is kept for it";
}

TEST_F(EffectBudgetTest, AVeryLongEntryPointLoadsAndItsNameIsCutInTheDrawRecord) {
    // Past 131,064 characters the name's comment would wrap its 15-bit size.
    const std::string ls_Name = "P" + std::string(140000, 'x');
    const std::string ls_Text = "float4 Tint;\nfloat4 " + ls_Name + "() : COLOR0 { return Tint; }\n" +
                                "technique T { pass { PixelShader = compile ps_2_0 " + ls_Name + "(); } }\n";
    ID3DXEffect* e = nullptr;
    std::string ls_Errors;
    ASSERT_EQ(Create(ls_Text, &e, &ls_Errors), D3D_OK) << ls_Errors.substr(0, 300);
    EXPECT_EQ(e->ValidateTechnique(e->GetTechnique(0)), D3D_OK);
    const SoftDrawRecord lr_Draw = DrawWith(e);
    EXPECT_EQ(lr_Draw.PixelShaderName, ls_Name.substr(0, 1024));
    EXPECT_TRUE(lr_Draw.Rasterised);
    EXPECT_EQ(e->Release(), 0u);
}

TEST_F(EffectBudgetTest, AHugeParameterNameIsRefusedSayingWhatIsWrong) {
    const std::string ls_Name = "g" + std::string(999999, 'q');
    const std::string ls_Text = "float4 " + ls_Name + ";\nfloat4 PS() : COLOR0 { return " + ls_Name +
                                "; }\ntechnique T { pass { PixelShader = compile ps_2_0 PS(); } }\n";
    ID3DXEffect* e = nullptr;
    std::string ls_Errors;
    EXPECT_EQ(Create(ls_Text, &e, &ls_Errors), E_FAIL);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(ls_Errors, "memory(1,1): error X3000: the name of parameter '" + ls_Name.substr(0, 32) +
                             "...' has 1000000 characters; a shader's constant table holds names of at most 4096\n");
}

}  // namespace
