#include "FrameFixture.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace {

class RenderTargetTest : public FrameFixture {
protected:
    void RenderFrame() {
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
        mr_Plugin_->Render();
    }

    // The three frame textures: render targets in the default pool, one level
    // of the back buffer's size and format each.
    void ExpectFrameTextures(UINT width, UINT height, D3DFORMAT format) {
        size_t lr_Count = 0;
        for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) {
            if (lr_Object.Kind != SoftObjectKind::Texture || lr_Object.Pool == D3DPOOL_MANAGED) continue;
            ++lr_Count;
            EXPECT_EQ(lr_Object.Pool, D3DPOOL_DEFAULT);
            EXPECT_EQ(lr_Object.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
            EXPECT_EQ(lr_Object.Width, width);
            EXPECT_EQ(lr_Object.Height, height);
            EXPECT_EQ(lr_Object.Format, format);
            EXPECT_EQ(static_cast<IDirect3DTexture9*>(const_cast<void*>(lr_Object.Object))->GetLevelCount(), 1u);
        }
        EXPECT_EQ(lr_Count, 3u);
    }

    // The masks: a vertex and index buffer pair for the whole-screen quad,
    // one for the clearing quad and one for the ten slices drawn as a batch.
    void ExpectMasksBuilt() {
        std::vector<UINT> lr_Vertices;
        for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) {
            if (lr_Object.Kind != SoftObjectKind::VertexBuffer) continue;
            D3DVERTEXBUFFER_DESC lr_Desc = {};
            static_cast<IDirect3DVertexBuffer9*>(const_cast<void*>(lr_Object.Object))->GetDesc(&lr_Desc);
            lr_Vertices.push_back(lr_Desc.Size / ScreenMask::Stride);
        }
        std::sort(lr_Vertices.begin(), lr_Vertices.end());
        EXPECT_EQ(lr_Vertices, (std::vector<UINT>{4, 4, 40}));
        EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::IndexBuffer, -1, false), 3u);
        const std::vector<Vertex> lr_Slices = SliceVertices();
        ASSERT_EQ(lr_Slices.size(), 40u);
        // Texture set 0 counts noise images across the frame, for the slices' dither.
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(lr_Slices[4 * i + 2].tu0,
                      static_cast<float>(mr_PresentParameters.BackBufferWidth) / k_FrameNoiseSide)
                << "slice " << i;
            EXPECT_EQ(lr_Slices[4 * i + 2].tv0,
                      static_cast<float>(mr_PresentParameters.BackBufferHeight) / k_FrameNoiseSide)
                << "slice " << i;
        }
    }

    // The device objects there are, by identity.
    std::set<const void*> Objects() {
        std::set<const void*> lr_Objects;
        for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects()) lr_Objects.insert(lr_Object.Object);
        return lr_Objects;
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
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 1u) << "only the noise image";
    MarkLog();
    RenderFrame();
    ExpectFrameTextures(800, 600, D3DFMT_X8R8G8B8);
    ExpectMasksBuilt();
    const std::string ls_Line = "SSAO: CreateTexture: D3DFMT_X8R8G8B8 800x600\n";
    EXPECT_EQ(LogSinceMark(), ls_Line + ls_Line + ls_Line);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateTexture), 3u);
}

TEST_F(RenderTargetTest, UnchangedBackBufferCreatesNothing) {
    StartPlugin();
    RenderFrame();
    const std::set<const void*> lr_Before = Objects();
    MarkLog();
    RenderFrame();
    RenderFrame();
    EXPECT_EQ(LogSinceMark(), "");
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateTexture), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateVertexBuffer), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
    EXPECT_EQ(Objects(), lr_Before) << "the same textures and buffers";
}

TEST_F(RenderTargetTest, ResizedBackBufferRecreatesEverythingAndDrawsTheSlices) {
    StartPlugin();
    RenderFrame();
    ResetBackBuffer(640, 480, D3DFMT_X8R8G8B8);
    MarkLog();
    RenderFrame();
    const std::string ls_Line = "SSAO: CreateTexture: D3DFMT_X8R8G8B8 640x480\n";
    EXPECT_EQ(LogSinceMark(), ls_Line + ls_Line + ls_Line);
    ExpectFrameTextures(640, 480, D3DFMT_X8R8G8B8);
    ExpectMasksBuilt();
    // The whole-screen quad of the occlusion pass fits the new size.
    const std::vector<SoftDrawRecord> lr_Occlusion = DrawsOf(FramePass::Occlusion);
    ASSERT_EQ(lr_Occlusion.size(), 1u);
    float lr_Right = 0.0f;
    for (size_t lr_At = 0; lr_At + sizeof(Vertex) <= lr_Occlusion.front().Vertices.size(); lr_At += sizeof(Vertex)) {
        Vertex lr_Vertex;
        std::memcpy(&lr_Vertex, &lr_Occlusion.front().Vertices[lr_At], sizeof(Vertex));
        lr_Right = std::max(lr_Right, lr_Vertex.x);
    }
    EXPECT_FLOAT_EQ(lr_Right, 639.5f);
    const std::vector<SoftDrawRecord> lr_Depth = DrawsOf(FramePass::Depth);
    ASSERT_EQ(lr_Depth.size(), 1u);
    EXPECT_EQ(lr_Depth.front().NumVertices, 40u);
    ASSERT_EQ(mr_Control_->GetCopies().size(), 3u);
    EXPECT_EQ(mr_Control_->GetCopies()[0].SourceRect.right, 640);
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
    ExpectFrameTextures(800, 600, lr_Format);
}

TEST_F(RenderTargetTest, CreateTextureNamesTheFormat) {
    // The back buffer's format is the frame textures' and the log names it.
    const struct {
        D3DFORMAT Format;
        const char* Name;
    } lr_Cases[] = {
        {D3DFMT_A8R8G8B8, "D3DFMT_A8R8G8B8"},           {D3DFMT_R5G6B5, "D3DFMT_R5G6B5"},
        {D3DFMT_A16B16G16R16F, "D3DFMT_A16B16G16R16F"}, {D3DFMT_R32F, "D3DFMT_R32F"},
        {D3DFMT_A2R10G10B10, "D3DFMT_A2R10G10B10"},
    };
    StartPlugin();
    for (const auto& lr_Case : lr_Cases) {
        SCOPED_TRACE(lr_Case.Name);
        mr_Control_->SetRenderTargetFormatSupported(lr_Case.Format, true);
        ResetBackBuffer(16, 8, lr_Case.Format);
        MarkLog();
        RenderFrame();
        const std::string ls_Line = std::string("SSAO: CreateTexture: ") + lr_Case.Name + " 16x8\n";
        EXPECT_EQ(LogSinceMark(), ls_Line + ls_Line + ls_Line);
        ExpectFrameTextures(16, 8, lr_Case.Format);
    }
}

TEST_F(RenderTargetTest, DeactivationEmptiesTheRecordsSoTheNextFrameRecreates) {
    StartPlugin();
    RenderFrame();
    mr_Plugin_->SetActive(false);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::VertexBuffer, -1, false), 0u);
    mr_Plugin_->SetActive(true);
    MarkLog();
    RenderFrame();
    EXPECT_EQ(CountOf(LogSinceMark(), "SSAO: CreateTexture: "), 3u);
    EXPECT_EQ(DrawsOf(FramePass::Depth).size(), 1u);
}

}  // namespace
