// What colours the pixels: the fixed-function texture stages, texture
// sampling at Direct3D 9's texel centres, and pixel shaders writing one or
// several render targets. Expected colours are worked out by hand.
#include "RasterTestUtil.h"

using namespace raster_test;

namespace {

// Diffuse (a, r, g, b) = (0x80, 0x40, 0x20, 0x10); texture factor (0x40, 0x40, 0x80, 0x20).
const D3DCOLOR k_Diffuse = 0x80402010;
const D3DCOLOR k_Factor = 0x40408020;

// ps_2_0: mov oC0, c0; mov oC1, c1.
const DWORD k_TwoTargets[] = {D3DPS_VERSION(2, 0), 0x02000001, 0x800F0800, 0xA0E40000,
                              0x02000001,          0x800F0801, 0xA0E40001, 0x0000FFFF};
// ps_2_0: dcl t0; dcl_2d s0; texld r0, t0, s0; mov oC0, r0.
const DWORD k_TextureCopy[] = {D3DPS_VERSION(2, 0), 0x0200001F, 0x80000000, 0xB00F0000, 0x0200001F,
                               0x90000000,          0xA00F0800, 0x03000042, 0x800F0000, 0xB0E40000,
                               0xA0E40800,          0x02000001, 0x800F0800, 0x80E40000, 0x0000FFFF};

}  // namespace

class PixelStageTest : public RasterFixture {
protected:
    void SetStage(DWORD stage, DWORD colorOp, DWORD arg1, DWORD arg2, DWORD alphaOp = D3DTOP_SELECTARG1,
                  DWORD alphaArg1 = D3DTA_DIFFUSE) {
        mr_Device_->SetTextureStageState(stage, D3DTSS_COLOROP, colorOp);
        mr_Device_->SetTextureStageState(stage, D3DTSS_COLORARG1, arg1);
        mr_Device_->SetTextureStageState(stage, D3DTSS_COLORARG2, arg2);
        mr_Device_->SetTextureStageState(stage, D3DTSS_ALPHAOP, alphaOp);
        mr_Device_->SetTextureStageState(stage, D3DTSS_ALPHAARG1, alphaArg1);
    }
    // A texture whose red channel is 16 x column and green 16 x row.
    std::vector<DWORD> Ramp() const {
        std::vector<DWORD> lr_Texels(k_Size * k_Size);
        for (UINT y = 0; y < k_Size; ++y)
            for (UINT x = 0; x < k_Size; ++x) lr_Texels[y * k_Size + x] = D3DCOLOR_ARGB(0xFF, x * 16, y * 16, 0x5A);
        return lr_Texels;
    }
    IDirect3DPixelShader9* Shader(const DWORD* tokens) {
        IDirect3DPixelShader9* lr_Shader_ = nullptr;
        EXPECT_EQ(mr_Device_->CreatePixelShader(tokens, &lr_Shader_), D3D_OK);
        return lr_Shader_;
    }
};

TEST_F(PixelStageTest, ColorOperationsOnDiffuseAndFactor) {
    mr_Device_->SetRenderState(D3DRS_TEXTUREFACTOR, k_Factor);
    struct Case {
        DWORD Op;
        D3DCOLOR Expected;
    };
    // MODULATE: r 0x40 x 0x40 / 255 = 16.1, g 0x20 x 0x80 / 255 = 16.1, b 0x10 x 0x20 / 255 = 2.
    for (Case lr_Case :
         {Case{D3DTOP_SELECTARG1, 0x80402010}, Case{D3DTOP_SELECTARG2, 0x80408020}, Case{D3DTOP_MODULATE, 0x80101002},
          Case{D3DTOP_ADD, 0x8080A030}, Case{D3DTOP_DISABLE, k_Diffuse}}) {
        SetStage(0, lr_Case.Op, D3DTA_DIFFUSE, D3DTA_TFACTOR);
        DrawRect(0, 0, 2, 2, k_Diffuse);
        EXPECT_EQ(Pixel(0, 0), lr_Case.Expected) << lr_Case.Op;
    }
    // Stage 1 adds the factor to stage 0's product; alpha selects the factor's.
    SetStage(0, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_TFACTOR);
    SetStage(1, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
    DrawRect(0, 0, 2, 2, k_Diffuse);
    EXPECT_EQ(Pixel(0, 0), 0x40509022u);
    // Complement and alpha replicate: 1 - alpha of the diffuse (0x7F) in every channel.
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_DIFFUSE | 0x10 | 0x20, D3DTA_TFACTOR);
    SetStage(1, D3DTOP_DISABLE, D3DTA_CURRENT, D3DTA_TFACTOR);
    DrawRect(0, 0, 2, 2, k_Diffuse);
    EXPECT_EQ(Pixel(0, 0), 0x807F7F7Fu);
}

