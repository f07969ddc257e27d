// Reference counting of the device and of what it hands out.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

using namespace device_test;

class DeviceReferenceTests : public SoftDeviceFixture {};

TEST_F(DeviceReferenceTests, RenderTargetZeroIsBackBufferZero) {
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Target_), D3D_OK);
    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    ASSERT_EQ(mr_Device_->GetSwapChain(0, &lr_Chain_), D3D_OK);
    IDirect3DSurface9* lr_Back_ = nullptr;
    ASSERT_EQ(lr_Chain_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &lr_Back_), D3D_OK);
    EXPECT_EQ(lr_Target_, lr_Back_);
    IDirect3DSurface9* lr_DeviceBack_ = GetBackBuffer0();
    EXPECT_EQ(lr_DeviceBack_, lr_Back_);
    lr_DeviceBack_->Release();
    lr_Back_->Release();
    lr_Chain_->Release();
    lr_Target_->Release();
}

TEST_F(DeviceReferenceTests, GettersAddOneReferenceAndOneOnTheDevice) {
    ULONG lr_Device = mr_Control_->GetDeviceRefCount();
    IDirect3DSurface9* lr_First_ = nullptr;
    IDirect3DSurface9* lr_Second_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_First_), D3D_OK);
    EXPECT_EQ(RefCount(lr_First_), 1u);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device + 1);
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Second_), D3D_OK);
    EXPECT_EQ(RefCount(lr_First_), 2u);
    // The device is referenced once per object, not per reference.
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device + 1);
    EXPECT_EQ(lr_Second_->Release(), 1u);
    EXPECT_EQ(lr_First_->Release(), 0u);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device);

    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDepthStencilSurface(&lr_Depth_), D3D_OK);
    EXPECT_EQ(RefCount(lr_Depth_), 1u);
    EXPECT_EQ(lr_Depth_->Release(), 0u);

    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    ASSERT_EQ(mr_Device_->GetSwapChain(0, &lr_Chain_), D3D_OK);
    EXPECT_EQ(RefCount(lr_Chain_), 1u);
    IDirect3DDevice9* lr_Owner_ = nullptr;
    ASSERT_EQ(lr_Chain_->GetDevice(&lr_Owner_), D3D_OK);
    EXPECT_EQ(lr_Owner_, mr_Device_);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device + 2);
    lr_Owner_->Release();
    EXPECT_EQ(lr_Chain_->Release(), 0u);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device);
}

TEST_F(DeviceReferenceTests, GetDirect3DAddsAReference) {
    ULONG lr_Before = mr_Direct3D_->AddRef() - 1;
    mr_Direct3D_->Release();
    IDirect3D9* lr_D3D_ = nullptr;
    ASSERT_EQ(mr_Device_->GetDirect3D(&lr_D3D_), D3D_OK);
    EXPECT_EQ(lr_D3D_, mr_Direct3D_);
    EXPECT_EQ(lr_D3D_->Release(), lr_Before);
}

TEST_F(DeviceReferenceTests, TextureLevelReferencesCountOnTheTexture) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(64, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    EXPECT_EQ(lr_Texture_->GetLevelCount(), 7u);
    IDirect3DSurface9* lr_Level_ = nullptr;
    ASSERT_EQ(lr_Texture_->GetSurfaceLevel(2, &lr_Level_), D3D_OK);
    EXPECT_EQ(RefCount(lr_Texture_), 2u);
    EXPECT_EQ(RefCount(lr_Level_), 2u);
    D3DSURFACE_DESC lr_Desc;
    lr_Level_->GetDesc(&lr_Desc);
    EXPECT_EQ(lr_Desc.Width, 16u);
    EXPECT_EQ(lr_Desc.Height, 8u);

    IDirect3DTexture9* lr_Container_ = nullptr;
    ASSERT_EQ(lr_Level_->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&lr_Container_)), D3D_OK);
    EXPECT_EQ(lr_Container_, lr_Texture_);
    EXPECT_EQ(RefCount(lr_Texture_), 3u);
    lr_Container_->Release();

    // Releasing the texture first keeps it alive through the level's reference.
    EXPECT_EQ(lr_Texture_->Release(), 1u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 1u);
    EXPECT_EQ(lr_Level_->Release(), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 0u);
}

TEST_F(DeviceReferenceTests, EveryChildHoldsTheDeviceWhileReferenced) {
    ULONG lr_Device = mr_Control_->GetDeviceRefCount();
    IDirect3DTexture9* lr_Texture_ = nullptr;
    IDirect3DVertexBuffer9* lr_Buffer_ = MakeVertexBuffer(mr_Device_, 4);
    IDirect3DStateBlock9* lr_Block_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    ASSERT_EQ(mr_Device_->CreateStateBlock(D3DSBT_ALL, &lr_Block_), D3D_OK);
    ASSERT_NE(lr_Buffer_, nullptr);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device + 3);
    lr_Texture_->Release();
    lr_Buffer_->Release();
    lr_Block_->Release();
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device);
}

