// Faults on demand and call counts.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

using namespace device_test;

class FaultTests : public SoftDeviceFixture {};

TEST_F(FaultTests, TheNthNextCallFailsWithTheGivenResultAndANullOut) {
    mr_Control_->FailCall(SoftCall::CreateTexture, 2, E_OUTOFMEMORY);
    IDirect3DTexture9* lr_First_ = nullptr;
    IDirect3DTexture9* lr_Second_ = reinterpret_cast<IDirect3DTexture9*>(0x1);
    IDirect3DTexture9* lr_Third_ = nullptr;
    EXPECT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_First_, nullptr), D3D_OK);
    EXPECT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Second_, nullptr),
              E_OUTOFMEMORY);
    EXPECT_EQ(lr_Second_, nullptr);
    EXPECT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Third_, nullptr), D3D_OK);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateTexture), 3u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, D3DPOOL_MANAGED, false), 2u);
    lr_First_->Release();
    lr_Third_->Release();
}

TEST_F(FaultTests, GettersFailWithNullOutPointers) {
    mr_Control_->FailCall(SoftCall::GetRenderTarget, 1, D3DERR_NOTFOUND);
    mr_Control_->FailCall(SoftCall::GetSwapChain, 1, D3DERR_INVALIDCALL);
    mr_Control_->FailCall(SoftCall::GetBackBuffer, 1, D3DERR_INVALIDCALL);
    mr_Control_->FailCall(SoftCall::GetDepthStencilSurface, 1, D3DERR_NOTFOUND);
    IDirect3DSurface9* lr_Surface_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->GetRenderTarget(0, &lr_Surface_), D3DERR_NOTFOUND);
    EXPECT_EQ(lr_Surface_, nullptr);
    IDirect3DSwapChain9* lr_Chain_ = reinterpret_cast<IDirect3DSwapChain9*>(0x1);
    EXPECT_EQ(mr_Device_->GetSwapChain(0, &lr_Chain_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Chain_, nullptr);
    lr_Surface_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &lr_Surface_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Surface_, nullptr);
    lr_Surface_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Surface_), D3DERR_NOTFOUND);
    EXPECT_EQ(lr_Surface_, nullptr);
    // Each fault fires once.
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Surface_), D3D_OK);
    lr_Surface_->Release();

    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &lr_Texture_,
                                        nullptr),
              D3D_OK);
    mr_Control_->FailCall(SoftCall::GetSurfaceLevel, 1, D3DERR_INVALIDCALL);
    lr_Surface_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(lr_Texture_->GetSurfaceLevel(0, &lr_Surface_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Surface_, nullptr);
    EXPECT_EQ(RefCount(lr_Texture_), 1u);
    lr_Texture_->Release();
}

TEST_F(FaultTests, CreationCallsFailOnDemand) {
    struct Case {
        SoftCall Call;
        HRESULT (*Make)(IDirect3DDevice9*, IUnknown**);
    };
    const Case lr_Cases[] = {
        {SoftCall::CreateVertexBuffer,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, reinterpret_cast<IDirect3DVertexBuffer9**>(o),
                                          nullptr);
         }},
        {SoftCall::CreateIndexBuffer,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                         reinterpret_cast<IDirect3DIndexBuffer9**>(o), nullptr);
         }},
        {SoftCall::CreateRenderTarget,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE,
                                          reinterpret_cast<IDirect3DSurface9**>(o), nullptr);
         }},
        {SoftCall::CreateDepthStencilSurface,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateDepthStencilSurface(8, 8, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                 reinterpret_cast<IDirect3DSurface9**>(o), nullptr);
         }},
        {SoftCall::CreateOffscreenPlainSurface,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   reinterpret_cast<IDirect3DSurface9**>(o), nullptr);
         }},
        {SoftCall::CreateCubeTexture,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                         reinterpret_cast<IDirect3DCubeTexture9**>(o), nullptr);
         }},
        {SoftCall::CreateVolumeTexture,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateVolumeTexture(8, 8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           reinterpret_cast<IDirect3DVolumeTexture9**>(o), nullptr);
         }},
        {SoftCall::CreateStateBlock,
         [](IDirect3DDevice9* d, IUnknown** o) {
             return d->CreateStateBlock(D3DSBT_ALL, reinterpret_cast<IDirect3DStateBlock9**>(o));
         }},
        {SoftCall::CreatePixelShader,
         [](IDirect3DDevice9* d, IUnknown** o) {
             std::vector<DWORD> lr_Tokens = ShaderTokens(D3DPS_VERSION(2, 0), "main");
             return d->CreatePixelShader(lr_Tokens.data(), reinterpret_cast<IDirect3DPixelShader9**>(o));
         }},
        {SoftCall::CreateVertexShader,
         [](IDirect3DDevice9* d, IUnknown** o) {
             std::vector<DWORD> lr_Tokens = ShaderTokens(D3DVS_VERSION(2, 0), "main");
             return d->CreateVertexShader(lr_Tokens.data(), reinterpret_cast<IDirect3DVertexShader9**>(o));
         }},
        {SoftCall::CreateAdditionalSwapChain,
         [](IDirect3DDevice9* d, IUnknown** o) {
             D3DPRESENT_PARAMETERS lr_Params = SoftDeviceFixture::DefaultPresentParameters();
             return d->CreateAdditionalSwapChain(&lr_Params, reinterpret_cast<IDirect3DSwapChain9**>(o));
         }},
    };
    for (const Case& lr_Case : lr_Cases) {
        SCOPED_TRACE(static_cast<int>(lr_Case.Call));
        mr_Control_->FailCall(lr_Case.Call, 1, D3DERR_OUTOFVIDEOMEMORY);
        IUnknown* lr_Object_ = reinterpret_cast<IUnknown*>(0x1);
        EXPECT_EQ(lr_Case.Make(mr_Device_, &lr_Object_), D3DERR_OUTOFVIDEOMEMORY);
        EXPECT_EQ(lr_Object_, nullptr);
        ASSERT_EQ(lr_Case.Make(mr_Device_, &lr_Object_), D3D_OK);
        ASSERT_NE(lr_Object_, nullptr);
        EXPECT_EQ(lr_Object_->Release(), 0u);
        EXPECT_EQ(mr_Control_->GetCallCount(lr_Case.Call), 2u);
    }
}