TEST_F(PixelStageTest, TextureArgumentAndCoordinateSet) {
    // Two texels; set 0 points at the left one, set 1 at the right one.
    IDirect3DTexture9* lr_Texture_ = MakeTexture(2, 1, {0xFF808080, 0xFF2040C0});
    ASSERT_NE(lr_Texture_, nullptr);
    mr_Device_->SetTexture(0, lr_Texture_);
    SetStage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    mr_Device_->SetFVF(k_TexturedFVF);
    TexturedVertex lr_Quad[] = {{0, 0, 0.5f, 1, k_Diffuse, 0.25f, 0.5f, 0.75f, 0.5f},
                                {4, 0, 0.5f, 1, k_Diffuse, 0.25f, 0.5f, 0.75f, 0.5f},
                                {0, 4, 0.5f, 1, k_Diffuse, 0.25f, 0.5f, 0.75f, 0.5f},
                                {4, 4, 0.5f, 1, k_Diffuse, 0.25f, 0.5f, 0.75f, 0.5f}};
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Quad, sizeof(TexturedVertex)), D3D_OK);
    // 0x40 x 0x80 / 255 = 32.1, 0x20 x 0x80 / 255 = 16.1, 0x10 x 0x80 / 255 = 8.
    EXPECT_EQ(Pixel(1, 1), 0xFF201008u);
    mr_Device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Quad, sizeof(TexturedVertex)), D3D_OK);
    // 0x40 x 0x20 / 255 = 8, 0x20 x 0x40 / 255 = 8, 0x10 x 0xC0 / 255 = 12.
    EXPECT_EQ(Pixel(1, 1), 0xFF08080Cu);
    mr_Device_->SetTexture(0, nullptr);
    lr_Texture_->Release();

    // Without a texture the stage keeps the diffuse colour and alpha.
    mr_Device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    mr_Device_->SetFVF(k_ColorFVF);
    DrawRect(0, 0, 2, 2, k_Diffuse);
    EXPECT_EQ(Pixel(0, 0), k_Diffuse);
}

TEST_F(PixelStageTest, TexelCentresMapOntoPixelsOnlyWithTheHalfPixelOffset) {
    IDirect3DTexture9* lr_Texture_ = MakeTexture(k_Size, k_Size, Ramp());
    ASSERT_NE(lr_Texture_, nullptr);
    mr_Device_->SetTexture(0, lr_Texture_);
    mr_Device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    mr_Device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    mr_Device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    mr_Device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    DrawTexturedRect(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF);
    EXPECT_EQ(Pixels(), Ramp());

    // Without the offset pixel x samples halfway between texels x - 1 and x.
    DrawTexturedRect(0, 0, 16, 16, 0xFFFFFFFF);
    for (UINT y = 1; y < k_Size; ++y)
        for (UINT x = 1; x < k_Size; ++x)
            ASSERT_EQ(Pixel(x, y), D3DCOLOR_ARGB(0xFF, x * 16 - 8, y * 16 - 8, 0x5A)) << x << "," << y;

    // The same copy through a ps_2_0 shader.
    IDirect3DPixelShader9* lr_Shader_ = Shader(k_TextureCopy);
    ASSERT_NE(lr_Shader_, nullptr);
    mr_Device_->SetPixelShader(lr_Shader_);
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawTexturedRect(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFF);
    EXPECT_TRUE(LastDraw().Rasterised) << LastDraw().NotRasterisedReason;
    EXPECT_EQ(Pixels(), Ramp());
    mr_Device_->SetPixelShader(nullptr);
    lr_Shader_->Release();
    mr_Device_->SetTexture(0, nullptr);
    lr_Texture_->Release();
}

