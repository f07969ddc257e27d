// Creation rules for textures, surfaces and buffers, and the adapter's answers.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

#include <soft/SoftShaderModels.h>

#include <tuple>

using namespace device_test;

class DeviceCreationTests : public SoftDeviceFixture {
protected:
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** out) {
        *out = reinterpret_cast<IDirect3DTexture9*>(0x1);
        return mr_Device_->CreateTexture(width, height, levels, usage, format, pool, out, nullptr);
    }
};

TEST_F(DeviceCreationTests, RenderTargetTextureNeedsTheDefaultPool) {
    IDirect3DTexture9* lr_Texture_;
    for (D3DPOOL lr_Pool : {D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH}) {
        EXPECT_EQ(CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, lr_Pool, &lr_Texture_),
                  D3DERR_INVALIDCALL)
            << "pool " << lr_Pool;
        EXPECT_EQ(lr_Texture_, nullptr);
    }
    ASSERT_EQ(CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &lr_Texture_), D3D_OK);
    D3DSURFACE_DESC lr_Desc;
    lr_Texture_->GetLevelDesc(0, &lr_Desc);
    EXPECT_EQ(lr_Desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
    EXPECT_EQ(lr_Desc.Pool, D3DPOOL_DEFAULT);
    lr_Texture_->Release();
}

TEST_F(DeviceCreationTests, RenderTargetFormatsFollowTheAdapterSet) {
    IDirect3DTexture9* lr_Texture_;
    for (D3DFORMAT lr_Format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10, D3DFMT_A16B16G16R16F, D3DFMT_R16F,
                                D3DFMT_G16R16F, D3DFMT_R32F, D3DFMT_G32R32F, D3DFMT_A32B32G32R32F, D3DFMT_R5G6B5,
                                D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A16B16G16R16}) {
        ASSERT_EQ(CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, lr_Format, D3DPOOL_DEFAULT, &lr_Texture_), D3D_OK)
            << "format " << lr_Format;
        lr_Texture_->Release();
    }
    for (D3DFORMAT lr_Format : {D3DFMT_A8, D3DFMT_L8, D3DFMT_P8, D3DFMT_D24S8, D3DFMT_DXT1}) {
        EXPECT_EQ(CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, lr_Format, D3DPOOL_DEFAULT, &lr_Texture_),
                  D3DERR_INVALIDCALL)
            << "format " << lr_Format;
        EXPECT_EQ(lr_Texture_, nullptr);
        EXPECT_EQ(mr_Direct3D_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET,
                                                  D3DRTYPE_TEXTURE, lr_Format),
                  D3DERR_NOTAVAILABLE);
    }
    // The set is configurable, and CheckDeviceFormat follows it.
    mr_Control_->SetRenderTargetFormatSupported(D3DFMT_A8, true);
    mr_Control_->SetRenderTargetFormatSupported(D3DFMT_R16F, false);
    EXPECT_EQ(mr_Direct3D_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET,
                                              D3DRTYPE_TEXTURE, D3DFMT_A8),
              D3D_OK);
    EXPECT_EQ(mr_Direct3D_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_RENDERTARGET,
                                              D3DRTYPE_TEXTURE, D3DFMT_R16F),
              D3DERR_NOTAVAILABLE);
    ASSERT_EQ(CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8, D3DPOOL_DEFAULT, &lr_Texture_), D3D_OK);
    lr_Texture_->Release();
    EXPECT_EQ(CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_R16F, D3DPOOL_DEFAULT, &lr_Texture_),
              D3DERR_INVALIDCALL);
    IDirect3DSurface9* lr_Surface_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->CreateRenderTarget(16, 16, D3DFMT_R16F, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Surface_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Surface_, nullptr);
}

