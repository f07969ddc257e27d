// Hosts that call the plug-in out of order or miss a call: the plug-in must
// not crash, leak device objects or draw on a device it was not given.
#include "PublicPluginFixture.h"
#include "SoftTestDevice.h"

namespace {

using Names = std::vector<std::string>;
const Names k_Frame = {FramePass::Black, FramePass::Depth, FramePass::Occlusion};

class HostMisuseTest : public PublicPluginFixture {};

TEST_F(HostMisuseTest, RenderWithoutADeviceDoesNothing) {
    mr_Public_ = new k_Plugin(mr_Host.get());
    mr_Public_->Render();
    mr_Public_->SetActive(true);
    mr_Public_->Render();
    mr_Public_->Initialise(nullptr);
    mr_Public_->Render();
    EXPECT_TRUE(mr_Public_->IsActive());
    // The device given later is the one the plug-in builds on and draws with.
    mr_Public_->Initialise(mr_Device_);
    Frame();
    EXPECT_EQ(DrawNames(), k_Frame);
}

TEST_F(HostMisuseTest, AfterDeinitialiseRenderTouchesNoDevice) {
    Start(mr_Device_);
    Frame();
    mr_Public_->Deinitialise();
    // The host may have released its device by now: no call may reach it.
    Frame();
    mr_Public_->SetActive(true);
    mr_Public_->Render();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetRenderTarget), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateStateBlock), 0u);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_EQ(LiveObjects(), 0u);
}

TEST_F(HostMisuseTest, DeletingAnActivePluginReleasesItsObjects) {
    Start(mr_Device_);
    Frame();
    EXPECT_GT(LiveObjects(), 0u);
    delete mr_Public_;
    mr_Public_ = nullptr;
    EXPECT_EQ(LiveObjects(), 0u) << DescribeLiveObjects(mr_Control_, false);
}

TEST_F(HostMisuseTest, ASecondDeviceGetsObjectsOfItsOwn) {
    IDirect3D9* lr_Direct3D_ = nullptr;
    IDirect3DDevice9* lr_Second_ = nullptr;
    ASSERT_EQ(CreateSoftDevice(SoftPresentParameters(640, 480), D3DCREATE_HARDWARE_VERTEXPROCESSING, &lr_Direct3D_,
                               &lr_Second_),
              D3D_OK);
    ISoftDeviceControl* lr_Control_ = SoftControlOf(lr_Second_);
    Start(mr_Device_);
    Frame();

    mr_Public_->Initialise(lr_Second_);
    EXPECT_EQ(LiveObjects(), 0u) << "the first device's objects must go first\n"
                                 << DescribeLiveObjects(mr_Control_, false);
    EXPECT_TRUE(mr_Public_->IsActive());
    lr_Control_->ClearRecords();
    Frame();
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    ASSERT_EQ(lr_Control_->GetDraws().size(), 3u);
    ASSERT_EQ(lr_Control_->GetCopies().size(), 3u);
    EXPECT_EQ(lr_Control_->GetCopies()[0].DestRect.right, 640);
    EXPECT_EQ(lr_Control_->GetCopies()[0].Result, D3D_OK);

    Delete();
    EXPECT_EQ(lr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false), 0u);
    EXPECT_EQ(lr_Second_->Release(), 0u);
    lr_Direct3D_->Release();
}

TEST_F(HostMisuseTest, LostDeviceNotificationsKeepTheHostsWish) {
    Start(mr_Device_);
    // Twice, as some hosts do, or again after a failed Reset.
    mr_Public_->OnLostDevice();
    mr_Public_->OnLostDevice();
    D3DPRESENT_PARAMETERS lr_Parameters = mr_PresentParameters;
    ASSERT_EQ(mr_Device_->Reset(&lr_Parameters), D3D_OK);
    mr_Public_->OnResetDevice();
    EXPECT_TRUE(mr_Public_->IsActive());
    Frame();
    EXPECT_EQ(DrawNames(), k_Frame);

    // Switched off while the device is lost: it stays off.
    mr_Public_->OnLostDevice();
    mr_Public_->SetActive(false);
    mr_Public_->OnResetDevice();
    EXPECT_FALSE(mr_Public_->IsActive());
    EXPECT_EQ(LiveObjects(), 0u);

    // Switched on while lost: on once the device is back.
    mr_Public_->OnLostDevice();
    mr_Public_->SetActive(true);
    mr_Public_->OnResetDevice();
    EXPECT_TRUE(mr_Public_->IsActive());
    Frame();
    EXPECT_EQ(DrawNames(), k_Frame);
}

}  // namespace
