// An effect run unchanged on the software device.
#include "SoftDeviceFixture.h"
#include "SoftTestDevice.h"

#include <d3dx9.h>
#include <gtest/gtest.h>
#include <soft/SoftDeviceControl.h>

#include <string>

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
    const Vertex lr_Quad[4] = {{0, 0, 0.5f, 1, 0, 0}, {16, 0, 0.5f, 1, 1, 0}, {0, 16, 0.5f, 1, 0, 1},
                               {16, 16, 0.5f, 1, 1, 1}};
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

}  // namespace