TEST_F(DeviceCreationTests, LevelsZeroMakesTheFullChainAndTooManyFail) {
    IDirect3DTexture9* lr_Texture_;
    ASSERT_EQ(CreateTexture(256, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_), D3D_OK);
    ASSERT_EQ(lr_Texture_->GetLevelCount(), 9u);
    D3DSURFACE_DESC lr_Desc;
    ASSERT_EQ(lr_Texture_->GetLevelDesc(8, &lr_Desc), D3D_OK);
    EXPECT_EQ(lr_Desc.Width, 1u);
    EXPECT_EQ(lr_Desc.Height, 1u);
    ASSERT_EQ(lr_Texture_->GetLevelDesc(5, &lr_Desc), D3D_OK);
    EXPECT_EQ(lr_Desc.Width, 8u);
    EXPECT_EQ(lr_Desc.Height, 1u);
    EXPECT_EQ(lr_Texture_->GetLevelDesc(9, &lr_Desc), D3DERR_INVALIDCALL);
    IDirect3DSurface9* lr_Level_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(lr_Texture_->GetSurfaceLevel(9, &lr_Level_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Level_, nullptr);
    lr_Texture_->Release();
    EXPECT_EQ(CreateTexture(256, 16, 10, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_), D3DERR_INVALIDCALL);
    EXPECT_EQ(CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Texture_, nullptr);
}

TEST_F(DeviceCreationTests, LockRulesOfTexturesAndSurfaces) {
    IDirect3DTexture9* lr_Texture_;
    ASSERT_EQ(CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_), D3D_OK);
    D3DLOCKED_RECT lr_Lock;
    ASSERT_EQ(lr_Texture_->LockRect(0, &lr_Lock, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr_Lock.Pitch, 32);
    static_cast<DWORD*>(lr_Lock.pBits)[9] = 0x11223344u;  // pixel (1, 1)
    // A second lock of a locked level fails.
    D3DLOCKED_RECT lr_Again;
    EXPECT_EQ(lr_Texture_->LockRect(0, &lr_Again, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(lr_Texture_->UnlockRect(0), D3D_OK);
    EXPECT_EQ(lr_Texture_->UnlockRect(0), D3DERR_INVALIDCALL);
    RECT lr_Rect{1, 1, 3, 3};
    ASSERT_EQ(lr_Texture_->LockRect(0, &lr_Lock, &lr_Rect, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(*static_cast<DWORD*>(lr_Lock.pBits), 0x11223344u);
    lr_Texture_->UnlockRect(0);
    RECT lr_Outside{4, 4, 9, 9};
    EXPECT_EQ(lr_Texture_->LockRect(0, &lr_Lock, &lr_Outside, 0), D3DERR_INVALIDCALL);
    lr_Texture_->Release();

    // Default-pool textures lock only when dynamic; render targets made lockable do.
    ASSERT_EQ(CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &lr_Texture_), D3D_OK);
    EXPECT_EQ(lr_Texture_->LockRect(0, &lr_Lock, nullptr, 0), D3DERR_INVALIDCALL);
    lr_Texture_->Release();
    ASSERT_EQ(CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &lr_Texture_), D3D_OK);
    EXPECT_EQ(lr_Texture_->LockRect(0, &lr_Lock, nullptr, 0), D3D_OK);
    lr_Texture_->UnlockRect(0);
    lr_Texture_->Release();
    EXPECT_EQ(CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_),
              D3DERR_INVALIDCALL);

    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    EXPECT_EQ(lr_Back_->LockRect(&lr_Lock, nullptr, 0), D3DERR_INVALIDCALL);
    lr_Back_->Release();
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &lr_Target_, nullptr),
              D3D_OK);
    EXPECT_EQ(lr_Target_->LockRect(&lr_Lock, nullptr, 0), D3D_OK);
    lr_Target_->UnlockRect();
    lr_Target_->Release();
}

TEST_F(DeviceCreationTests, BufferLocksCheckTheirRange) {
    IDirect3DVertexBuffer9* lr_Buffer_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexBuffer(128, 0, 0, D3DPOOL_MANAGED, &lr_Buffer_, nullptr), D3D_OK);
    void* lr_Whole = nullptr;
    void* lr_Part = nullptr;
    ASSERT_EQ(lr_Buffer_->Lock(0, 0, &lr_Whole, 0), D3D_OK);
    ASSERT_EQ(lr_Buffer_->Lock(100, 28, &lr_Part, 0), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(lr_Part) - static_cast<BYTE*>(lr_Whole), 100);
    lr_Buffer_->Unlock();
    lr_Buffer_->Unlock();
    void* lr_Bad = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(lr_Buffer_->Lock(100, 29, &lr_Bad, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Bad, nullptr);
    EXPECT_EQ(lr_Buffer_->Lock(129, 0, &lr_Bad, 0), D3DERR_INVALIDCALL);
    D3DVERTEXBUFFER_DESC lr_Desc;
    ASSERT_EQ(lr_Buffer_->GetDesc(&lr_Desc), D3D_OK);
    EXPECT_EQ(lr_Desc.Size, 128u);
    EXPECT_EQ(lr_Desc.Pool, D3DPOOL_MANAGED);
    lr_Buffer_->Release();

    IDirect3DIndexBuffer9* lr_Indices_ = reinterpret_cast<IDirect3DIndexBuffer9*>(0x1);
    EXPECT_EQ(mr_Device_->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Indices_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Indices_, nullptr);
    EXPECT_EQ(mr_Device_->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &lr_Indices_, nullptr),
              D3DERR_INVALIDCALL);
}

