// Device state: defaults, Set/Get, state blocks, render target and viewport.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

#include <cstring>

using namespace device_test;

class StateTests : public SoftDeviceFixture {
protected:
    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD lr_Value = 0xDEADBEEFu;
        EXPECT_EQ(mr_Device_->GetRenderState(state, &lr_Value), D3D_OK);
        return lr_Value;
    }
    DWORD SamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) {
        DWORD lr_Value = 0xDEADBEEFu;
        EXPECT_EQ(mr_Device_->GetSamplerState(sampler, type, &lr_Value), D3D_OK);
        return lr_Value;
    }
    static DWORD Bits(float value) {
        DWORD lr_Bits;
        std::memcpy(&lr_Bits, &value, 4);
        return lr_Bits;
    }
};

TEST_F(StateTests, DocumentedDefaults) {
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));  // an automatic depth-stencil exists
    EXPECT_EQ(RenderState(D3DRS_ZWRITEENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_LESSEQUAL));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(RenderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(RenderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_COLORWRITEENABLE), 0xFu);
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    EXPECT_EQ(RenderState(D3DRS_STENCILMASK), 0xFFFFFFFFu);
    EXPECT_EQ(RenderState(D3DRS_FOGEND), Bits(1.0f));
    EXPECT_EQ(RenderState(D3DRS_POINTSIZE_MAX), Bits(64.0f));
    EXPECT_EQ(RenderState(D3DRS_BLENDOP), static_cast<DWORD>(D3DBLENDOP_ADD));
    EXPECT_EQ(RenderState(D3DRS_SCISSORTESTENABLE), static_cast<DWORD>(FALSE));
    for (DWORD lr_Sampler : {0u, 15u}) {
        EXPECT_EQ(SamplerState(lr_Sampler, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
        EXPECT_EQ(SamplerState(lr_Sampler, D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(SamplerState(lr_Sampler, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(SamplerState(lr_Sampler, D3DSAMP_MIPFILTER), static_cast<DWORD>(D3DTEXF_NONE));
        EXPECT_EQ(SamplerState(lr_Sampler, D3DSAMP_MAXANISOTROPY), 1u);
    }
    EXPECT_EQ(SamplerState(D3DVERTEXTEXTURESAMPLER0, D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_WRAP));
    DWORD lr_Op = 0;
    mr_Device_->GetTextureStageState(0, D3DTSS_COLOROP, &lr_Op);
    EXPECT_EQ(lr_Op, static_cast<DWORD>(D3DTOP_MODULATE));
    mr_Device_->GetTextureStageState(1, D3DTSS_COLOROP, &lr_Op);
    EXPECT_EQ(lr_Op, static_cast<DWORD>(D3DTOP_DISABLE));
    mr_Device_->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &lr_Op);
    EXPECT_EQ(lr_Op, 3u);
    D3DMATRIX lr_World;
    mr_Device_->GetTransform(D3DTS_WORLD, &lr_World);
    EXPECT_EQ(lr_World._11, 1.0f);
    EXPECT_EQ(lr_World._12, 0.0f);
    D3DVIEWPORT9 lr_View;
    mr_Device_->GetViewport(&lr_View);
    EXPECT_EQ(lr_View.Width, 800u);
    EXPECT_EQ(lr_View.Height, 600u);
    EXPECT_EQ(lr_View.MaxZ, 1.0f);
}

TEST_F(StateTests, GetsReturnWhatWasSetAndBadIndicesFail) {
    mr_Device_->SetRenderState(D3DRS_BLENDFACTOR, 0x12345678u);
    EXPECT_EQ(RenderState(D3DRS_BLENDFACTOR), 0x12345678u);
    mr_Device_->SetSamplerState(7, D3DSAMP_BORDERCOLOR, 0xFF00FF00u);
    EXPECT_EQ(SamplerState(7, D3DSAMP_BORDERCOLOR), 0xFF00FF00u);
    EXPECT_EQ(SamplerState(6, D3DSAMP_BORDERCOLOR), 0u);
    EXPECT_EQ(mr_Device_->SetSamplerState(16, D3DSAMP_BORDERCOLOR, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->SetTexture(16, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(256), 0), D3DERR_INVALIDCALL);

    float lr_Constants[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(mr_Device_->SetPixelShaderConstantF(10, lr_Constants, 2), D3D_OK);
    float lr_Back[8] = {};
    ASSERT_EQ(mr_Device_->GetPixelShaderConstantF(10, lr_Back, 2), D3D_OK);
    EXPECT_EQ(std::memcmp(lr_Constants, lr_Back, sizeof(lr_Back)), 0);
    EXPECT_EQ(mr_Device_->SetPixelShaderConstantF(223, lr_Constants, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->SetVertexShaderConstantF(255, lr_Constants, 1), D3D_OK);

    D3DLIGHT9 lr_Light{};
    lr_Light.Type = D3DLIGHT_POINT;
    lr_Light.Range = 42.0f;
    ASSERT_EQ(mr_Device_->SetLight(1000, &lr_Light), D3D_OK);
    D3DLIGHT9 lr_Got{};
    ASSERT_EQ(mr_Device_->GetLight(1000, &lr_Got), D3D_OK);
    EXPECT_EQ(lr_Got.Range, 42.0f);
    EXPECT_EQ(mr_Device_->GetLight(999, &lr_Got), D3DERR_INVALIDCALL);
    mr_Device_->LightEnable(1000, TRUE);
    BOOL lr_On = FALSE;
    mr_Device_->GetLightEnable(1000, &lr_On);
    EXPECT_NE(lr_On, FALSE);

    RECT lr_Scissor{1, 2, 3, 4};
    mr_Device_->SetScissorRect(&lr_Scissor);
    RECT lr_GotScissor{};
    mr_Device_->GetScissorRect(&lr_GotScissor);
    EXPECT_EQ(lr_GotScissor.bottom, 4);

    mr_Device_->SetFVF(k_VertexFVF);
    DWORD lr_FVF = 0;
    mr_Device_->GetFVF(&lr_FVF);
    EXPECT_EQ(lr_FVF, k_VertexFVF);
}

TEST_F(StateTests, SetRenderTargetResetsTheViewportAndNullTargetZeroFails) {
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateRenderTarget(256, 128, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr),
        D3D_OK);
    D3DVIEWPORT9 lr_View{5, 5, 50, 50, 0.25f, 0.5f};
    ASSERT_EQ(mr_Device_->SetViewport(&lr_View), D3D_OK);
    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    ASSERT_EQ(mr_Device_->SetRenderTarget(0, lr_Target_), D3D_OK);
    mr_Device_->GetViewport(&lr_View);
    EXPECT_EQ(lr_View.X, 0u);
    EXPECT_EQ(lr_View.Width, 256u);
    EXPECT_EQ(lr_View.Height, 128u);
    EXPECT_EQ(lr_View.MinZ, 0.0f);
    EXPECT_EQ(lr_View.MaxZ, 1.0f);
    // A viewport larger than the render target is refused.
    D3DVIEWPORT9 lr_Large{0, 0, 800, 600, 0.0f, 1.0f};
    EXPECT_EQ(mr_Device_->SetViewport(&lr_Large), D3DERR_INVALIDCALL);

    EXPECT_EQ(mr_Device_->SetRenderTarget(0, nullptr), D3DERR_INVALIDCALL);
    D3DCAPS9 lr_Caps;
    mr_Device_->GetDeviceCaps(&lr_Caps);
    EXPECT_EQ(mr_Device_->SetRenderTarget(lr_Caps.NumSimultaneousRTs, lr_Target_), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->SetRenderTarget(1, nullptr), D3D_OK);
    IDirect3DSurface9* lr_Got_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->GetRenderTarget(1, &lr_Got_), D3DERR_NOTFOUND);
    EXPECT_EQ(lr_Got_, nullptr);
    // A depth-stencil surface is no render target, nor a plain texture's level.
    IDirect3DSurface9* lr_Depth_ = nullptr;
    mr_Device_->GetDepthStencilSurface(&lr_Depth_);
    EXPECT_EQ(mr_Device_->SetRenderTarget(0, lr_Depth_), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->SetDepthStencilSurface(lr_Back_), D3DERR_INVALIDCALL);

    ASSERT_EQ(mr_Device_->SetRenderTarget(0, lr_Back_), D3D_OK);
    mr_Device_->GetViewport(&lr_View);
    EXPECT_EQ(lr_View.Width, 800u);
    lr_Depth_->Release();
    lr_Back_->Release();
    lr_Target_->Release();
}

TEST_F(StateTests, StateBlockCapturesAtCreationAndAppliesBack) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    mr_Device_->SetTexture(2, lr_Texture_);
    D3DVIEWPORT9 lr_View{1, 2, 30, 40, 0.0f, 0.5f};
    mr_Device_->SetViewport(&lr_View);
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Block_), D3D_OK);

    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    mr_Device_->SetTexture(2, nullptr);
    D3DVIEWPORT9 lr_Other{0, 0, 10, 10, 0.0f, 1.0f};
    mr_Device_->SetViewport(&lr_Other);
    // The block holds the texture it captured.
    lr_Texture_->Release();
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 0u);

    ASSERT_EQ(lr_Block_->Apply(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    IDirect3DBaseTexture9* lr_Bound_ = nullptr;
    mr_Device_->GetTexture(2, &lr_Bound_);
    EXPECT_EQ(lr_Bound_, static_cast<IDirect3DBaseTexture9*>(lr_Texture_));
    lr_Bound_->Release();
    D3DVIEWPORT9 lr_Got;
    mr_Device_->GetViewport(&lr_Got);
    EXPECT_EQ(lr_Got.Width, 30u);
    EXPECT_EQ(lr_Got.MaxZ, 0.5f);

    // Capture refreshes.
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    ASSERT_EQ(lr_Block_->Capture(), D3D_OK);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    lr_Block_->Apply();
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    mr_Device_->SetTexture(2, nullptr);
    lr_Block_->Release();
}

TEST_F(StateTests, RenderTargetAndDepthStencilAreNotInStateBlocks) {
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Block_), D3D_OK);
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateRenderTarget(64, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr),
        D3D_OK);
    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    mr_Device_->SetRenderTarget(0, lr_Target_);
    mr_Device_->SetDepthStencilSurface(nullptr);
    lr_Block_->Apply();
    IDirect3DSurface9* lr_Now_ = nullptr;
    mr_Device_->GetRenderTarget(0, &lr_Now_);
    EXPECT_EQ(lr_Now_, lr_Target_);
    lr_Now_->Release();
    EXPECT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Now_), D3DERR_NOTFOUND);
    // The viewport is state, and comes back from the block even though the target did not.
    D3DVIEWPORT9 lr_View;
    mr_Device_->GetViewport(&lr_View);
    EXPECT_EQ(lr_View.Width, 800u);
    mr_Device_->SetRenderTarget(0, lr_Back_);
    lr_Back_->Release();
    lr_Target_->Release();
    lr_Block_->Release();
    // The automatic depth-stencil surface is gone from the device only, not destroyed.
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Surface, -1, true), 2u);
}

