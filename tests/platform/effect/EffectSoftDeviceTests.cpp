// An effect run unchanged on the software device.
#include "SoftDeviceFixture.h"
#include "SoftTestDevice.h"

#include <d3dx9.h>
#include <gtest/gtest.h>
#include <soft/SoftDeviceControl.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>

namespace {

const char* const kEffect = R"(
texture sceneTex : BackBuffer;
sampler sceneSampler = sampler_state { Texture = <sceneTex>; MinFilter = Point; MagFilter = Point; };
float4 Copy(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(sceneSampler, uv); }
float4 Fancy(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(sceneSampler, uv) * 2; }
technique Best { pass { PixelShader = compile ps_3_0 Fancy(); } }
technique Simple { pass { ZEnable = false; CullMode = None; PixelShader = compile ps_2_0 Copy(); } }
)";

struct Vertex {
    float x, y, z, rhw;
    float u, v;
};

class SoftDeviceEffectTest : public SoftDeviceFixture {
protected:
    SoftDeviceEffectTest() { mr_PresentParameters = SoftPresentParameters(16, 16); }

    void SetUp() override {
        SoftDeviceFixture::SetUp();
        if (HasFatalFailure()) return;
        mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    }
    void TearDown() override {
        if (mr_Control_) {
            EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::PixelShader, -1, true), 0u);
            EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, true), 0u);
        }
        SoftDeviceFixture::TearDown();
    }
};

