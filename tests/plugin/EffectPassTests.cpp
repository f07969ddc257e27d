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

// Passes that read what the passes before them drew, through the plug-in's
// "CopyBackBuffer" callback: each pass adds a quarter to one channel of what
// it reads from the copy its "CopyInto" asked for. `first`, `second` and
// `third` are the annotations of the three passes.
std::string CopyingEffect(const char* first, const char* second, const char* third) {
    return std::string(
               "texture Depth : ZBackBuffer;\n"
               "texture Work : BlurBackBuffer;\n"
               "sampler DepthSampler = sampler_state { Texture = <Depth>; MinFilter = Point; MagFilter = Point; };\n"
               "sampler WorkSampler = sampler_state { Texture = <Work>; MinFilter = Point; MagFilter = Point; };\n"
               "float4 PS_SSAO() : COLOR0 { return float4(0.25, 0, 0, 1); }\n"
               "float4 PS_Second(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(DepthSampler, uv) + "
               "float4(0, 0.25, 0, 0); }\n"
               "float4 PS_Third(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(WorkSampler, uv) + "
               "float4(0, 0, 0.25, 0); }\n"
               "technique T {\n"
               "  pass P0 ") +
           first + " { PixelShader = compile ps_2_0 PS_SSAO(); }\n  pass P1 " + second +
           " { PixelShader = compile ps_2_0 PS_Second(); }\n  pass P2 " + third +
           " { PixelShader = compile ps_2_0 PS_Third(); }\n}\n";
}

const char* const k_MarkedOnly = "< bool CopyBackBuffer = true; >";
const char* const k_IntoDepth = "< bool CopyBackBuffer = true; string CopyInto = \"ZBackBuffer\"; >";
const char* const k_IntoWork = "< bool CopyBackBuffer = true; string CopyInto = \"BlurBackBuffer\"; >";

class PassCopyTest : public EffectPassTest {
protected:
    // The centre pixel of the back buffer after the frame (ShowAOOnly on: the last pass's), as B G R X.
    std::vector<BYTE> CentrePixel() {
        IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
        const std::vector<BYTE> lr_Pixels = ReadPixels(lr_BackBuffer_);
        lr_BackBuffer_->Release();
        const size_t lr_Width = mr_PresentParameters.BackBufferWidth, lr_Height = mr_PresentParameters.BackBufferHeight;
        const size_t lr_At = ((lr_Height / 2) * lr_Width + lr_Width / 2) * 4;
        if (lr_Pixels.size() < lr_At + 4) return {};
        return std::vector<BYTE>(lr_Pixels.begin() + lr_At, lr_Pixels.begin() + lr_At + 4);
    }
};

// Each pass reads its predecessor's picture: red from the first, green added
// by the second, blue by the third. Two copies more a frame, each one
// StretchRect of the whole back buffer.
TEST_F(PassCopyTest, APassReadsWhatThePassBeforeItDrew) {
    WriteEffectFile("SSAO.hlsl", CopyingEffect(k_MarkedOnly, k_IntoDepth, k_IntoWork));
    StartPlugin();
    for (int lr_Frame = 0; lr_Frame < 2; ++lr_Frame) {
        RenderFrame();
        EXPECT_EQ(DrawNames(),
                  (Names{FramePass::Black, FramePass::Depth, FramePass::Occlusion, "PS_Second", "PS_Third"}));
        const std::vector<SoftCopyRecord>& lr_Copies = mr_Control_->GetCopies();
        ASSERT_EQ(lr_Copies.size(), 5u) << "frame " << lr_Frame;
        // The depth copy's destination again, then the occlusion copy's.
        EXPECT_EQ(lr_Copies[2].Dest, lr_Copies[1].Dest);
        EXPECT_EQ(lr_Copies[3].Dest, lr_Copies[4].Dest);
        EXPECT_NE(lr_Copies[2].Dest, lr_Copies[3].Dest);
        for (const SoftCopyRecord& lr_Copy : lr_Copies) EXPECT_EQ(lr_Copy.Result, D3D_OK);
        const std::vector<BYTE> lr_Pixel = CentrePixel();
        ASSERT_EQ(lr_Pixel.size(), 4u);
        EXPECT_NEAR(lr_Pixel[2], 64, 1) << "red, from the first pass";
        EXPECT_NEAR(lr_Pixel[1], 64, 1) << "green, from the second";
        EXPECT_NEAR(lr_Pixel[0], 64, 1) << "blue, from the third";
    }
}

// The framework drops a pass callback at the first pass that does not carry
// it: a first pass without the mark means no copy for the later ones, and
// the frame is as it would be without copies.
TEST_F(PassCopyTest, AnUnmarkedFirstPassDropsTheCopies) {
    WriteEffectFile("SSAO.hlsl", CopyingEffect("", k_IntoDepth, k_IntoWork));
    StartPlugin();
    RenderFrame();
    EXPECT_EQ(DrawNames(), (Names{FramePass::Black, FramePass::Depth, FramePass::Occlusion, "PS_Second", "PS_Third"}));
    EXPECT_EQ(mr_Control_->GetCopies().size(), 3u);
    // The third pass read the occlusion texture of no frame yet: not the second pass's green.
    const std::vector<BYTE> lr_Pixel = CentrePixel();
    ASSERT_EQ(lr_Pixel.size(), 4u);
    EXPECT_GE(lr_Pixel[0], 63);
    EXPECT_NE(lr_Pixel[1], 64);
}

// A copy that fails is logged like the frame's own, and the pass is drawn
// all the same; a copy into a texture the plug-in does not have is said once.
TEST_F(PassCopyTest, AFailedOrUnknownCopyIsLoggedAndThePassStillDrawn) {
    WriteEffectFile("SSAO.hlsl", CopyingEffect(k_MarkedOnly, k_IntoDepth,
                                               "< bool CopyBackBuffer = true; string CopyInto = \"Elsewhere\"; >"));
    StartPlugin();
    MarkLog();
    // The frame's scene and depth copies come first; the third is the second pass's.
    mr_Control_->FailCall(SoftCall::StretchRect, 3, D3DERR_INVALIDCALL);
    RenderFrame();
    RenderFrame();
    EXPECT_EQ(DrawNames(), (Names{FramePass::Black, FramePass::Depth, FramePass::Occlusion, "PS_Second", "PS_Third"}));
    const std::string ls_Log = LogSinceMark();
    EXPECT_EQ(CountOf(ls_Log, "SSAO: Failed to update our textures: " + std::to_string(D3DERR_INVALIDCALL)), 1u)
        << ls_Log;
    EXPECT_EQ(CountOf(ls_Log, "SSAO: A pass asks for a copy into \"Elsewhere\", which is no texture of the plug-in's."),
              1u)
        << ls_Log;
    // Scene, depth and the second pass's copy; none for "Elsewhere".
    EXPECT_EQ(mr_Control_->GetCopies().size(), 4u);
}

}  // namespace