TEST_F(FaultTests, LocksDrawsCopiesStateBlocksAndResetFailOnDemand) {
    IDirect3DVertexBuffer9* lr_Vertices_ = MakeVertexBuffer(mr_Device_, 4);
    IDirect3DIndexBuffer9* lr_Indices_ = MakeIndexBuffer(mr_Device_, {0, 1, 2});
    void* lr_Data = reinterpret_cast<void*>(0x1);
    mr_Control_->FailCall(SoftCall::VertexBufferLock, 1, D3DERR_WASSTILLDRAWING);
    EXPECT_EQ(lr_Vertices_->Lock(0, 0, &lr_Data, 0), D3DERR_WASSTILLDRAWING);
    EXPECT_EQ(lr_Data, nullptr);
    mr_Control_->FailCall(SoftCall::IndexBufferLock, 1, D3DERR_INVALIDCALL);
    lr_Data = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lr_Indices_->Lock(0, 0, &lr_Data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Data, nullptr);

    mr_Device_->SetFVF(k_VertexFVF);
    mr_Device_->SetStreamSource(0, lr_Vertices_, 0, sizeof(Vertex));
    mr_Device_->SetIndices(lr_Indices_);
    mr_Control_->FailCall(SoftCall::DrawIndexedPrimitive, 1, D3DERR_DRIVERINTERNALERROR);
    mr_Control_->FailCall(SoftCall::DrawPrimitive, 1, D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_DRIVERINTERNALERROR);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3D_OK);

    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    IDirect3DSurface9* lr_Target_ = nullptr;
    mr_Device_->CreateRenderTarget(800, 600, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr);
    mr_Control_->FailCall(SoftCall::StretchRect, 1, D3DERR_DEVICELOST);
    EXPECT_EQ(mr_Device_->StretchRect(lr_Back_, nullptr, lr_Target_, nullptr, D3DTEXF_NONE), D3DERR_DEVICELOST);
    ASSERT_EQ(mr_Control_->GetCopies().size(), 1u);
    EXPECT_EQ(mr_Control_->GetCopies()[0].Result, D3DERR_DEVICELOST);
    mr_Control_->FailCall(SoftCall::SetRenderTarget, 1, D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->SetRenderTarget(0, lr_Target_), D3DERR_INVALIDCALL);
    IDirect3DSurface9* lr_Now_ = nullptr;
    mr_Device_->GetRenderTarget(0, &lr_Now_);
    EXPECT_EQ(lr_Now_, lr_Back_);  // a failed call changes nothing
    lr_Now_->Release();

    IDirect3DStateBlock9* lr_Block_ = nullptr;
    mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Block_);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    mr_Control_->FailCall(SoftCall::StateBlockCapture, 1, D3DERR_INVALIDCALL);
    mr_Control_->FailCall(SoftCall::StateBlockApply, 1, D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Block_->Capture(), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Block_->Apply(), D3DERR_INVALIDCALL);
    DWORD lr_Cull = 0;
    mr_Device_->GetRenderState(D3DRS_CULLMODE, &lr_Cull);
    EXPECT_EQ(lr_Cull, static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(lr_Block_->Apply(), D3D_OK);
    mr_Device_->GetRenderState(D3DRS_CULLMODE, &lr_Cull);
    EXPECT_EQ(lr_Cull, static_cast<DWORD>(D3DCULL_CCW));

    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    mr_Device_->SetIndices(nullptr);
    lr_Block_->Release();
    lr_Target_->Release();
    lr_Back_->Release();
    lr_Vertices_->Release();
    lr_Indices_->Release();

    mr_Control_->FailCall(SoftCall::Reset, 1, D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3DERR_DEVICELOST);
    EXPECT_EQ(mr_Device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
}

TEST_F(FaultTests, ClearFaultsAndResetCallCounts) {
    mr_Control_->FailCall(SoftCall::GetRenderTarget, 1, E_FAIL);
    mr_Control_->ClearFaults();
    IDirect3DSurface9* lr_Surface_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Surface_), D3D_OK);
    lr_Surface_->Release();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetRenderTarget), 1u);
    mr_Control_->ResetCallCounts();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetRenderTarget), 0u);
}