TEST_F(SoftDeviceEffectTest, ThePassThatValidatesDrawsWithItsShaderAndTexture) {
    ID3DXEffect* e = nullptr;
    ID3DXBuffer* lr_Errors = nullptr;
    const std::string ls_Text = kEffect;
    ASSERT_EQ(D3DXCreateEffect(mr_Device_, ls_Text.data(), static_cast<UINT>(ls_Text.size()), nullptr, nullptr, 0,
                               nullptr, &e, &lr_Errors),
              D3D_OK);
    EXPECT_EQ(e->ValidateTechnique("Best"), E_FAIL);
    ASSERT_EQ(e->ValidateTechnique("Simple"), D3D_OK);
    ASSERT_EQ(e->SetTechnique("Simple"), D3D_OK);

    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                        &lr_Texture_, nullptr),
              D3D_OK);
    ASSERT_EQ(e->SetTexture(e->GetParameterBySemantic(nullptr, "BACKBUFFER"), lr_Texture_), D3D_OK);

    mr_Control_->ClearRecords();
    const Vertex lr_Quad[4] = {
        {0, 0, 0.5f, 1, 0, 0}, {16, 0, 0.5f, 1, 1, 0}, {0, 16, 0.5f, 1, 0, 1}, {16, 16, 0.5f, 1, 1, 1}};
    ASSERT_EQ(mr_Device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1), D3D_OK);
    ASSERT_EQ(mr_Device_->BeginScene(), D3D_OK);
    UINT lr_Passes = 0;
    ASSERT_EQ(e->Begin(&lr_Passes, 0), D3D_OK);
    ASSERT_EQ(lr_Passes, 1u);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    EXPECT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Quad, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    ASSERT_EQ(mr_Device_->EndScene(), D3D_OK);

    const std::vector<SoftDrawRecord>& lr_Draws = mr_Control_->GetDraws();
    ASSERT_EQ(lr_Draws.size(), 1u);
    EXPECT_EQ(lr_Draws[0].PixelShaderName, "Copy");
    EXPECT_EQ(lr_Draws[0].PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    EXPECT_EQ(lr_Draws[0].Textures[0], lr_Texture_);
    EXPECT_EQ(lr_Draws[0].RenderStates[D3DRS_ZENABLE], static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(lr_Draws[0].SamplerStates[0][D3DSAMP_MINFILTER], static_cast<DWORD>(D3DTEXF_POINT));

    // End gave the device back its own state.
    IDirect3DPixelShader9* lr_Shader_ = reinterpret_cast<IDirect3DPixelShader9*>(1);
    ASSERT_EQ(mr_Device_->GetPixelShader(&lr_Shader_), D3D_OK);
    EXPECT_EQ(lr_Shader_, nullptr);
    IDirect3DBaseTexture9* lr_Bound_ = nullptr;
    ASSERT_EQ(mr_Device_->GetTexture(0, &lr_Bound_), D3D_OK);
    EXPECT_EQ(lr_Bound_, nullptr);

    EXPECT_EQ(e->Release(), 0u);
    EXPECT_EQ(lr_Texture_->Release(), 0u) << "the effect gave its texture reference back";
}

// The constant table of a token stream, read here independently of D3DX:
// name to (register set, first register).
std::map<std::string, std::pair<WORD, WORD>> ConstantTable(const DWORD* tokens) {
    std::map<std::string, std::pair<WORD, WORD>> lr_Table;
    size_t i = 1;
    while (tokens[i] != D3DSIO_END) {
        if ((tokens[i] & 0xFFFF) != D3DSIO_COMMENT) {
            i += 1 + ((tokens[i] >> 24) & 0x0F);
            continue;
        }
        const BYTE* lr_Data = reinterpret_cast<const BYTE*>(tokens + i + 1);
        if (std::memcmp(lr_Data, "CTAB", 4) == 0) {
            const BYTE* lr_Table_ = lr_Data + 4;
            D3DXSHADER_CONSTANTTABLE lr_Header;
            std::memcpy(&lr_Header, lr_Table_, sizeof(lr_Header));
            for (DWORD c = 0; c < lr_Header.Constants; ++c) {
                D3DXSHADER_CONSTANTINFO lr_Info;
                std::memcpy(&lr_Info, lr_Table_ + lr_Header.ConstantInfo + c * sizeof(lr_Info), sizeof(lr_Info));
                lr_Table[reinterpret_cast<const char*>(lr_Table_ + lr_Info.Name)] = {lr_Info.RegisterSet,
                                                                                     lr_Info.RegisterIndex};
            }
        }
        i += 1 + ((tokens[i] >> 16) & 0x7FFF);
    }
    return lr_Table;
}

TEST_F(SoftDeviceEffectTest, TheSsaoShaderReceivesItsPixelSizeAndTexturesWhereItsTableSays) {
    ID3DXEffect* e = nullptr;
    const std::string ls_File = std::string(SSAO_SOURCE_DIR) + "/data/Plugins/SSAO/SSAO.hlsl";
    ASSERT_EQ(D3DXCreateEffectFromFileA(mr_Device_, ls_File.c_str(), nullptr, nullptr, 0, nullptr, &e, nullptr),
              D3D_OK);
    // The technique the plug-in runs on this shader model 2.0 device: the first that validates.
    D3DXHANDLE lr_Technique = nullptr;
    ASSERT_EQ(e->FindNextValidTechnique(nullptr, &lr_Technique), D3D_OK);
    ASSERT_EQ(e->SetTechnique(lr_Technique), D3D_OK);
    // The pass that reads the noise: the occlusion, after the prefilter's two.
    const UINT k_OcclusionPass = 2;
    D3DXPASS_DESC lr_Pass;
    ASSERT_EQ(e->GetPassDesc(e->GetPass(lr_Technique, k_OcclusionPass), &lr_Pass), D3D_OK);
    ASSERT_STREQ(lr_Pass.Name, "Occlusion");
    ASSERT_NE(lr_Pass.pPixelShaderFunction, nullptr);
    const auto lr_Table = ConstantTable(lr_Pass.pPixelShaderFunction);
    ASSERT_EQ(lr_Table.count("sddx"), 1u);
    ASSERT_EQ(lr_Table.count("DepthSampler"), 1u);
    ASSERT_EQ(lr_Table.count("NoiseSampler"), 1u);
    EXPECT_EQ(lr_Table.at("sddx").first, D3DXRS_FLOAT4);
    EXPECT_EQ(lr_Table.at("DepthSampler").first, D3DXRS_SAMPLER);

    IDirect3DTexture9* lr_Depth_ = nullptr;
    IDirect3DTexture9* lr_Noise_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R32F, D3DPOOL_DEFAULT, &lr_Depth_, nullptr),
        D3D_OK);
    ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &lr_Noise_, nullptr), D3D_OK);
    ASSERT_EQ(e->SetTexture(e->GetParameterBySemantic(nullptr, "ZBackBuffer"), lr_Depth_), D3D_OK);
    ASSERT_EQ(e->SetTexture(e->GetParameterBySemantic(nullptr, "NoiseTexture"), lr_Noise_), D3D_OK);
    const D3DXVECTOR4 lr_Pixel(1.0f / 16, 1.0f / 12, 0, 0);
    ASSERT_EQ(e->SetVector("sddx", &lr_Pixel), D3D_OK);

    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(k_OcclusionPass), D3D_OK);
    float lr_Register[4] = {};
    ASSERT_EQ(mr_Device_->GetPixelShaderConstantF(lr_Table.at("sddx").second, lr_Register, 1), D3D_OK);
    EXPECT_EQ(lr_Register[0], 1.0f / 16);
    EXPECT_EQ(lr_Register[1], 1.0f / 12);
    const struct {
        const char* Sampler;
        IDirect3DTexture9* Texture;
        DWORD AddressU;
    } lr_Samplers[] = {{"DepthSampler", lr_Depth_, D3DTADDRESS_CLAMP}, {"NoiseSampler", lr_Noise_, D3DTADDRESS_WRAP}};
    for (const auto& lr_Sampler : lr_Samplers) {
        SCOPED_TRACE(lr_Sampler.Sampler);
        const DWORD lr_Stage = lr_Table.at(lr_Sampler.Sampler).second;
        IDirect3DBaseTexture9* lr_Bound_ = nullptr;
        ASSERT_EQ(mr_Device_->GetTexture(lr_Stage, &lr_Bound_), D3D_OK);
        EXPECT_EQ(lr_Bound_, lr_Sampler.Texture);
        if (lr_Bound_) lr_Bound_->Release();
        DWORD lr_Address = 0;
        ASSERT_EQ(mr_Device_->GetSamplerState(lr_Stage, D3DSAMP_ADDRESSU, &lr_Address), D3D_OK);
        EXPECT_EQ(lr_Address, lr_Sampler.AddressU);
    }
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(e->Release(), 0u);
    lr_Depth_->Release();
    lr_Noise_->Release();
}

}  // namespace

