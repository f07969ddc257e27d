// Hosts unlike the usual one: a device of several heads or back buffers, a
// viewport inside the back buffer, a log the host shares.
#include "AppendWatch.h"
#include "PublicPluginFixture.h"
#include "SoftTestDevice.h"

#include <sstream>

namespace {

using Names = std::vector<std::string>;
const Names k_Frame = {FramePass::Black, FramePass::Depth, FramePass::Occlusion};

class HostVarietyTest : public PublicPluginFixture {
protected:
    // Smallest and largest x and y of the vertices a draw read.
    static void ExpectSpan(const SoftDrawRecord& draw, float left, float top, float right, float bottom) {
        const std::vector<std::pair<float, float>> lr_Corners = Corners(draw);
        ASSERT_FALSE(lr_Corners.empty());
        float lr_Span[4] = {lr_Corners[0].first, lr_Corners[0].second, lr_Corners[0].first, lr_Corners[0].second};
        for (const auto& lr_Corner : lr_Corners) {
            lr_Span[0] = std::min(lr_Span[0], lr_Corner.first);
            lr_Span[1] = std::min(lr_Span[1], lr_Corner.second);
            lr_Span[2] = std::max(lr_Span[2], lr_Corner.first);
            lr_Span[3] = std::max(lr_Span[3], lr_Corner.second);
        }
        EXPECT_EQ(lr_Span[0], left);
        EXPECT_EQ(lr_Span[1], top);
        EXPECT_EQ(lr_Span[2], right);
        EXPECT_EQ(lr_Span[3], bottom);
    }

