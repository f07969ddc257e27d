// Shader code compiled for real: errors inside shader bodies, the profile's
// limits, constants reaching the registers the shader reads, and state
// saved in a block recorded once.
#include "EffectTestSupport.h"

#include <soft/SoftShaderStatistics.h>

#include <algorithm>
#include <cstring>

namespace {

using effecttest::Compile;
using effecttest::EffectTest;

// `count` reads of one sampler at distinct coordinates, each `depth` reads deep.
std::string Reads(int count, int depth) {
    std::string ls_Text = "sampler S;\nfloat4 PS(float2 uv : TEXCOORD0) : COLOR0\n{\n    float4 sum = 0;\n";
    for (int i = 0; i < count; ++i) {
        ls_Text += "    { float4 c = tex2D(S, uv + " + std::to_string(i) + " * 0.01);\n";
        for (int d = 1; d < depth; ++d) ls_Text += "      c = tex2D(S, c.xy);\n";
        ls_Text += "      sum += c; }\n";
    }
    return ls_Text + "    return sum;\n}\ntechnique T { pass { PixelShader = compile ps_2_0 PS(); } }\n";
}

TEST_F(EffectTest, ShaderBodiesAreCompiledAndTheirErrorsReported) {
    // The declarations are fine; the error is inside the entry point.
    std::string ls_Errors;
    HRESULT hr = S_OK;
    ID3DXEffect* e = Compile(mr_Device_,
                             "float4 Tint;\nfloat4 PS() : COLOR0\n{\n  return Tint * Nowhere;\n}\n"
                             "technique T { pass { PixelShader = compile ps_2_0 PS(); } }\n",
                             &ls_Errors, &hr);
    EXPECT_EQ(e, nullptr);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(ls_Errors.rfind("memory(4,15): error X5005: ", 0), 0u) << ls_Errors;
    EXPECT_NE(ls_Errors.find("Nowhere"), std::string::npos) << ls_Errors;

    for (const char* ls_Refused : {"technique T { pass { PixelShader = compile ps_1_1 PS(); } }",
                                   "technique T { pass { PixelShader = compile ps_2_0 PS(3); } }"}) {
        const std::string ls_Text = std::string("float4 PS(float k = 1) : COLOR0 { return k; }\n") + ls_Refused;
        EXPECT_EQ(Compile(mr_Device_, ls_Text, &ls_Errors), nullptr) << ls_Refused;
        EXPECT_NE(ls_Errors.find("not supported"), std::string::npos) << ls_Errors;
    }
}

TEST_F(EffectTest, Ps20LimitsOnTextureReadsAndDependentReadsAreEnforced) {
    std::string ls_Errors;
    ID3DXEffect* e = Compile(mr_Device_, Reads(32, 1), &ls_Errors);
    EXPECT_NE(e, nullptr) << ls_Errors;
    if (e) e->Release();
    EXPECT_EQ(Compile(mr_Device_, Reads(33, 1), &ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("error X5608: 'PS' uses 33 texture instructions, but ps_2_0 allows 32"), std::string::npos)
        << ls_Errors;

    e = Compile(mr_Device_, Reads(1, 4), &ls_Errors);
    EXPECT_NE(e, nullptr) << ls_Errors;
    if (e) e->Release();
    EXPECT_EQ(Compile(mr_Device_, Reads(1, 5), &ls_Errors), nullptr);
    EXPECT_NE(ls_Errors.find("5 levels of dependent texture reads"), std::string::npos) << ls_Errors;
}

const char* const kConstants = R"(
float4 Tint : register(c2);
float4x4 Columns : register(c4);
row_major float2x3 Rows : register(c10);
float Scale[3] : register(c12);
int Count;
float4 Unused;
texture Picture;
sampler Image : register(s3) = sampler_state { Texture = <Picture>; MinFilter = Linear; };
float4 PS(float2 uv : TEXCOORD0) : COLOR0
{
    float4 p = float4(uv, 1, 1);
    float2 r = mul(Rows, p.xyz);
    return tex2D(Image, uv) * Tint + mul(p, Columns) + float4(r, 0, Scale[2]) + Count;
}
technique T { pass { PixelShader = compile ps_2_0 PS(); } }
)";

// Registers as the device holds them.
std::vector<float> Floats(IDirect3DDevice9* device, UINT first, UINT count) {
    std::vector<float> lr_Values(4 * count);
    device->GetPixelShaderConstantF(first, lr_Values.data(), count);
    return lr_Values;
}

TEST_F(EffectTest, ParametersReachTheRegistersOfTheConstantTable) {
    ID3DXEffect* e = Make(kConstants);
    ASSERT_NE(e, nullptr);
    const D3DXVECTOR4 lr_Tint(1, 2, 3, 4);
    ASSERT_EQ(e->SetVector("Tint", &lr_Tint), D3D_OK);
    D3DXMATRIX lr_Matrix;
    for (int i = 0; i < 16; ++i) lr_Matrix.m[i / 4][i % 4] = static_cast<float>(10 + i);
    ASSERT_EQ(e->SetMatrix("Columns", &lr_Matrix), D3D_OK);
    const float lr_Rows[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(e->SetFloatArray("Rows", lr_Rows, 6), D3D_OK);
    const float lr_Scale[3] = {7, 8, 9};
    ASSERT_EQ(e->SetFloatArray("Scale", lr_Scale, 3), D3D_OK);
    ASSERT_EQ(e->SetInt("Count", 5), D3D_OK);
    IDirect3DBaseTexture9* lr_Texture = NewTexture();
    ASSERT_EQ(e->SetTexture("Picture", lr_Texture), D3D_OK);

    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(Floats(mr_Device_, 2, 1), (std::vector<float>{1, 2, 3, 4}));
    // Column-major by default: each register holds a column of the matrix.
    EXPECT_EQ(Floats(mr_Device_, 4, 2), (std::vector<float>{10, 14, 18, 22, 11, 15, 19, 23}));
    EXPECT_EQ(Floats(mr_Device_, 10, 2), (std::vector<float>{1, 2, 3, 0, 4, 5, 6, 0}));
    // Each array element starts a register.
    EXPECT_EQ(Floats(mr_Device_, 12, 3), (std::vector<float>{7, 0, 0, 0, 8, 0, 0, 0, 9, 0, 0, 0}));
    // The int is read as a float: it sits in a float register, converted.
    bool lr_CountFound = false;
    for (DWORD r = 0; r < 32 && !lr_CountFound; ++r)
        lr_CountFound = r != 2 && (r < 4 || r > 15) && ConstantF(true, r, 0) == 5.0f;
    EXPECT_TRUE(lr_CountFound);
    // The sampler's register gets its texture and sampler states.
    EXPECT_EQ(BoundTexture(3), lr_Texture);
    EXPECT_EQ(SamplerState(3, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(e->EndPass(), D3D_OK);

    // A changed parameter reaches the device at CommitChanges, the others do not.
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    const D3DXVECTOR4 lr_NewTint(5, 6, 7, 8);
    const std::vector<float> lr_Registers = Floats(mr_Device_, 0, 32);
    mr_Control_->ResetCallCounts();
    ASSERT_EQ(e->SetVector("Tint", &lr_NewTint), D3D_OK);
    ASSERT_EQ(e->SetVector("Unused", &lr_NewTint), D3D_OK);
    EXPECT_EQ(mr_Control_->GetTotalCallCount(), 0u) << "not before CommitChanges";
    ASSERT_EQ(e->CommitChanges(), D3D_OK);
    // One call, for c2 alone.
    EXPECT_EQ(Calls(SoftCall::SetShaderConstant), 1u);
    std::vector<float> lr_Expected = lr_Registers;
    std::copy_n(&lr_NewTint.x, 4, lr_Expected.begin() + 8);
    EXPECT_EQ(Floats(mr_Device_, 0, 32), lr_Expected);
    mr_Control_->ResetCallCounts();
    ASSERT_EQ(e->CommitChanges(), D3D_OK);
    EXPECT_EQ(Calls(SoftCall::SetShaderConstant), 0u) << "nothing changed since the last commit";
    EXPECT_EQ(e->EndPass(), D3D_OK);
    EXPECT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(BoundTexture(3), nullptr) << "End put the host's binding back";
    e->Release();
    lr_Texture->Release();
}

TEST_F(EffectTest, BeginRecordsOneStateBlockAndNeverReadsTheDevice) {
    ID3DXEffect* e = Make(kConstants);
    ASSERT_NE(e, nullptr);
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    for (int lr_Frame = 0; lr_Frame < 3; ++lr_Frame) {
        ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
        ASSERT_EQ(e->BeginPass(0), D3D_OK);
        mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);  // as a pass would
        ASSERT_EQ(e->EndPass(), D3D_OK);
        ASSERT_EQ(e->End(), D3D_OK);
    }
    EXPECT_EQ(Calls(SoftCall::EndStateBlock), 1u);
    EXPECT_EQ(Calls(SoftCall::StateBlockCapture), 3u);
    EXPECT_EQ(Calls(SoftCall::StateBlockApply), 3u);
    EXPECT_EQ(Calls(SoftCall::GetState), 0u);
    EXPECT_EQ(BoundPixelShader(), nullptr) << "the host's shader is back";
    // Losing the device releases the block; the next Begin records anew.
    EXPECT_EQ(e->OnLostDevice(), D3D_OK);
    EXPECT_EQ(e->OnResetDevice(), D3D_OK);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(Calls(SoftCall::EndStateBlock), 2u);
    // A block that cannot be recorded fails Begin rather than losing the host's state.
    e->OnLostDevice();
    mr_Control_->FailCall(SoftCall::BeginStateBlock, 1, E_OUTOFMEMORY);
    EXPECT_EQ(e->Begin(nullptr, 0), E_OUTOFMEMORY);
    EXPECT_EQ(e->Begin(nullptr, D3DXFX_DONOTSAVESTATE), D3D_OK);
    EXPECT_EQ(e->End(), D3D_OK);
    e->Release();
}

TEST_F(EffectTest, StatisticsCountWhatTheShaderDoes) {
    ID3DXEffect* e = Make(Reads(3, 2));
    ASSERT_NE(e, nullptr);
    D3DXPASS_DESC lr_Pass;
    ASSERT_EQ(e->GetPassDesc(e->GetPass("T", 0), &lr_Pass), D3D_OK);
    SoftShaderStatistics lr_Stats;
    ASSERT_TRUE(SoftGetShaderStatistics(lr_Pass.pPixelShaderFunction, 4096, &lr_Stats));
    EXPECT_EQ(lr_Stats.Version, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    EXPECT_EQ(lr_Stats.Texture, 6u);
    EXPECT_EQ(lr_Stats.DependentLevels, 2u);
    EXPECT_EQ(lr_Stats.Samplers, 1u);
    EXPECT_GE(lr_Stats.Arithmetic, 3u) << "at least the three additions";
    EXPECT_GE(lr_Stats.Temporaries, 1u);
    e->Release();
}

}  // namespace