TEST_F(DeviceReferenceTests, BindingKeepsAReleasedObjectAliveWithoutShowingIt) {
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    ASSERT_EQ(mr_Device_->SetTexture(3, lr_Texture_), D3D_OK);
    // Binding adds no public reference.
    EXPECT_EQ(RefCount(lr_Texture_), 1u);
    EXPECT_EQ(lr_Texture_->Release(), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 0u);

    IDirect3DBaseTexture9* lr_Bound_ = nullptr;
    ASSERT_EQ(mr_Device_->GetTexture(3, &lr_Bound_), D3D_OK);
    EXPECT_EQ(lr_Bound_, static_cast<IDirect3DBaseTexture9*>(lr_Texture_));
    EXPECT_EQ(RefCount(lr_Bound_), 1u);
    EXPECT_EQ(lr_Bound_->GetLevelCount(), 1u);  // still a working object
    lr_Bound_->Release();
    // One Release too many: the bound object survives, and the mistake is counted.
    EXPECT_EQ(lr_Bound_->Release(), 0u);
    EXPECT_EQ(mr_Control_->GetOverReleaseCount(), 1u);
    EXPECT_EQ(lr_Bound_->GetLevelCount(), 1u);
    ASSERT_EQ(mr_Device_->SetTexture(3, nullptr), D3D_OK);
    ASSERT_EQ(mr_Device_->GetTexture(3, &lr_Bound_), D3D_OK);
    EXPECT_EQ(lr_Bound_, nullptr);
    mr_CheckLiveObjects = false;  // the over-release above is on purpose
}

TEST_F(DeviceReferenceTests, StreamIndexAndShaderGettersAddAReference) {
    IDirect3DVertexBuffer9* lr_Vertices_ = MakeVertexBuffer(mr_Device_, 4);
    IDirect3DIndexBuffer9* lr_Indices_ = MakeIndexBuffer(mr_Device_, {0, 1, 2});
    std::vector<DWORD> lr_Tokens = ShaderTokens(D3DPS_VERSION(2, 0), "main");
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Tokens.data(), &lr_Shader_), D3D_OK);
    mr_Device_->SetStreamSource(0, lr_Vertices_, 0, sizeof(Vertex));
    mr_Device_->SetIndices(lr_Indices_);
    mr_Device_->SetPixelShader(lr_Shader_);

    IDirect3DVertexBuffer9* lr_GotVertices_ = nullptr;
    UINT lr_Offset = 1, lr_Stride = 0;
    ASSERT_EQ(mr_Device_->GetStreamSource(0, &lr_GotVertices_, &lr_Offset, &lr_Stride), D3D_OK);
    EXPECT_EQ(lr_GotVertices_, lr_Vertices_);
    EXPECT_EQ(lr_Offset, 0u);
    EXPECT_EQ(lr_Stride, sizeof(Vertex));
    EXPECT_EQ(RefCount(lr_Vertices_), 2u);
    IDirect3DIndexBuffer9* lr_GotIndices_ = nullptr;
    ASSERT_EQ(mr_Device_->GetIndices(&lr_GotIndices_), D3D_OK);
    EXPECT_EQ(lr_GotIndices_, lr_Indices_);
    EXPECT_EQ(RefCount(lr_Indices_), 2u);
    IDirect3DPixelShader9* lr_GotShader_ = nullptr;
    ASSERT_EQ(mr_Device_->GetPixelShader(&lr_GotShader_), D3D_OK);
    EXPECT_EQ(lr_GotShader_, lr_Shader_);
    EXPECT_EQ(RefCount(lr_Shader_), 2u);

    lr_GotVertices_->Release();
    lr_GotIndices_->Release();
    lr_GotShader_->Release();
    lr_Vertices_->Release();
    lr_Indices_->Release();
    lr_Shader_->Release();
}

TEST_F(DeviceReferenceTests, PrivateDataHoldsAnInterfaceUntilFreed) {
    const GUID k_Key = {0x5E1F0001, 0x0001, 0x0001, {1, 2, 3, 4, 5, 6, 7, 8}};
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Target_), D3D_OK);
    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    ASSERT_EQ(mr_Device_->GetSwapChain(0, &lr_Chain_), D3D_OK);
    IUnknown* lr_Stored_ = lr_Chain_;
    ASSERT_EQ(lr_Target_->SetPrivateData(k_Key, &lr_Stored_, sizeof(lr_Stored_), D3DSPD_IUNKNOWN), D3D_OK);
    EXPECT_EQ(RefCount(lr_Chain_), 2u);
    ASSERT_EQ(lr_Target_->FreePrivateData(k_Key), D3D_OK);
    EXPECT_EQ(RefCount(lr_Chain_), 1u);
    lr_Chain_->Release();
    lr_Target_->Release();
}

