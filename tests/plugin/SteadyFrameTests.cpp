// A steady frame (unchanged back buffer, all five effects loaded) costs no
// heap allocation anywhere in the process, the platform libraries included,
// writes no log line and makes exactly the device calls of the pipeline.
#include "AllocationCounter.h"
#include "FrameFixture.h"
#include "SoftTestDevice.h"

#include <d3dx9.h>

#include <string>
#include <vector>

namespace {

class SteadyFrameTest : public FrameFixture {
protected:
    // The device shades every pixel of every pass: a small back buffer keeps
    // a hundred frames quick, and the calls of a frame do not depend on its size.
    SteadyFrameTest() { mr_PresentParameters = SoftPresentParameters(64, 48); }

    // Switches the plug-in on and runs the frames that create and lay out everything.
    void WarmUp(bool showAOOnly, int blurPasses) {
        StartPlugin();
        // Every pass is drawn only when all five effects loaded.
        ASSERT_EQ(CountOf(ReadLog(), " shader loaded.\n"), 5u) << ReadLog();
        SetShowAOOnly(showAOOnly);
        mr_Plugin_->SetBlurPasses(blurPasses);
        mr_Plugin_->Render();
        mr_Plugin_->Render();
        mr_Control_->SetRecording(false);
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
    }
};

TEST_F(SteadyFrameTest, HundredFramesAllocateNothingAndLogNothing) {
    WarmUp(false, 2);
    const std::string ls_LogBefore = ReadLog();
    AllocationCounter::Start();
    for (int lr_Frame = 0; lr_Frame < 100; ++lr_Frame) {
        mr_Plugin_->Render();
    }
    AllocationCounter::Stop();
    // The software device stands in for a driver here: its recording, which
    // a driver does not do, is off.
    EXPECT_EQ(AllocationCounter::Ours(), 0u) << "run with SSAO_TRACE_ALLOCATIONS=1 to see where";
    EXPECT_EQ(AllocationCounter::Platform(), 0u) << "run with SSAO_TRACE_ALLOCATIONS=1 to see where";
    EXPECT_EQ(ReadLog(), ls_LogBefore);
    mr_Control_->SetRecording(true);
}

TEST_F(SteadyFrameTest, CounterSeesAllocations) {
    // The counter itself works: without it the test above proves nothing.
    AllocationCounter::Start();
    std::string* lr_Text_ = new std::string(100, 'x');
    AllocationCounter::Stop();
    delete lr_Text_;
    EXPECT_EQ(AllocationCounter::Ours(), 2u);
    EXPECT_EQ(AllocationCounter::Platform(), 0u);

    // What the platform libraries allocate is seen and told apart.
    AllocationCounter::Start();
    ID3DXBuffer* lr_Buffer_ = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(64, &lr_Buffer_), D3D_OK);
    AllocationCounter::Stop();
    lr_Buffer_->Release();
    EXPECT_EQ(AllocationCounter::Ours(), 0u);
    EXPECT_GE(AllocationCounter::Platform(), 1u);
}

// A frame that runs out of memory anywhere in the plug-in's own code while
// it makes its textures and masks is followed, without an activation, by
// one that makes all of them and draws every slice.
TEST_F(SteadyFrameTest, FrameAfterAnyAllocationFailureOfTheFirstDrawsTheWholeFrame) {
    StartPlugin();
    SetShowAOOnly(false);
    unsigned long lr_Nth = 1;
    for (;; ++lr_Nth) {
        SCOPED_TRACE("allocation " + std::to_string(lr_Nth));
        // Off and on again: nothing of the frame is left, the layout included.
        mr_Plugin_->SetActive(false);
        mr_Plugin_->SetActive(true);
        AllocationCounter::FailOurs(lr_Nth);
        mr_Plugin_->Render();
        const bool lr_Failed = AllocationCounter::Failed();
        AllocationCounter::FailOurs(0);
        if (!lr_Failed) break;
        ASSERT_TRUE(mr_Plugin_->IsActive());
        mr_Control_->ClearRecords();
        mr_Plugin_->Render();
        EXPECT_EQ(DrawNames(), (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Occlusion,
                                                         FramePass::Show}));
        EXPECT_EQ(SliceVertices().size(), 40u);
        EXPECT_EQ(mr_Control_->GetCopies().size(), 3u);
        EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 4u) << "three and the noise";
        mr_Control_->ClearRecords();
    }
    EXPECT_GT(lr_Nth, 3u) << "the failure was never armed";
}

struct PerFrame {
    bool ShowAOOnly;
    int Blur;
};

class SteadyFrameCallsTest : public SteadyFrameTest, public ::testing::WithParamInterface<PerFrame> {};

TEST_P(SteadyFrameCallsTest, DeviceCallsPerFrame) {
    const PerFrame lr_Case = GetParam();
    WarmUp(lr_Case.ShowAOOnly, lr_Case.Blur);
    const UINT lr_Frames = 100;
    for (UINT lr_Frame = 0; lr_Frame < lr_Frames; ++lr_Frame) {
        mr_Plugin_->Render();
    }
    const UINT lr_Blur = lr_Case.Blur > 0 ? static_cast<UINT>(lr_Case.Blur) : 0u;
    // Black, all slices in one, occlusion, each blur, and the composite unless hidden.
    const UINT lr_Draws = 3 + lr_Blur + (lr_Case.ShowAOOnly ? 0 : 1);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive), lr_Draws * lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::DrawPrimitive), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StretchRect), (3 + lr_Blur) * lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetSurfaceLevel), (3 + lr_Blur) * lr_Frames);
    // Back-buffer test, render-target check, and one per copy.
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetRenderTarget), (2 + 3 + lr_Blur) * lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetSwapChain), lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::GetBackBuffer), lr_Frames);
    // The plug-in's own block, and one per draw's effect: its Begin captures
    // the host's state in a block and its End applies it.
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockCapture), (1 + lr_Draws) * lr_Frames);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockApply), (2 + lr_Draws) * lr_Frames);
    for (SoftCall lr_Call : {SoftCall::CreateTexture, SoftCall::CreateVertexBuffer, SoftCall::CreateIndexBuffer,
                             SoftCall::VertexBufferLock, SoftCall::IndexBufferLock, SoftCall::CreateStateBlock,
                             SoftCall::SetRenderTarget}) {
        EXPECT_EQ(mr_Control_->GetCallCount(lr_Call), 0u) << static_cast<int>(lr_Call);
    }
    mr_Control_->SetRecording(true);
}

INSTANTIATE_TEST_SUITE_P(Settings, SteadyFrameCallsTest,
                         ::testing::Values(PerFrame{true, 0}, PerFrame{false, 0}, PerFrame{false, 2},
                                           PerFrame{true, 3}),
                         [](const ::testing::TestParamInfo<PerFrame>& info) {
                             return std::string(info.param.ShowAOOnly ? "AOOnly" : "Composite") + "Blur" +
                                    std::to_string(info.param.Blur);
                         });

}  // namespace