TEST_F(DeviceCreationTests, SurfacesOfEachKindDescribeThemselves) {
    IDirect3DSurface9* lr_Plain_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateOffscreenPlainSurface(10, 20, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &lr_Plain_, nullptr),
              D3D_OK);
    D3DSURFACE_DESC lr_Desc;
    lr_Plain_->GetDesc(&lr_Desc);
    EXPECT_EQ(lr_Desc.Usage, 0u);
    EXPECT_EQ(lr_Desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(lr_Desc.Width, 10u);
    EXPECT_EQ(lr_Desc.Height, 20u);
    lr_Plain_->Release();
    EXPECT_EQ(mr_Device_->CreateOffscreenPlainSurface(10, 20, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Plain_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Plain_, nullptr);

    IDirect3DSurface9* lr_Depth_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateDepthStencilSurface(32, 32, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Depth_, nullptr),
        D3D_OK);
    lr_Depth_->GetDesc(&lr_Desc);
    EXPECT_EQ(lr_Desc.Usage, static_cast<DWORD>(D3DUSAGE_DEPTHSTENCIL));
    lr_Depth_->Release();
    EXPECT_EQ(mr_Device_->CreateDepthStencilSurface(32, 32, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Depth_,
                                                    nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Depth_, nullptr);

    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    lr_Back_->GetDesc(&lr_Desc);
    EXPECT_EQ(lr_Desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(lr_Desc.Width, 800u);
    EXPECT_EQ(lr_Desc.Height, 600u);
    EXPECT_EQ(lr_Desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    ASSERT_EQ(lr_Back_->GetContainer(IID_IDirect3DSwapChain9, reinterpret_cast<void**>(&lr_Chain_)), D3D_OK);
    D3DPRESENT_PARAMETERS lr_Params;
    lr_Chain_->GetPresentParameters(&lr_Params);
    EXPECT_EQ(lr_Params.BackBufferWidth, 800u);
    EXPECT_EQ(lr_Params.AutoDepthStencilFormat, D3DFMT_D24S8);
    lr_Chain_->Release();
    lr_Back_->Release();
}

TEST_F(DeviceCreationTests, CapsFollowTheShaderVersionsSet) {
    D3DCAPS9 lr_Caps;
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Caps), D3D_OK);
    EXPECT_EQ(lr_Caps.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(3, 0)));
    EXPECT_EQ(lr_Caps.VertexShaderVersion, static_cast<DWORD>(D3DVS_VERSION(3, 0)));
    EXPECT_EQ(lr_Caps.NumberOfAdaptersInGroup, 1u);
    EXPECT_GE(lr_Caps.NumSimultaneousRTs, 1u);
    // Temporaries as the model table gives them, for the model the caps name.
    EXPECT_EQ(static_cast<UINT>(lr_Caps.PS20Caps.NumTemps), SoftFindShaderModel(D3DPS_VERSION(3, 0))->Temporaries);
    EXPECT_EQ(static_cast<UINT>(lr_Caps.VS20Caps.NumTemps), SoftFindShaderModel(D3DVS_VERSION(3, 0))->Temporaries);
    mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Caps), D3D_OK);
    EXPECT_EQ(lr_Caps.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    EXPECT_EQ(static_cast<UINT>(lr_Caps.PS20Caps.NumTemps), SoftFindShaderModel(D3DPS_VERSION(2, 0))->Temporaries);
    EXPECT_EQ(static_cast<UINT>(lr_Caps.VS20Caps.NumTemps), SoftFindShaderModel(D3DVS_VERSION(2, 0))->Temporaries);
    D3DCAPS9 lr_AdapterCaps;
    ASSERT_EQ(mr_Direct3D_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &lr_AdapterCaps), D3D_OK);
    EXPECT_EQ(lr_AdapterCaps.VertexShaderVersion, static_cast<DWORD>(D3DVS_VERSION(2, 0)));
    EXPECT_EQ(mr_Direct3D_->GetDeviceCaps(1, D3DDEVTYPE_HAL, &lr_AdapterCaps), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Direct3D_->GetAdapterCount(), 1u);
}

