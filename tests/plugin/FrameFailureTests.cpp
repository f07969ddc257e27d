#include "FrameFixture.h"

#include <ostream>
#include <string>
#include <vector>

namespace {

struct FailureCase {
    const char* Name;
    SoftCall Call;
    UINT Nth;                         // which call of the first frame fails
    std::vector<const char*> Logged;  // lines the failure must leave in the log, in order
    bool FrameSkipped;                // the frame is left alone altogether
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.Name; }

const char* const k_Unable = "SSAO: Unable to create texture.\n";
const char* const k_NullTexture = "SSAO: Destination texture is NULL.\n";
const char* const k_NoDestSurface = "SSAO: Unable to get surface from destination texture.\n";
const char* const k_NoSourceSurface = "SSAO: Unable to get surface from backbuffer.\n";
const char* const k_CopyFailed = "SSAO: Failed to update our textures: -2005530516\n";

const FailureCase k_Cases[] = {
    {"CreateTexture1", SoftCall::CreateTexture, 1, {k_Unable, k_NullTexture}, false},
    {"CreateTexture2", SoftCall::CreateTexture, 2, {k_Unable, k_NullTexture}, false},
    {"CreateTexture3", SoftCall::CreateTexture, 3, {k_Unable}, false},
    // The first vertex buffer of a frame is the full-screen mask's, the second the batch's.
    {"CreateVertexBuffer1", SoftCall::CreateVertexBuffer, 1, {}, false},
    {"CreateVertexBuffer2", SoftCall::CreateVertexBuffer, 2, {}, false},
    {"CreateIndexBuffer1", SoftCall::CreateIndexBuffer, 1, {}, false},
    {"CreateIndexBuffer2", SoftCall::CreateIndexBuffer, 2, {}, false},
    {"VertexBufferLock1", SoftCall::VertexBufferLock, 1, {}, false},
    {"IndexBufferLock1", SoftCall::IndexBufferLock, 1, {}, false},
    {"IndexBufferLock2", SoftCall::IndexBufferLock, 2, {}, false},
    {"GetSurfaceLevel1", SoftCall::GetSurfaceLevel, 1, {k_NoDestSurface, k_CopyFailed}, false},
    {"StretchRect1", SoftCall::StretchRect, 1, {k_CopyFailed}, false},
    {"StretchRect3", SoftCall::StretchRect, 3, {k_CopyFailed}, false},
    {"GetRenderTarget1", SoftCall::GetRenderTarget, 1, {}, true},
    {"GetRenderTarget2", SoftCall::GetRenderTarget, 2, {k_NullTexture, k_NullTexture, k_NullTexture}, false},
    {"GetRenderTarget3", SoftCall::GetRenderTarget, 3, {k_NoSourceSurface, k_CopyFailed}, false},
    {"GetSwapChain1", SoftCall::GetSwapChain, 1, {}, true},
    {"GetBackBuffer1", SoftCall::GetBackBuffer, 1, {}, true},
};

class FrameFailureTest : public FrameFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FrameFailureTest, FrameSurvivesAndReportsTheFailure) {
    const FailureCase& lr_Case = GetParam();
    StartPlugin();
    SetShowAOOnly(false);
    mr_Plugin_->SetBlurPasses(1);
    mr_Control_->ResetCallCounts();
    mr_Control_->ClearRecords();
    mr_Control_->FailCall(lr_Case.Call, lr_Case.Nth, D3DERR_INVALIDCALL);
    MarkLog();
    mr_Plugin_->Render();
    ASSERT_GE(mr_Control_->GetCallCount(lr_Case.Call), lr_Case.Nth) << "the frame never made that call";

    const std::string ls_Log = LogSinceMark();
    size_t lr_At = 0;
    for (const char* ls_Line : lr_Case.Logged) {
        lr_At = ls_Log.find(ls_Line, lr_At);
        ASSERT_NE(lr_At, std::string::npos) << "missing, in order: " << ls_Line << "log:\n" << ls_Log;
        lr_At += 1;
    }
    if (lr_Case.FrameSkipped) {
        EXPECT_EQ(ls_Log, "");
        EXPECT_TRUE(mr_Control_->GetDraws().empty());
        EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockCapture), 0u);
    } else {
        // Whatever failed, the host's state went back: the plug-in applies
        // two blocks for the one it captured; each effect applies what it captured.
        EXPECT_GE(mr_Control_->GetCallCount(SoftCall::StateBlockCapture), 1u);
        EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockApply),
                  mr_Control_->GetCallCount(SoftCall::StateBlockCapture) + 1);
    }

    // Later frames carry on without a crash.
    mr_Control_->ClearFaults();
    mr_Plugin_->Render();
    mr_Plugin_->Render();

    // After deactivation nothing of the plug-in is left on the device.
    mr_Plugin_->SetActive(false);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 0u)
        << DescribeLiveObjects(mr_Control_, false);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::VertexBuffer, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::IndexBuffer, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::StateBlock, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Surface, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::SwapChain, -1, false), 0u);
}

INSTANTIATE_TEST_SUITE_P(EachCall, FrameFailureTest, ::testing::ValuesIn(k_Cases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.Name; });

}  // namespace
