// Reset: what blocks it, what it re-creates, and the cooperative level around it.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

using namespace device_test;

class ResetTests : public SoftDeviceFixture {
protected:
    D3DPRESENT_PARAMETERS Params(UINT width, UINT height, D3DFORMAT format) {
        D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
        lr_Params.BackBufferWidth = width;
        lr_Params.BackBufferHeight = height;
        lr_Params.BackBufferFormat = format;
        return lr_Params;
    }
    void ExpectRefusedThenRecovered(IUnknown* blocker) {
        D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
        EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3DERR_INVALIDCALL);
        EXPECT_EQ(mr_Device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
        blocker->Release();
        lr_Params = DefaultPresentParameters();
        EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
        EXPECT_EQ(mr_Device_->TestCooperativeLevel(), D3D_OK);
    }
};

TEST_F(ResetTests, SucceedsWithNewSizeAndFormat) {
    D3DVIEWPORT9 lr_Small{10, 10, 20, 20, 0.2f, 0.8f};
    mr_Device_->SetViewport(&lr_Small);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DPRESENT_PARAMETERS lr_Params = Params(1024, 768, D3DFMT_A8R8G8B8);
    lr_Params.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);

    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Target_), D3D_OK);
    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    EXPECT_EQ(lr_Target_, lr_Back_);
    D3DSURFACE_DESC lr_Desc;
    lr_Target_->GetDesc(&lr_Desc);
    EXPECT_EQ(lr_Desc.Width, 1024u);
    EXPECT_EQ(lr_Desc.Height, 768u);
    EXPECT_EQ(lr_Desc.Format, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    lr_Depth_->GetDesc(&lr_Desc);
    EXPECT_EQ(lr_Desc.Format, D3DFMT_D16);
    EXPECT_EQ(lr_Desc.Width, 1024u);

    D3DVIEWPORT9 lr_View;
    mr_Device_->GetViewport(&lr_View);
    EXPECT_EQ(lr_View.X, 0u);
    EXPECT_EQ(lr_View.Width, 1024u);
    EXPECT_EQ(lr_View.Height, 768u);
    EXPECT_EQ(lr_View.MinZ, 0.0f);
    EXPECT_EQ(lr_View.MaxZ, 1.0f);
    DWORD lr_Cull = 0;
    mr_Device_->GetRenderState(D3DRS_CULLMODE, &lr_Cull);
    EXPECT_EQ(lr_Cull, static_cast<DWORD>(D3DCULL_CCW));

    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    mr_Device_->GetSwapChain(0, &lr_Chain_);
    D3DPRESENT_PARAMETERS lr_Now;
    lr_Chain_->GetPresentParameters(&lr_Now);
    EXPECT_EQ(lr_Now.BackBufferWidth, 1024u);
    EXPECT_EQ(lr_Now.BackBufferFormat, D3DFMT_A8R8G8B8);
    lr_Chain_->Release();
    lr_Depth_->Release();
    lr_Back_->Release();
    lr_Target_->Release();
}

TEST_F(ResetTests, MoreBackBuffersAndNoDepthStencil) {
    D3DPRESENT_PARAMETERS lr_Params = Params(320, 240, D3DFMT_X8R8G8B8);
    lr_Params.BackBufferCount = 2;
    lr_Params.EnableAutoDepthStencil = FALSE;
    ASSERT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
    IDirect3DSurface9* lr_Second_ = nullptr;
    ASSERT_EQ(mr_Device_->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &lr_Second_), D3D_OK);
    lr_Second_->Release();
    IDirect3DSurface9* lr_Depth_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3DERR_NOTFOUND);
    EXPECT_EQ(lr_Depth_, nullptr);
    DWORD lr_Z = 7;
    mr_Device_->GetRenderState(D3DRS_ZENABLE, &lr_Z);
    EXPECT_EQ(lr_Z, static_cast<DWORD>(D3DZB_FALSE));
}

TEST_F(ResetTests, RefusedWhileADefaultPoolTextureLives) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                        &lr_Texture_, nullptr),
              D3D_OK);
    ExpectRefusedThenRecovered(lr_Texture_);
}