TEST_F(DeviceCreationTests, TextureCapsAreThoseOfAShaderModelThreeAdapter) {
    D3DCAPS9 lr_Caps;
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Caps), D3D_OK);
    const DWORD lr_Wanted = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PROJECTED |
                            D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_MIPCUBEMAP |
                            D3DPTEXTURECAPS_VOLUMEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP;
    EXPECT_EQ(lr_Caps.TextureCaps & lr_Wanted, lr_Wanted);
    // Any size of texture, mipmapped, without conditions.
    const DWORD lr_Restrictions = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY |
                                  D3DPTEXTURECAPS_NONPOW2CONDITIONAL | D3DPTEXTURECAPS_CUBEMAP_POW2 |
                                  D3DPTEXTURECAPS_VOLUMEMAP_POW2;
    EXPECT_EQ(lr_Caps.TextureCaps & lr_Restrictions, 0u);
    const DWORD lr_Filters = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                             D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    EXPECT_EQ(lr_Caps.TextureFilterCaps & lr_Filters, lr_Filters);
    const DWORD lr_Addressing = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
    EXPECT_EQ(lr_Caps.TextureAddressCaps & lr_Addressing, lr_Addressing);
    EXPECT_NE(lr_Caps.StretchRectFilterCaps & D3DPTFILTERCAPS_MINFLINEAR, 0u);
    EXPECT_NE(lr_Caps.DevCaps2 & D3DDEVCAPS2_CAN_STRETCHRECT_FROM_TEXTURES, 0u);
    // The capabilities do not change with the shader model the device is told to report.
    mr_Control_->SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    D3DCAPS9 lr_Ps2Caps;
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Ps2Caps), D3D_OK);
    EXPECT_EQ(lr_Ps2Caps.TextureCaps, lr_Caps.TextureCaps);
}

TEST_F(DeviceCreationTests, TextureCapsSetRuleOutWhatTheyForbid) {
    const auto lr_Levels = [&](UINT width, UINT height, UINT levels) -> int {
        IDirect3DTexture9* lr_Texture_ = nullptr;
        if (FAILED(CreateTexture(width, height, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_))) return -1;
        const int lr_Count = static_cast<int>(lr_Texture_->GetLevelCount());
        lr_Texture_->Release();
        return lr_Count;
    };
    D3DCAPS9 lr_Caps;
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Caps), D3D_OK);
    const DWORD lr_Base = lr_Caps.TextureCaps;
    EXPECT_EQ(lr_Levels(100, 60, 0), 7);

    mr_Control_->SetTextureCaps(lr_Base | D3DPTEXTURECAPS_POW2, 256, 128);
    ASSERT_EQ(mr_Direct3D_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &lr_Caps), D3D_OK);
    EXPECT_EQ(lr_Caps.TextureCaps, lr_Base | D3DPTEXTURECAPS_POW2);
    EXPECT_EQ(lr_Caps.MaxTextureWidth, 256u);
    EXPECT_EQ(lr_Caps.MaxTextureHeight, 128u);
    EXPECT_EQ(lr_Levels(100, 60, 1), -1);
    EXPECT_EQ(lr_Levels(256, 128, 0), 9);
    EXPECT_EQ(lr_Levels(512, 128, 1), -1);
    EXPECT_EQ(lr_Levels(256, 256, 1), -1);

    // Other sizes conditionally: one level only.
    mr_Control_->SetTextureCaps(lr_Base | D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 8192, 8192);
    EXPECT_EQ(lr_Levels(100, 60, 1), 1);
    EXPECT_EQ(lr_Levels(100, 60, 0), -1);
    EXPECT_EQ(lr_Levels(100, 60, 2), -1);

    // Without mipmaps a full chain is one level, and more are refused.
    mr_Control_->SetTextureCaps(lr_Base & ~D3DPTEXTURECAPS_MIPMAP, 8192, 8192);
    EXPECT_EQ(lr_Levels(64, 64, 0), 1);
    EXPECT_EQ(lr_Levels(64, 64, 2), -1);

    mr_Control_->SetTextureCaps(lr_Base | D3DPTEXTURECAPS_SQUAREONLY, 8192, 8192);
    EXPECT_EQ(lr_Levels(64, 32, 1), -1);
    EXPECT_EQ(lr_Levels(32, 32, 0), 6);
}

