#include "FrameFixture.h"

#include <cstring>

namespace {

class RenderTargetTest : public FrameFixture {
protected:
    void RenderFrame() {
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
        mr_Plugin_->Render();
    }

    void ExpectFrameTexture(const TextureRecord& record, UINT width, UINT height, D3DFORMAT format) {
        EXPECT_EQ(record.Width, width);
        EXPECT_EQ(record.Height, height);
        EXPECT_EQ(record.Format, format);
        ASSERT_NE(record.Texture, nullptr);
        EXPECT_EQ(record.Texture->GetLevelCount(), 1u);
        D3DSURFACE_DESC lr_Desc = {};
        ASSERT_EQ(record.Texture->GetLevelDesc(0, &lr_Desc), D3D_OK);
        EXPECT_EQ(lr_Desc.Width, width);
        EXPECT_EQ(lr_Desc.Height, height);
        EXPECT_EQ(lr_Desc.Format, format);
        EXPECT_EQ(lr_Desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
        EXPECT_EQ(lr_Desc.Pool, D3DPOOL_DEFAULT);
    }

    void ExpectMasksBuilt() {
        ASSERT_NE(mr_Plugin_->mr_ScreenMask_, nullptr);
        ASSERT_NE(mr_Plugin_->mr_ClearMask_, nullptr);
        EXPECT_FALSE(mr_Plugin_->mr_ScreenMask_->IsBatchedOnly());
        EXPECT_FALSE(mr_Plugin_->mr_ClearMask_->IsBatchedOnly());
        ASSERT_EQ(mr_Plugin_->mr_ZScreenMasks.size(), 10u);
        for (ScreenMask* lr_Mask_ : mr_Plugin_->mr_ZScreenMasks) {
            ASSERT_NE(lr_Mask_, nullptr);
            EXPECT_TRUE(lr_Mask_->IsBatchedOnly());
            EXPECT_EQ(lr_Mask_->Vertices()[2].tu0, 1.0f);
            EXPECT_EQ(lr_Mask_->Vertices()[2].tv0, 1.0f);
        }
        ASSERT_NE(mr_Plugin_->mr_ZScreenMask_, nullptr);
        EXPECT_EQ(mr_Plugin_->mr_ZScreenMask_->GetCapacity(), 40);
    }

    // Changes the back buffer's size or format the way a host does: the
    // plug-in lets go of its device objects around the reset.
    void ResetBackBuffer(UINT width, UINT height, D3DFORMAT format) {
        mr_Plugin_->OnLostDevice();
        mr_PresentParameters.BackBufferWidth = width;
        mr_PresentParameters.BackBufferHeight = height;
        mr_PresentParameters.BackBufferFormat = format;
        D3DPRESENT_PARAMETERS lr_Params = mr_PresentParameters;
        ASSERT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
        mr_Plugin_->OnResetDevice();
    }
};

TEST_F(RenderTargetTest, FirstFrameCreatesThreeTexturesAndTheMasks) {
    StartPlugin();
    EXPECT_EQ(mr_Plugin_->mr_BackBufferTexture.Texture, nullptr);
    MarkLog();
    RenderFrame();
    ExpectFrameTexture(mr_Plugin_->mr_BackBufferTexture, 800, 600, D3DFMT_X8R8G8B8);
    ExpectFrameTexture(mr_Plugin_->mr_ZBackBufferTexture, 800, 600, D3DFMT_X8R8G8B8);
    ExpectFrameTexture(mr_Plugin_->mr_AOBackBufferTexture, 800, 600, D3DFMT_X8R8G8B8);
    EXPECT_NE(mr_Plugin_->mr_BackBufferTexture.Texture, mr_Plugin_->mr_ZBackBufferTexture.Texture);
    EXPECT_NE(mr_Plugin_->mr_BackBufferTexture.Texture, mr_Plugin_->mr_AOBackBufferTexture.Texture);
    ExpectMasksBuilt();
    const std::string ls_Line = "SSAO: CreateTexture: D3DFMT_X8R8G8B8 800x600\n";
    EXPECT_EQ(LogSinceMark(), ls_Line + ls_Line + ls_Line);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateTexture), 3u);
}

TEST_F(RenderTargetTest, UnchangedBackBufferCreatesNothing) {
    StartPlugin();
    RenderFrame();
    IDirect3DTexture9* lr_Scene_ = mr_Plugin_->mr_BackBufferTexture.Texture;
    ScreenMask* lr_Mask_ = mr_Plugin_->mr_ScreenMask_;
    BatchScreenMask* lr_Batch_ = mr_Plugin_->mr_ZScreenMask_;
    MarkLog();
    RenderFrame();
    RenderFrame();
    EXPECT_EQ(LogSinceMark(), "");
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateTexture), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateVertexBuffer), 0u);
    EXPECT_EQ(mr_Plugin_->mr_BackBufferTexture.Texture, lr_Scene_);
    EXPECT_EQ(mr_Plugin_->mr_ScreenMask_, lr_Mask_);
    EXPECT_EQ(mr_Plugin_->mr_ZScreenMask_, lr_Batch_);
}