    // Makes render target 0 the back buffer of one head, then draws a frame.
    void RenderInto(UINT head) {
        IDirect3DSurface9* lr_Buffer_ = nullptr;
        ASSERT_EQ(mr_Device_->GetBackBuffer(head, 0, D3DBACKBUFFER_TYPE_MONO, &lr_Buffer_), D3D_OK);
        mr_Device_->SetRenderTarget(0, lr_Buffer_);
        lr_Buffer_->Release();
        Frame();
    }
};

TEST_F(HostVarietyTest, SubordinateHeadReportingNoAdaptersInItsGroupIsRendered) {
    mr_Control_->SetAdaptersInGroup(2);
    ASSERT_EQ(ReplaceDevice(1, D3DCREATE_HARDWARE_VERTEXPROCESSING, {mr_PresentParameters}), D3D_OK);
    D3DCAPS9 lr_Caps;
    ASSERT_EQ(mr_Device_->GetDeviceCaps(&lr_Caps), D3D_OK);
    ASSERT_EQ(lr_Caps.NumberOfAdaptersInGroup, 0u);
    Start(mr_Device_);
    Frame();
    EXPECT_EQ(DrawNames(), k_Frame);
}

TEST_F(HostVarietyTest, EachHeadsBackBufferReplacesTheFrameTexturesInOrder) {
    // No effect drawn holds a frame texture: the live ones are the plug-in's.
    WriteEffectFile("SSAO.hlsl",
                    "float4 PS_SSAO() : COLOR0 { return 1; }\n"
                    "technique T { pass P0 { PixelShader = compile ps_2_0 PS_SSAO(); } }\n");
    // Three heads driven by one device; only the height changes, then only the format.
    std::vector<D3DPRESENT_PARAMETERS> lr_Heads(3, mr_PresentParameters);
    lr_Heads[1].BackBufferHeight = 480;
    lr_Heads[2].BackBufferFormat = D3DFMT_A8R8G8B8;
    for (D3DPRESENT_PARAMETERS& lr_Head : lr_Heads) lr_Head.Windowed = FALSE;
    mr_Control_->SetAdaptersInGroup(3);
    ASSERT_EQ(ReplaceDevice(0, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_ADAPTERGROUP_DEVICE, lr_Heads), D3D_OK);
    std::vector<UINT> lr_LiveAtCreation;
    mr_Control_->SetCallHook(SoftCall::CreateTexture, [&]() {
        lr_LiveAtCreation.push_back(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
    });
    Start(mr_Device_);
    RenderInto(0);

    const char* const lr_Lines[3] = {nullptr, "SSAO: CreateTexture: D3DFMT_X8R8G8B8 800x480\n",
                                     "SSAO: CreateTexture: D3DFMT_A8R8G8B8 800x600\n"};
    for (UINT lr_Head = 1; lr_Head < 3; ++lr_Head) {
        lr_LiveAtCreation.clear();
        MarkLog();
        RenderInto(lr_Head);
        EXPECT_EQ(CountOf(LogSinceMark(), lr_Lines[lr_Head]), 3u) << LogSinceMark();
        EXPECT_EQ(DrawNames(), k_Frame);
        // The noise image and three frame textures: the scene and depth copies
        // are made before their predecessors go, the occlusion copy after.
        EXPECT_EQ(lr_LiveAtCreation, (std::vector<UINT>{4, 4, 3}));
        ASSERT_EQ(mr_Control_->GetCopies().size(), 3u);
        for (const SoftCopyRecord& lr_Copy : mr_Control_->GetCopies()) EXPECT_EQ(lr_Copy.Result, D3D_OK);
    }
    mr_Control_->SetCallHook(SoftCall::CreateTexture, {});
}

TEST_F(HostVarietyTest, ViewportInsideTheBackBufferPlacesThePassesAtItsCorner) {
    const D3DVIEWPORT9 lr_AtActivation = {100, 50, 640, 360, 0.0f, 1.0f};
    mr_Device_->SetViewport(&lr_AtActivation);
    Start(mr_Device_);
    // The host's viewport in the frame differs: the passes keep the one of activation.
    const D3DVIEWPORT9 lr_Host = {0, 0, 800, 600, 0.0f, 1.0f};
    mr_Device_->SetViewport(&lr_Host);
    Frame();
    ASSERT_EQ(DrawNames(), k_Frame);
    for (const char* ls_Pass : {FramePass::Black, FramePass::Occlusion}) {
        const SoftDrawRecord lr_Draw = DrawsOf(ls_Pass).front();
        EXPECT_EQ(0, std::memcmp(&lr_Draw.Viewport, &lr_AtActivation, sizeof(D3DVIEWPORT9))) << ls_Pass;
        ExpectSpan(lr_Draw, 99.5f, 49.5f, 739.5f, 409.5f);
    }
    D3DVIEWPORT9 lr_After = {};
    mr_Device_->GetViewport(&lr_After);
    EXPECT_EQ(0, std::memcmp(&lr_After, &lr_Host, sizeof(D3DVIEWPORT9)));
}

class TwoBackBufferTest : public HostVarietyTest {
protected:
    TwoBackBufferTest() { mr_PresentParameters.BackBufferCount = 2; }
};

TEST_F(TwoBackBufferTest, SecondBackBufferIsTheBackBufferToo) {
    Start(mr_Device_);
    IDirect3DSurface9* lr_First_ = GetBackBuffer0();
    IDirect3DSurface9* lr_Second_ = nullptr;
    ASSERT_EQ(mr_Device_->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, &lr_Second_), D3D_OK);
    mr_Device_->SetRenderTarget(0, lr_Second_);
    Frame();
    EXPECT_EQ(DrawNames(), k_Frame);
    ASSERT_EQ(mr_Control_->GetCopies().size(), 3u);
    EXPECT_EQ(mr_Control_->GetCopies()[0].Source, lr_Second_);
    mr_Device_->SetRenderTarget(0, lr_First_);
    lr_First_->Release();
    lr_Second_->Release();
}

TEST_F(HostVarietyTest, EachMessageIsOneAppendToTheLog) {
    WriteEffectFile("ZBlur.hlsl", "this is not an effect;\n");
    std::filesystem::remove(EffectDirectory() / "Noise.bmp");
    mr_Public_ = new k_Plugin(mr_Host.get());
    mr_Public_->Initialise(mr_Device_);
    MarkLog();
    AppendWatch lr_Watch(mr_TempDirectory / "Vexil.log");
    ASSERT_TRUE(lr_Watch.IsWatching());
    mr_Public_->SetActive(true);
    Frame();

    // Effects loaded and not, the noise image not, the frame textures.
    std::istringstream lr_Lines(LogSinceMark());
    unsigned lr_Messages = 0;
    for (std::string ls_Line; std::getline(lr_Lines, ls_Line);)
        if (ls_Line.rfind("SSAO: ", 0) == 0) ++lr_Messages;
    EXPECT_EQ(lr_Watch.TakeWrites(), lr_Messages) << LogSinceMark();
    EXPECT_EQ(CountOf(LogSinceMark(), " shader loaded.\n"), 4u);
    EXPECT_EQ(CountOf(LogSinceMark(), "SSAO: CreateTexture: "), 3u);
}

TEST_F(HostVarietyTest, EachLoadAsksTheHostForItsDataPath) {
    Start(mr_Device_);
    EXPECT_EQ(mr_Host->mr_DataPathCalls, 6) << "five effects and the noise image";
    mr_Public_->SetActive(false);
    mr_Public_->SetActive(true);
    EXPECT_EQ(mr_Host->mr_DataPathCalls, 12);
}

}  // namespace