TEST_F(SoftDeviceEffectTest, UniformsWithSemanticsReachTheirRegisters) {
    // A host's matrices usually carry semantics; the shader must still be given them.
    const std::string ls_Text =
        "float Scale : SCALE = 1.5;\nfloat4x4 World : WORLD;\n"
        "float4 PS(float2 uv : TEXCOORD0) : COLOR0 { return mul(float4(uv, 0, 1), World) * Scale; }\n"
        "technique T { pass P { PixelShader = compile ps_2_0 PS(); } }\n";
    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffect(mr_Device_, ls_Text.data(), static_cast<UINT>(ls_Text.size()), nullptr, nullptr, 0,
                               nullptr, &e, nullptr),
              D3D_OK);
    D3DXPASS_DESC lr_Pass;
    ASSERT_EQ(e->GetPassDesc(e->GetPass(e->GetTechnique(0), 0), &lr_Pass), D3D_OK);
    const auto lr_Table = ConstantTable(lr_Pass.pPixelShaderFunction);
    ASSERT_EQ(lr_Table.count("Scale"), 1u);
    ASSERT_EQ(lr_Table.count("World"), 1u);
    EXPECT_EQ(e->GetParameterBySemantic(nullptr, "WORLD"), e->GetParameterByName(nullptr, "World"));
    D3DXMATRIX lr_World;
    D3DXMatrixIdentity(&lr_World);
    lr_World._41 = 7.0f;
    ASSERT_EQ(e->SetMatrix("World", &lr_World), D3D_OK);
    ASSERT_EQ(e->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(e->BeginPass(0), D3D_OK);
    float lr_Scale[4] = {};
    ASSERT_EQ(mr_Device_->GetPixelShaderConstantF(lr_Table.at("Scale").second, lr_Scale, 1), D3D_OK);
    EXPECT_EQ(lr_Scale[0], 1.5f);
    float lr_Rows[16] = {};
    ASSERT_EQ(mr_Device_->GetPixelShaderConstantF(lr_Table.at("World").second, lr_Rows, 4), D3D_OK);
    // Column-major in the registers: the translation ends the first register.
    EXPECT_EQ(lr_Rows[3], 7.0f);
    ASSERT_EQ(e->EndPass(), D3D_OK);
    ASSERT_EQ(e->End(), D3D_OK);
    EXPECT_EQ(e->Release(), 0u);
}