TEST_F(ResetTests, RefusedWhileADefaultPoolSurfaceOrBufferLives) {
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateRenderTarget(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr),
        D3D_OK);
    ExpectRefusedThenRecovered(lr_Target_);
    IDirect3DVertexBuffer9* lr_Buffer_ = MakeVertexBuffer(mr_Device_, 4, D3DPOOL_DEFAULT);
    ASSERT_NE(lr_Buffer_, nullptr);
    ExpectRefusedThenRecovered(lr_Buffer_);
    IDirect3DIndexBuffer9* lr_Indices_ = MakeIndexBuffer(mr_Device_, {0, 1, 2}, D3DPOOL_DEFAULT);
    ASSERT_NE(lr_Indices_, nullptr);
    ExpectRefusedThenRecovered(lr_Indices_);
}

TEST_F(ResetTests, RefusedWhileABackBufferOrTheDepthStencilIsHeld) {
    ExpectRefusedThenRecovered(GetBackBuffer0());
    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    ExpectRefusedThenRecovered(lr_Depth_);
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Target_), D3D_OK);
    ExpectRefusedThenRecovered(lr_Target_);
}

TEST_F(ResetTests, RefusedWhileAnAdditionalSwapChainLives) {
    D3DPRESENT_PARAMETERS lr_Params = Params(64, 64, D3DFMT_X8R8G8B8);
    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateAdditionalSwapChain(&lr_Params, &lr_Chain_), D3D_OK);
    EXPECT_EQ(mr_Device_->GetNumberOfSwapChains(), 1u);  // additional chains are not counted
    ExpectRefusedThenRecovered(lr_Chain_);
}

TEST_F(ResetTests, ManagedAndSystemMemoryResourcesAndStateBlocksSurvive) {
    IDirect3DTexture9* lr_Managed_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Managed_, nullptr), D3D_OK);
    IDirect3DSurface9* lr_System_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateOffscreenPlainSurface(16, 16, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &lr_System_, nullptr),
              D3D_OK);
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Block_), D3D_OK);
    IDirect3DVertexBuffer9* lr_Buffer_ = MakeVertexBuffer(mr_Device_, 4);
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
    EXPECT_EQ(lr_Block_->Apply(), D3D_OK);
    D3DLOCKED_RECT lr_Lock;
    EXPECT_EQ(lr_Managed_->LockRect(0, &lr_Lock, nullptr, 0), D3D_OK);
    lr_Managed_->UnlockRect(0);
    lr_Buffer_->Release();
    lr_Block_->Release();
    lr_System_->Release();
    lr_Managed_->Release();
}

TEST_F(ResetTests, BoundDefaultPoolObjectsTheAppReleasedDoNotBlock) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                        &lr_Texture_, nullptr),
              D3D_OK);
    mr_Device_->SetTexture(0, lr_Texture_);
    lr_Texture_->Release();
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
    IDirect3DBaseTexture9* lr_Bound_ = reinterpret_cast<IDirect3DBaseTexture9*>(0x1);
    mr_Device_->GetTexture(0, &lr_Bound_);
    EXPECT_EQ(lr_Bound_, nullptr);  // reset unbinds
}

TEST_F(ResetTests, LostDeviceReportsUntilReset) {
    mr_Control_->SetDeviceLost(true);
    EXPECT_EQ(mr_Device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3DERR_DEVICELOST);
    mr_Control_->SetDeviceLost(false);
    EXPECT_EQ(mr_Device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
    EXPECT_EQ(mr_Device_->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(ResetTests, InvalidParametersLeaveTheDeviceNeedingReset) {
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    lr_Params.AutoDepthStencilFormat = D3DFMT_X8R8G8B8;
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(mr_Device_->Reset(nullptr), D3DERR_INVALIDCALL);
    lr_Params = DefaultPresentParameters();
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
}

TEST_F(ResetTests, StateBlockHoldingADefaultPoolTextureBlocksUntilReleased) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                        &lr_Texture_, nullptr),
              D3D_OK);
    ASSERT_EQ(mr_Device_->SetTexture(0, lr_Texture_), D3D_OK);
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Block_), D3D_OK);
    // The application lets go of the texture; only the captured block keeps it.
    mr_Device_->SetTexture(0, nullptr);
    lr_Texture_->Release();
    ExpectRefusedThenRecovered(lr_Block_);
}

TEST_F(ResetTests, StateBlockWithManagedResourcesSurvivesAReset) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(16, 16, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    ASSERT_EQ(mr_Device_->SetTexture(0, lr_Texture_), D3D_OK);
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Block_), D3D_OK);
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
    lr_Block_->Release();
    lr_Texture_->Release();
}