TEST_F(RenderTargetTest, ResizedBackBufferRecreatesEverythingAndDrawsTheSlices) {
    StartPlugin();
    RenderFrame();
    ResetBackBuffer(640, 480, D3DFMT_X8R8G8B8);
    MarkLog();
    RenderFrame();
    const std::string ls_Line = "SSAO: CreateTexture: D3DFMT_X8R8G8B8 640x480\n";
    EXPECT_EQ(LogSinceMark(), ls_Line + ls_Line + ls_Line);
    ExpectFrameTexture(mr_Plugin_->mr_BackBufferTexture, 640, 480, D3DFMT_X8R8G8B8);
    ExpectFrameTexture(mr_Plugin_->mr_ZBackBufferTexture, 640, 480, D3DFMT_X8R8G8B8);
    ExpectFrameTexture(mr_Plugin_->mr_AOBackBufferTexture, 640, 480, D3DFMT_X8R8G8B8);
    ExpectMasksBuilt();
    EXPECT_FLOAT_EQ(mr_Plugin_->mr_ScreenMask_->Vertices()[2].x, 639.5f);
    const std::vector<SoftDrawRecord> lr_Depth = DrawsOf(FramePass::Depth);
    ASSERT_EQ(lr_Depth.size(), 1u);
    EXPECT_EQ(lr_Depth.front().NumVertices, 40u);
    ASSERT_EQ(mr_Control_->GetCopies().size(), 3u);
    EXPECT_EQ(mr_Control_->GetCopies()[0].SourceRect.right, 640);
}

TEST_F(RenderTargetTest, RecreationWithoutActivationStillDrawsTheSlices) {
    StartPlugin();
    RenderFrame();
    ASSERT_FALSE(mr_Plugin_->mr_SlicesDirty);
    // Something other than an activation makes the next frame re-create:
    // here the record no longer matches render target 0.
    mr_Plugin_->mr_BackBufferTexture.Width = 1;
    MarkLog();
    RenderFrame();
    EXPECT_EQ(CountOf(LogSinceMark(), "SSAO: CreateTexture: "), 3u);
    EXPECT_EQ(mr_Plugin_->mr_BackBufferTexture.Width, 800u);
    const std::vector<SoftDrawRecord> lr_Depth = DrawsOf(FramePass::Depth);
    ASSERT_EQ(lr_Depth.size(), 1u);
    EXPECT_EQ(lr_Depth.front().NumVertices, 40u);
    EXPECT_EQ(lr_Depth.front().PrimitiveCount, 20u);
    EXPECT_FALSE(mr_Plugin_->mr_SlicesDirty);
}

TEST_F(RenderTargetTest, FormatOutsideTheTableIsLoggedByValueAndStillUsed) {
    const D3DFORMAT lr_Format = D3DFMT_A2B10G10R10_XR_BIAS;
    mr_Control_->SetRenderTargetFormatSupported(lr_Format, true);
    mr_PresentParameters.BackBufferFormat = lr_Format;
    D3DPRESENT_PARAMETERS lr_Params = mr_PresentParameters;
    ASSERT_EQ(mr_Device_->Reset(&lr_Params), D3D_OK);
    StartPlugin();
    MarkLog();
    RenderFrame();
    const std::string ls_Line = "SSAO: CreateTexture: Unknown: 119 800x600\n";
    EXPECT_EQ(LogSinceMark(), ls_Line + ls_Line + ls_Line);
    ExpectFrameTexture(mr_Plugin_->mr_BackBufferTexture, 800, 600, lr_Format);
}

TEST_F(RenderTargetTest, CreateTextureNamesTheFormat) {
    StartPlugin();
    const struct {
        D3DFORMAT Format;
        const char* Name;
    } lr_Cases[] = {
        {D3DFMT_A8R8G8B8, "D3DFMT_A8R8G8B8"},           {D3DFMT_R5G6B5, "D3DFMT_R5G6B5"},
        {D3DFMT_A16B16G16R16F, "D3DFMT_A16B16G16R16F"}, {D3DFMT_R32F, "D3DFMT_R32F"},
        {D3DFMT_A2R10G10B10, "D3DFMT_A2R10G10B10"},
    };
    for (const auto& lr_Case : lr_Cases) {
        MarkLog();
        IDirect3DTexture9* lr_Texture_ = mr_Plugin_->CreateTexture(16, 8, lr_Case.Format);
        EXPECT_EQ(LogSinceMark(), std::string("SSAO: CreateTexture: ") + lr_Case.Name + " 16x8\n");
        ASSERT_NE(lr_Texture_, nullptr) << lr_Case.Name;
        lr_Texture_->Release();
    }
}

TEST_F(RenderTargetTest, DeactivationEmptiesTheRecordsSoTheNextFrameRecreates) {
    StartPlugin();
    RenderFrame();
    mr_Plugin_->SetActive(false);
    EXPECT_EQ(mr_Plugin_->mr_BackBufferTexture.Width, 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::VertexBuffer, -1, false), 0u);
    mr_Plugin_->SetActive(true);
    MarkLog();
    RenderFrame();
    EXPECT_EQ(CountOf(LogSinceMark(), "SSAO: CreateTexture: "), 3u);
    EXPECT_EQ(DrawsOf(FramePass::Depth).size(), 1u);
}

}  // namespace
