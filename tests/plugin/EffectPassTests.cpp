// How a frame drives the passes of an effect: each pass drawn once, in
// order; an effect the device refused a shader of left out, the rest drawn.
#include "FrameFixture.h"

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// An occlusion effect of two passes, each with its own pixel shader.
const char* const k_TwoPasses =
    "float4 PS_SSAO() : COLOR0 { return float4(1, 0, 0, 1); }\n"
    "float4 PS_Second() : COLOR0 { return float4(0, 1, 0, 1); }\n"
    "technique T {\n"
    "  pass P0 { PixelShader = compile ps_2_0 PS_SSAO(); }\n"
    "  pass P1 { PixelShader = compile ps_2_0 PS_Second(); }\n"
    "}\n";

class EffectPassTest : public FrameFixture {
protected:
    void RenderFrame() {
        mr_Control_->ClearRecords();
        mr_Plugin_->Render();
    }
};

TEST_F(EffectPassTest, EachPassIsDrawnOnceInOrder) {
    WriteEffectFile("SSAO.hlsl", k_TwoPasses);
    StartPlugin();
    SetShowAOOnly(false);
    for (int lr_Frame = 0; lr_Frame < 2; ++lr_Frame) {
        RenderFrame();
        EXPECT_EQ(DrawNames(),
                  (Names{FramePass::Black, FramePass::Depth, FramePass::Occlusion, "PS_Second", FramePass::Show}))
            << "frame " << lr_Frame;
    }
    // Both passes drew the whole screen into the back buffer: the second is on top.
    const std::vector<SoftDrawRecord> lr_Second = DrawsOf("PS_Second");
    ASSERT_EQ(lr_Second.size(), 1u);
    EXPECT_GT(lr_Second.front().PixelsWritten, 0u);
}

TEST_F(EffectPassTest, EffectWithAShaderTheDeviceRefusedIsLeftOutAndTheRestDrawn) {
    WriteEffectFile("SSAO.hlsl", k_TwoPasses);
    // The occlusion effect loads last: its two pixel shaders are the last made.
    StartPlugin();
    const UINT lr_Shaders = mr_Control_->GetCallCount(SoftCall::CreatePixelShader);
    ASSERT_GE(lr_Shaders, 2u);
    StopPlugin();
    mr_Control_->ResetCallCounts();
    mr_Control_->FailCall(SoftCall::CreatePixelShader, lr_Shaders - 1, E_OUTOFMEMORY);
    MarkLog();
    StartPlugin();
    // A technique with a pass that cannot be drawn is no valid technique.
    EXPECT_NE(LogSinceMark().find("SSAO.hlsl shader not loaded:\nNo valid technique found.\n"), std::string::npos)
        << LogSinceMark();
    SetShowAOOnly(false);
    for (int lr_Frame = 0; lr_Frame < 2; ++lr_Frame) {
        RenderFrame();
        EXPECT_EQ(DrawNames(), (Names{FramePass::Black, FramePass::Depth, FramePass::Show})) << "frame " << lr_Frame;
    }
    EXPECT_EQ(mr_Control_->GetCopies().size(), 3u);
}

TEST_F(EffectPassTest, EffectWithoutPassesDrawsNothingAndTheFrameGoesOn) {
    WriteEffectFile("SSAO.hlsl",
                    "float4 PS_SSAO() : COLOR0 { return 1; }\n"
                    "technique T { }\n");
    StartPlugin();
    SetShowAOOnly(false);
    RenderFrame();
    EXPECT_EQ(DrawNames(), (Names{FramePass::Black, FramePass::Depth, FramePass::Show}));
    EXPECT_EQ(mr_Control_->GetCopies().size(), 3u);
}

}  // namespace
