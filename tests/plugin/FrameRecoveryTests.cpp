// One failure of the device at switch-on or in a frame: it is logged once,
// what could not be made is made again at a later frame without a log line
// each frame, and a frame whose host state could not be saved is skipped
// whole.
#include "PublicPluginFixture.h"

namespace {

using Names = std::vector<std::string>;
const Names k_Frame = {FramePass::Black, FramePass::Depth, FramePass::Occlusion};

// What of the device's state a host would miss.
struct HostState {
    DWORD FVF = 0;
    IDirect3DVertexBuffer9* Stream = nullptr;
    IDirect3DIndexBuffer9* Indices = nullptr;
    D3DVIEWPORT9 Viewport = {};
    DWORD ZEnable = 0;

    static HostState Read(IDirect3DDevice9* device) {
        HostState lr_State;
        UINT lr_Offset = 0, lr_Stride = 0;
        device->GetFVF(&lr_State.FVF);
        device->GetStreamSource(0, &lr_State.Stream, &lr_Offset, &lr_Stride);
        if (lr_State.Stream) lr_State.Stream->Release();
        device->GetIndices(&lr_State.Indices);
        if (lr_State.Indices) lr_State.Indices->Release();
        device->GetViewport(&lr_State.Viewport);
        device->GetRenderState(D3DRS_ZENABLE, &lr_State.ZEnable);
        return lr_State;
    }
    bool operator==(const HostState& other) const {
        return FVF == other.FVF && Stream == other.Stream && Indices == other.Indices && ZEnable == other.ZEnable &&
               std::memcmp(&Viewport, &other.Viewport, sizeof(Viewport)) == 0;
    }
};

class FrameRecoveryTest : public PublicPluginFixture {
protected:
    // A frame in which the next call of the operation fails; returns its log.
    std::string FrameFailing(SoftCall call, UINT nth = 1) {
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
        mr_Control_->FailCall(call, nth, E_OUTOFMEMORY);
        MarkLog();
        mr_Public_->Render();
        mr_Control_->ClearFaults();
        return LogSinceMark();
    }
};

TEST_F(FrameRecoveryTest, FailedStateBlockIsLoggedOnceAndMadeAtALaterFrame) {
    mr_Control_->FailCall(SoftCall::CreateStateBlock, 1, E_OUTOFMEMORY);
    Start(mr_Device_);
    EXPECT_EQ(CountOf(ReadLog(), "SSAO: Unable to create state blocks.\n"), 1u);
    for (int lr_Frame = 0; lr_Frame < 2; ++lr_Frame) {
        EXPECT_EQ(FrameFailing(SoftCall::CreateStateBlock), "");
        EXPECT_TRUE(mr_Control_->GetDraws().empty());
        EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockApply), 0u);
    }
    Frame();
    EXPECT_EQ(DrawNames(), k_Frame);
}

TEST_F(FrameRecoveryTest, FailedMaskBuffersAreLoggedOnceAndMadeAtALaterFrame) {
    for (SoftCall lr_Call : {SoftCall::CreateVertexBuffer, SoftCall::CreateIndexBuffer}) {
        Start(mr_Device_);
        // The first buffers of a frame are those of the full-viewport mask.
        EXPECT_EQ(CountOf(FrameFailing(lr_Call), "SSAO: Unable to create screen mask buffers.\n"), 1u);
        EXPECT_EQ(DrawNames(), Names({FramePass::Black, FramePass::Depth}));
        EXPECT_EQ(FrameFailing(lr_Call), "");
        Frame();
        EXPECT_EQ(DrawNames(), k_Frame);
        Delete();
    }
}

TEST_F(FrameRecoveryTest, FailedTextureIsMadeAtALaterFrameWithoutALineEachFrame) {
    Start(mr_Device_);
    const std::string ls_First = FrameFailing(SoftCall::CreateTexture);
    EXPECT_EQ(CountOf(ls_First, "SSAO: Unable to create texture.\n"), 1u);
    EXPECT_EQ(CountOf(ls_First, "SSAO: Destination texture is NULL.\n"), 1u);
    EXPECT_EQ(FrameFailing(SoftCall::CreateTexture), "");
    MarkLog();
    Frame();
    EXPECT_EQ(LogSinceMark(), "");
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateTexture), 1u);
    ASSERT_EQ(mr_Control_->GetCopies().size(), 3u);
    for (const SoftCopyRecord& lr_Copy : mr_Control_->GetCopies()) EXPECT_EQ(lr_Copy.Result, D3D_OK);
}

TEST_F(FrameRecoveryTest, FrameWhoseHostStateCannotBeSavedIsSkippedWhole) {
    Start(mr_Device_);
    Frame();
    // The host's state differs from the one the last frame saved.
    mr_Device_->SetFVF(D3DFVF_XYZ);
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    const HostState lr_Host = HostState::Read(mr_Device_);
    // The plug-in's Capture, or its Apply of the state of activation.
    for (SoftCall lr_Call : {SoftCall::StateBlockCapture, SoftCall::StateBlockApply}) {
        EXPECT_EQ(CountOf(FrameFailing(lr_Call), "SSAO: "), 1u);
        EXPECT_TRUE(mr_Control_->GetDraws().empty());
        EXPECT_TRUE(mr_Control_->GetCopies().empty());
        EXPECT_TRUE(HostState::Read(mr_Device_) == lr_Host);
        EXPECT_EQ(FrameFailing(lr_Call), "");
        Frame();
        EXPECT_EQ(DrawNames(), k_Frame);
    }
}

TEST_F(FrameRecoveryTest, FailedRestoreLeavesNoneOfThePluginsGeometryBound) {
    Start(mr_Device_);
    Frame();
    const UINT lr_Applies = mr_Control_->GetCallCount(SoftCall::StateBlockApply);
    mr_Device_->SetFVF(D3DFVF_XYZ);
    // The frame's last Apply gives the host its state back.
    EXPECT_EQ(CountOf(FrameFailing(SoftCall::StateBlockApply, lr_Applies), "SSAO: "), 1u);
    ASSERT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockApply), lr_Applies);
    const HostState lr_After = HostState::Read(mr_Device_);
    EXPECT_EQ(lr_After.Stream, nullptr);
    EXPECT_EQ(lr_After.Indices, nullptr);
    EXPECT_NE(lr_After.FVF, static_cast<DWORD>(D3DFVF_XYZRHW | D3DFVF_TEX2));
    EXPECT_EQ(FrameFailing(SoftCall::StateBlockApply, lr_Applies), "");
}

}  // namespace