TEST_F(DeviceReferenceTests, GetSwapChainOutOfRangeFailsWithNull) {
    EXPECT_EQ(mr_Device_->GetNumberOfSwapChains(), 1u);
    IDirect3DSwapChain9* lr_Chain_ = reinterpret_cast<IDirect3DSwapChain9*>(0x1);
    EXPECT_EQ(mr_Device_->GetSwapChain(1, &lr_Chain_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Chain_, nullptr);
    IDirect3DSurface9* lr_Back_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &lr_Back_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Back_, nullptr);
    EXPECT_EQ(mr_Device_->GetBackBuffer(1, 0, D3DBACKBUFFER_TYPE_MONO, &lr_Back_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Back_, nullptr);
}

TEST_F(DeviceReferenceTests, ControlInterfaceSharesTheDeviceCount) {
    ULONG lr_Device = mr_Control_->GetDeviceRefCount();
    void* lr_Control = nullptr;
    ASSERT_EQ(mr_Device_->QueryInterface(IID_ISoftDeviceControl, &lr_Control), S_OK);
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device + 1);
    static_cast<ISoftDeviceControl*>(lr_Control)->Release();
    EXPECT_EQ(mr_Control_->GetDeviceRefCount(), lr_Device);
    void* lr_Other = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(mr_Device_->QueryInterface(IID_IDirect3DTexture9, &lr_Other), E_NOINTERFACE);
    EXPECT_EQ(lr_Other, nullptr);
}

// Without the fixture: the whole lifetime of a device and its objects.
TEST(DeviceLifetime, DeviceLivesUntilItsLastChildIsReleased) {
    IDirect3D9* lr_D3D_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(lr_D3D_, nullptr);
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION + 1), nullptr);
    D3DPRESENT_PARAMETERS lr_Params = SoftDeviceFixture::DefaultPresentParameters();
    IDirect3DDevice9* lr_Device_ = nullptr;
    ASSERT_EQ(
        lr_D3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params, &lr_Device_),
        D3D_OK);
    // The device holds the Direct3D object.
    EXPECT_EQ(lr_D3D_->AddRef(), 3u);
    lr_D3D_->Release();

    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(lr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    lr_Device_->SetTexture(0, lr_Texture_);
    EXPECT_EQ(lr_Device_->Release(), 1u);   // the texture's reference
    EXPECT_EQ(lr_Texture_->Release(), 0u);  // the device goes, and the bound texture with it
    EXPECT_EQ(lr_D3D_->Release(), 0u);
}

TEST(DeviceLifetime, CreateDeviceRefusesBadParametersWithNull) {
    IDirect3D9* lr_D3D_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(lr_D3D_, nullptr);
    D3DPRESENT_PARAMETERS lr_Params = SoftDeviceFixture::DefaultPresentParameters();
    IDirect3DDevice9* lr_Device_ = reinterpret_cast<IDirect3DDevice9*>(0x1);
    lr_Params.BackBufferCount = 4;
    EXPECT_EQ(
        lr_D3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params, &lr_Device_),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Device_, nullptr);
    EXPECT_EQ(lr_Params.BackBufferCount, 3u);  // corrected in place, as the runtime does

    lr_Params = SoftDeviceFixture::DefaultPresentParameters();
    lr_Params.AutoDepthStencilFormat = D3DFMT_A8R8G8B8;
    EXPECT_EQ(
        lr_D3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params, &lr_Device_),
        D3DERR_INVALIDCALL);
    lr_Params = SoftDeviceFixture::DefaultPresentParameters();
    EXPECT_EQ(
        lr_D3D_->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params, &lr_Device_),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_D3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &lr_Params, &lr_Device_), D3DERR_INVALIDCALL);

    // Count 0 means one back buffer and is written back.
    lr_Params.BackBufferCount = 0;
    lr_Params.BackBufferFormat = D3DFMT_UNKNOWN;
    ASSERT_EQ(
        lr_D3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params, &lr_Device_),
        D3D_OK);
    EXPECT_EQ(lr_Params.BackBufferCount, 1u);
    EXPECT_EQ(lr_Params.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(lr_Device_->Release(), 0u);
    EXPECT_EQ(lr_D3D_->Release(), 0u);
}