TEST_F(PixelStageTest, ShaderOutputsGoToTheirRenderTargets) {
    IDirect3DSurface9* lr_Second_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateRenderTarget(k_Size, k_Size, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                             &lr_Second_, nullptr),
              D3D_OK);
    mr_Device_->SetRenderTarget(1, lr_Second_);
    IDirect3DPixelShader9* lr_Shader_ = Shader(k_TwoTargets);
    ASSERT_NE(lr_Shader_, nullptr);
    mr_Device_->SetPixelShader(lr_Shader_);
    const float k_Constants[2][4] = {{1, 0, 0.25f, 1}, {0, 0.5f, 1, 0.5f}};
    mr_Device_->SetPixelShaderConstantF(0, &k_Constants[0][0], 2);
    DrawRect(0, 0, 2, 2, 0);
    EXPECT_TRUE(LastDraw().Rasterised) << LastDraw().NotRasterisedReason;
    // 0.25 x 255 = 63.75 and 0.5 x 255 = 127.5 round to 64 and 128.
    EXPECT_EQ(Pixel(1, 1), 0xFFFF0040u);
    EXPECT_EQ(Pixel(1, 1, lr_Second_), 0x800080FFu);
    EXPECT_EQ(Pixel(2, 1, lr_Second_), 0u);

    // Each target has its own write mask.
    mr_Device_->SetRenderState(D3DRS_COLORWRITEENABLE1, D3DCOLORWRITEENABLE_BLUE);
    mr_Device_->ColorFill(lr_Second_, nullptr, 0);
    DrawRect(0, 0, 2, 2, 0);
    EXPECT_EQ(Pixel(1, 1, lr_Second_), 0x000000FFu);

    mr_Device_->SetPixelShader(nullptr);
    mr_Device_->SetRenderTarget(1, nullptr);
    lr_Shader_->Release();
    lr_Second_->Release();
}

// The device control reaches the draws: one pixel sampling texels 10, 11
// over 20, 21 halfway across and a quarter down reads 13 in float and 14
// with fixed-point filtering.
TEST_F(PixelStageTest, FixedPointFilteringIsTheDevicesChoice) {
    IDirect3DTexture9* lr_Texture_ = MakeTexture(2, 2,
                                                 {D3DCOLOR_ARGB(0xFF, 10, 0, 0), D3DCOLOR_ARGB(0xFF, 11, 0, 0),
                                                  D3DCOLOR_ARGB(0xFF, 20, 0, 0), D3DCOLOR_ARGB(0xFF, 21, 0, 0)});
    ASSERT_NE(lr_Texture_, nullptr);
    mr_Device_->SetTexture(0, lr_Texture_);
    mr_Device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    mr_Device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    // Pixel (0, 0)'s centre at u = 0.5, v = 0.375.
    DrawTexturedRect(-0.5f, -0.75f, 0.5f, 1.25f, 0xFFFFFFFF);
    EXPECT_EQ((Pixel(0, 0) >> 16) & 0xFF, 13u);
    mr_Control_->SetFixedPointFiltering(true);
    DrawTexturedRect(-0.5f, -0.75f, 0.5f, 1.25f, 0xFFFFFFFF);
    EXPECT_EQ((Pixel(0, 0) >> 16) & 0xFF, 14u);
    mr_Control_->SetFixedPointFiltering(false);
    mr_Device_->SetTexture(0, nullptr);
    lr_Texture_->Release();
}
