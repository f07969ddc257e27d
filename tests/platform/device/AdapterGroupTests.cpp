// A multi-head card: the group's caps, a device on a subordinate head, and a
// device driving every head with an implicit swap chain each.
#include "SoftDeviceFixture.h"
#include "SoftTestDevice.h"

#include <vector>

namespace {

D3DPRESENT_PARAMETERS FullScreen(UINT width, UINT height, D3DFORMAT format) {
    D3DPRESENT_PARAMETERS lr_Params = SoftPresentParameters(width, height);
    lr_Params.Windowed = FALSE;
    lr_Params.BackBufferFormat = format;
    lr_Params.FullScreen_RefreshRateInHz = 60;
    return lr_Params;
}

D3DSURFACE_DESC BackBufferDesc(IDirect3DDevice9* device, UINT chain) {
    D3DSURFACE_DESC lr_Desc = {};
    IDirect3DSurface9* lr_Buffer_ = nullptr;
    if (SUCCEEDED(device->GetBackBuffer(chain, 0, D3DBACKBUFFER_TYPE_MONO, &lr_Buffer_))) {
        lr_Buffer_->GetDesc(&lr_Desc);
        lr_Buffer_->Release();
    }
    return lr_Desc;
}

}  // namespace

class AdapterGroupTests : public SoftDeviceFixture {};

TEST_F(AdapterGroupTests, TheMasterCountsTheHeadsAndEachSubordinateReportsNone) {
    mr_Control_->SetAdaptersInGroup(3);
    ASSERT_EQ(mr_Direct3D_->GetAdapterCount(), 3u);
    for (UINT lr_Adapter = 0; lr_Adapter < 3; ++lr_Adapter) {
        D3DCAPS9 lr_Caps;
        ASSERT_EQ(mr_Direct3D_->GetDeviceCaps(lr_Adapter, D3DDEVTYPE_HAL, &lr_Caps), D3D_OK);
        EXPECT_EQ(lr_Caps.AdapterOrdinal, lr_Adapter);
        EXPECT_EQ(lr_Caps.MasterAdapterOrdinal, 0u);
        EXPECT_EQ(lr_Caps.AdapterOrdinalInGroup, lr_Adapter);
        EXPECT_EQ(lr_Caps.NumberOfAdaptersInGroup, lr_Adapter == 0 ? 3u : 0u);
        EXPECT_NE(mr_Direct3D_->GetAdapterMonitor(lr_Adapter), nullptr);
    }
    EXPECT_NE(mr_Direct3D_->GetAdapterMonitor(1), mr_Direct3D_->GetAdapterMonitor(2));
    D3DCAPS9 lr_Caps;
    EXPECT_EQ(mr_Direct3D_->GetDeviceCaps(3, D3DDEVTYPE_HAL, &lr_Caps), D3DERR_INVALIDCALL);
    // A device made before on the master keeps its one swap chain, and now counts the heads.
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Caps), D3D_OK);
    EXPECT_EQ(lr_Caps.NumberOfAdaptersInGroup, 3u);
    EXPECT_EQ(mr_Device_->GetNumberOfSwapChains(), 1u);

    // A device of its own on a subordinate head: one swap chain, its caps of that head.
    ASSERT_EQ(ReplaceDevice(2, D3DCREATE_HARDWARE_VERTEXPROCESSING, {SoftPresentParameters(640, 480)}), D3D_OK);
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Caps), D3D_OK);
    EXPECT_EQ(lr_Caps.AdapterOrdinal, 2u);
    EXPECT_EQ(lr_Caps.NumberOfAdaptersInGroup, 0u);
    EXPECT_EQ(mr_Device_->GetNumberOfSwapChains(), 1u);
    EXPECT_EQ(BackBufferDesc(mr_Device_, 0).Width, 640u);

    // The count is kept within 1..8.
    mr_Control_->SetAdaptersInGroup(0);
    EXPECT_EQ(mr_Direct3D_->GetAdapterCount(), 1u);
    mr_Control_->SetAdaptersInGroup(20);
    EXPECT_EQ(mr_Direct3D_->GetAdapterCount(), 8u);
}

TEST_F(AdapterGroupTests, AGroupDeviceHasAFullScreenSwapChainPerHeadWithItsParameters) {
    mr_Control_->SetAdaptersInGroup(3);
    const DWORD lr_Group = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_ADAPTERGROUP_DEVICE;
    const std::vector<D3DPRESENT_PARAMETERS> lr_Heads = {FullScreen(800, 600, D3DFMT_X8R8G8B8),
                                                         FullScreen(1024, 768, D3DFMT_X8R8G8B8),
                                                         FullScreen(640, 480, D3DFMT_A8R8G8B8)};
    // Not from a subordinate head, and never windowed.
    IDirect3DDevice9* lr_Device_ = nullptr;
    std::vector<D3DPRESENT_PARAMETERS> lr_Params = lr_Heads;
    EXPECT_EQ(mr_Direct3D_->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, lr_Group, lr_Params.data(), &lr_Device_),
              D3DERR_INVALIDCALL);
    lr_Params[1].Windowed = TRUE;
    EXPECT_EQ(mr_Direct3D_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, lr_Group, lr_Params.data(), &lr_Device_),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(lr_Device_, nullptr);

    ASSERT_EQ(ReplaceDevice(0, lr_Group, lr_Heads), D3D_OK);
    ASSERT_EQ(mr_Device_->GetNumberOfSwapChains(), 3u);
    for (UINT lr_Head = 0; lr_Head < 3; ++lr_Head) {
        const D3DSURFACE_DESC lr_Desc = BackBufferDesc(mr_Device_, lr_Head);
        EXPECT_EQ(lr_Desc.Width, lr_Heads[lr_Head].BackBufferWidth) << lr_Head;
        EXPECT_EQ(lr_Desc.Height, lr_Heads[lr_Head].BackBufferHeight) << lr_Head;
        EXPECT_EQ(lr_Desc.Format, lr_Heads[lr_Head].BackBufferFormat) << lr_Head;
    }
    // Render target 0, the viewport and the automatic depth-stencil surface follow the master head.
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(mr_Device_->GetRenderTarget(0, &lr_Target_), D3D_OK);
    D3DSURFACE_DESC lr_Desc;
    lr_Target_->GetDesc(&lr_Desc);
    lr_Target_->Release();
    EXPECT_EQ(lr_Desc.Width, 800u);
    D3DVIEWPORT9 lr_Viewport;
    mr_Device_->GetViewport(&lr_Viewport);
    EXPECT_EQ(lr_Viewport.Height, 600u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::SwapChain, -1, true), 3u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Surface, -1, true), 4u);

    // Reset takes one set of parameters per head too.
    std::vector<D3DPRESENT_PARAMETERS> lr_Reset = lr_Heads;
    lr_Reset[2].BackBufferWidth = 1280;
    lr_Reset[2].BackBufferHeight = 720;
    ASSERT_EQ(mr_Device_->Reset(lr_Reset.data()), D3D_OK);
    EXPECT_EQ(BackBufferDesc(mr_Device_, 2).Width, 1280u);
    EXPECT_EQ(BackBufferDesc(mr_Device_, 1).Width, 1024u);
    EXPECT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}