TEST_F(StateTests, RecordedBlocksHoldOnlyWhatWasSet) {
    ASSERT_EQ(mr_Device_->BeginStateBlock(), D3D_OK);
    EXPECT_EQ(mr_Device_->BeginStateBlock(), D3DERR_INVALIDCALL);
    mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    mr_Device_->SetSamplerState(1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    // Recording leaves the device as it was.
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    ASSERT_EQ(mr_Device_->EndStateBlock(&lr_Block_), D3D_OK);
    ASSERT_NE(lr_Block_, nullptr);
    IDirect3DStateBlock9* lr_None_ = reinterpret_cast<IDirect3DStateBlock9*>(0x1);
    EXPECT_EQ(mr_Device_->EndStateBlock(&lr_None_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_None_, nullptr);
    // The live list names the block by the pointer the application holds.
    std::vector<SoftLiveObject> lr_Live = mr_Control_->GetLiveObjects();
    bool lr_Listed = false;
    for (const SoftLiveObject& lr_Object : lr_Live)
        lr_Listed = lr_Listed || (lr_Object.Kind == SoftObjectKind::StateBlock && lr_Object.Object == lr_Block_);
    EXPECT_TRUE(lr_Listed);

    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    IDirect3DStateBlock9* lr_Recorded_ = lr_Block_;
    ASSERT_EQ(lr_Recorded_->Apply(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(SamplerState(1, D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));  // not recorded, not touched
    lr_Recorded_->Release();
}

TEST_F(StateTests, PixelAndVertexBlocksHoldTheirOwnStates) {
    IDirect3DStateBlock9* lr_Pixel_ = nullptr;
    IDirect3DStateBlock9* lr_Vertex_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_PIXELSTATE, &lr_Pixel_), D3D_OK);
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_VERTEXSTATE, &lr_Vertex_), D3D_OK);
    mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);  // pixel state
    mr_Device_->SetRenderState(D3DRS_LIGHTING, FALSE);         // vertex state
    lr_Pixel_->Apply();
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), static_cast<DWORD>(FALSE));
    lr_Vertex_->Apply();
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));
    IDirect3DStateBlock9* lr_Bad_ = reinterpret_cast<IDirect3DStateBlock9*>(0x1);
    EXPECT_EQ(mr_Device_->CreateStateBlock(static_cast<D3DSTATEBLOCKTYPE>(9), &lr_Bad_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Bad_, nullptr);
    lr_Pixel_->Release();
    lr_Vertex_->Release();
}