TEST_F(FaultTests, AHookRunsAtEachCallBeforeItsFaultAndTheCreation) {
    std::vector<UINT> lr_LiveAtCall;
    std::vector<UINT> lr_CountAtCall;
    mr_Control_->SetCallHook(SoftCall::CreateTexture, [&]() {
        lr_LiveAtCall.push_back(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
        lr_CountAtCall.push_back(mr_Control_->GetCallCount(SoftCall::CreateTexture));
    });
    mr_Control_->FailCall(SoftCall::CreateTexture, 2, E_OUTOFMEMORY);
    IDirect3DTexture9* lr_Textures[3] = {};
    for (IDirect3DTexture9*& lr_Texture_ : lr_Textures)
        mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr);
    EXPECT_NE(lr_Textures[0], nullptr);
    EXPECT_EQ(lr_Textures[1], nullptr);
    // The failed call ran the hook too; the calls are counted before it runs.
    EXPECT_EQ(lr_LiveAtCall, (std::vector<UINT>{0, 1, 1}));
    EXPECT_EQ(lr_CountAtCall, (std::vector<UINT>{1, 2, 3}));
    // Other operations run no hook, and an empty one removes it.
    IDirect3DVertexBuffer9* lr_Buffer_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &lr_Buffer_, nullptr), D3D_OK);
    lr_Buffer_->Release();
    mr_Control_->SetCallHook(SoftCall::CreateTexture, {});
    lr_Textures[0]->Release();
    ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Textures[0], nullptr),
              D3D_OK);
    EXPECT_EQ(lr_LiveAtCall.size(), 3u);
    for (IDirect3DTexture9* lr_Texture_ : lr_Textures)
        if (lr_Texture_) lr_Texture_->Release();
}

TEST_F(FaultTests, TheTotalCountsEveryDeviceMethodButAddRefAndRelease) {
    mr_Control_->ResetCallCounts();
    EXPECT_EQ(mr_Control_->GetTotalCallCount(), 0u);
    mr_Device_->AddRef();
    mr_Device_->Release();
    DWORD lr_Value = 0;
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    mr_Device_->GetRenderState(D3DRS_ZENABLE, &lr_Value);
    mr_Device_->SetVertexShaderConstantF(0, nullptr, 1);  // refused, still a call
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Target_), D3D_OK);
    // Calls on the objects the device made are not the device's.
    D3DSURFACE_DESC lr_Desc;
    lr_Target_->GetDesc(&lr_Desc);
    lr_Target_->Release();
    mr_Device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    EXPECT_EQ(mr_Control_->GetTotalCallCount(), 5u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetRenderTarget), 1u);
    mr_Control_->ResetCallCounts();
    EXPECT_EQ(mr_Control_->GetTotalCallCount(), 0u);
}

TEST_F(FaultTests, StateBlockRecordingConstantsAndStateReadsAreCountedAndFailOnDemand) {
    mr_Control_->FailCall(SoftCall::BeginStateBlock, 1, E_OUTOFMEMORY);
    EXPECT_EQ(mr_Device_->BeginStateBlock(), E_OUTOFMEMORY);
    ASSERT_EQ(mr_Device_->BeginStateBlock(), D3D_OK);
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    // A failed end still ends the recording: the block is lost.
    mr_Control_->FailCall(SoftCall::EndStateBlock, 1, E_OUTOFMEMORY);
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    EXPECT_EQ(mr_Device_->EndStateBlock(&lr_Block_), E_OUTOFMEMORY);
    EXPECT_EQ(lr_Block_, nullptr);
    EXPECT_EQ(mr_Device_->EndStateBlock(&lr_Block_), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::BeginStateBlock), 2u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::EndStateBlock), 1u);

    const float lr_Values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const BOOL lr_Flag = TRUE;
    mr_Device_->SetPixelShaderConstantF(0, lr_Values, 2);
    mr_Device_->SetVertexShaderConstantB(0, &lr_Flag, 1);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::SetShaderConstant), 2u);

    // Made to fail, state reads answer as a pure device's do.
    mr_Control_->FailCall(SoftCall::GetState, 1, D3DERR_INVALIDCALL);
    mr_Control_->FailCall(SoftCall::GetState, 2, D3DERR_INVALIDCALL);
    DWORD lr_Value = 0;
    float lr_Read[4] = {};
    EXPECT_EQ(mr_Device_->GetRenderState(D3DRS_ZENABLE, &lr_Value), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->GetPixelShaderConstantF(1, lr_Read, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->GetPixelShaderConstantF(1, lr_Read, 1), D3D_OK);
    EXPECT_EQ(lr_Read[0], 5.0f);
    EXPECT_EQ(mr_Device_->GetRenderState(D3DRS_ZENABLE, &lr_Value), D3D_OK);
    EXPECT_EQ(lr_Value, static_cast<DWORD>(D3DZB_TRUE)) << "the lost block's state was never applied";
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetState), 4u);
}