TEST_F(DeviceCreationTests, RowPitchAlignmentPadsTheRowsOfNewSurfacesOnly) {
    IDirect3DTexture9* lr_Before_ = nullptr;
    ASSERT_EQ(CreateTexture(5, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Before_), D3D_OK);
    mr_Control_->SetRowPitchAlignment(48);  // not a power of two: ignored
    mr_Control_->SetRowPitchAlignment(64);
    IDirect3DTexture9* lr_After_ = nullptr;
    ASSERT_EQ(CreateTexture(5, 2, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_After_), D3D_OK);
    IDirect3DSurface9* lr_Plain_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateOffscreenPlainSurface(3, 1, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &lr_Plain_, nullptr),
              D3D_OK);
    D3DLOCKED_RECT lr_Rect;
    ASSERT_EQ(lr_Before_->LockRect(0, &lr_Rect, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr_Rect.Pitch, 20);
    lr_Before_->UnlockRect(0);
    ASSERT_EQ(lr_After_->LockRect(0, &lr_Rect, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr_Rect.Pitch, 64);
    // The second row starts one pitch in: what is written there reads back as row 1.
    std::memset(lr_Rect.pBits, 0, 128);
    static_cast<BYTE*>(lr_Rect.pBits)[64] = 0x7F;
    lr_After_->UnlockRect(0);
    ASSERT_EQ(lr_After_->LockRect(1, &lr_Rect, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr_Rect.Pitch, 64);
    lr_After_->UnlockRect(1);
    ASSERT_EQ(lr_Plain_->LockRect(&lr_Rect, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr_Rect.Pitch, 64);
    lr_Plain_->UnlockRect();
    IDirect3DSurface9* lr_Level_ = nullptr;
    ASSERT_EQ(lr_After_->GetSurfaceLevel(0, &lr_Level_), D3D_OK);
    std::vector<BYTE> lr_Packed = ReadPixels(lr_Level_);
    lr_Level_->Release();
    ASSERT_EQ(lr_Packed.size(), 40u);
    EXPECT_EQ(lr_Packed[20], 0x7F);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::TextureLockRect), 3u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::TextureUnlockRect), 3u);
    lr_Plain_->Release();
    lr_After_->Release();
    lr_Before_->Release();
}

// The device takes one sample per pixel and says so: every multisample type
// but NONE is refused by the check, by surface creation and by the device.
TEST_F(DeviceCreationTests, MultisamplingIsNotOffered) {
    DWORD lr_Levels = 7;
    EXPECT_EQ(mr_Direct3D_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE,
                                                       &lr_Levels),
              D3D_OK);
    EXPECT_EQ(lr_Levels, 1u);
    for (D3DMULTISAMPLE_TYPE lr_Type :
         {D3DMULTISAMPLE_NONMASKABLE, D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_4_SAMPLES, D3DMULTISAMPLE_16_SAMPLES}) {
        for (D3DFORMAT lr_Format : {D3DFMT_X8R8G8B8, D3DFMT_D24S8}) {
            lr_Levels = 7;
            EXPECT_EQ(mr_Direct3D_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, lr_Format, TRUE, lr_Type, &lr_Levels),
                      D3DERR_NOTAVAILABLE)
                << "type " << lr_Type << " format " << lr_Format;
            EXPECT_EQ(lr_Levels, 0u);
        }
    }
    IDirect3DSurface9* lr_Surface_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->CreateRenderTarget(16, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_4_SAMPLES, 0, FALSE, &lr_Surface_,
                                             nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Surface_, nullptr);
    lr_Surface_ = reinterpret_cast<IDirect3DSurface9*>(0x1);
    EXPECT_EQ(mr_Device_->CreateDepthStencilSurface(16, 16, D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES, 0, FALSE,
                                                    &lr_Surface_, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Surface_, nullptr);

    D3DPRESENT_PARAMETERS lr_Params = mr_PresentParameters;
    lr_Params.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    lr_Params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* lr_Device_ = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(mr_Direct3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Params,
                                         &lr_Device_),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(lr_Device_, nullptr);
    lr_Params.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3DERR_NOTAVAILABLE);
    lr_Params = mr_PresentParameters;
    EXPECT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK) << "the device is reset as it was";
}
