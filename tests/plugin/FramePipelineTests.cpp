#include "FrameFixture.h"

#include <d3dx9.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

class FramePipelineTest : public FrameFixture {
protected:
    void RenderFrame() {
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
        mr_Plugin_->Render();
    }

    // The plug-in's one managed texture, the noise image; null without it.
    IDirect3DBaseTexture9* NoiseTexture() {
        IDirect3DBaseTexture9* lr_Found_ = nullptr;
        for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects())
            if (lr_Object.Kind == SoftObjectKind::Texture && lr_Object.Pool == D3DPOOL_MANAGED) {
                EXPECT_EQ(lr_Found_, nullptr) << "one managed texture";
                lr_Found_ = static_cast<IDirect3DTexture9*>(const_cast<void*>(lr_Object.Object));
            }
        return lr_Found_;
    }
    static bool UsesTexture(const SoftDrawRecord& draw, IDirect3DBaseTexture9* texture) {
        for (IDirect3DBaseTexture9* lr_Texture_ : draw.Textures) {
            if (lr_Texture_ == texture) return true;
        }
        return false;
    }
    // The host's state changes after activation: the frame runs in the state
    // captured then, held in the plug-in's state blocks, so they are captured anew.
    void RecaptureActivationState() {
        for (const SoftLiveObject& lr_Object : mr_Control_->GetLiveObjects())
            if (lr_Object.Kind == SoftObjectKind::StateBlock)
                static_cast<IDirect3DStateBlock9*>(const_cast<void*>(lr_Object.Object))->Capture();
    }
};

// Slice depth under the fixed camera (looking down +z, near plane 1, far plane 2), in closed form:
// 2 - 2 / (1 + d) of the depth range.
double ExpectedSliceDepth(double d, double minZ, double maxZ) { return minZ + (maxZ - minZ) * (2.0 - 2.0 / (1.0 + d)); }

TEST_F(FramePipelineTest, FirstFrameLaysOutTenSlicesDrawnInOneBatch) {
    StartPlugin();
    RenderFrame();
    const std::vector<Vertex> lr_Vertices = SliceVertices();
    ASSERT_EQ(lr_Vertices.size(), 40u) << "ten slices of four corners";

    // Slice 0 is the far plane; each later slice is slightly nearer.
    const struct {
        int Slice;
        double Depth;
        float Value;
    } lr_Table[] = {{0, 1.0, 1.0f}, {1, 0.999995, 0.9f}, {5, 0.999975, 0.5f}, {9, 0.999955, 0.1f}};
    for (const auto& lr_Row : lr_Table) {
        for (int k = 0; k < 4; ++k) {
            const Vertex& v = lr_Vertices[4 * lr_Row.Slice + k];
            EXPECT_NEAR(v.z, lr_Row.Depth, 1e-6) << "slice " << lr_Row.Slice;
            EXPECT_NEAR(v.tu1, lr_Row.Value, 1e-6) << "slice " << lr_Row.Slice;
            EXPECT_NEAR(v.tv1, lr_Row.Value, 1e-6) << "slice " << lr_Row.Slice;
            EXPECT_EQ(v.rhw, 1.0f);
        }
    }
    for (int i = 0; i < 10; ++i) {
        const double lr_A = static_cast<double>(1.0f - static_cast<float>(i) * (0.01f / 10.0f));
        const double lr_B = static_cast<float>(std::pow(lr_A, 0.01));
        EXPECT_NEAR(lr_Vertices[4 * i].z, ExpectedSliceDepth(lr_B, 0.0, 1.0), 1e-6) << "slice " << i;
        EXPECT_NEAR(lr_Vertices[4 * i].tu1, 1.0 - 0.1 * i, 1e-6) << "slice " << i;
        if (i > 0) {
            EXPECT_LT(lr_Vertices[4 * i].z, lr_Vertices[4 * (i - 1)].z);
        }
    }
    // Every slice covers the whole 800x600 viewport, with the half-pixel offset.
    EXPECT_FLOAT_EQ(lr_Vertices[36].x, -0.5f);
    EXPECT_FLOAT_EQ(lr_Vertices[38].x, 799.5f);
    EXPECT_FLOAT_EQ(lr_Vertices[38].y, 599.5f);

    const std::vector<SoftDrawRecord> lr_Depth = DrawsOf(FramePass::Depth);
    ASSERT_EQ(lr_Depth.size(), 1u);
    EXPECT_EQ(lr_Depth.front().NumVertices, 40u);
    EXPECT_EQ(lr_Depth.front().PrimitiveCount, 20u);
    EXPECT_EQ(lr_Depth.front().FVF, static_cast<DWORD>(0x204));
    // Drawn against the host's depth buffer and into its back buffer.
    IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
    IDirect3DSurface9* lr_DepthStencil_ = nullptr;
    mr_Device_->GetDepthStencilSurface(&lr_DepthStencil_);
    EXPECT_EQ(lr_Depth.front().RenderTarget, lr_BackBuffer_);
    EXPECT_EQ(lr_Depth.front().DepthStencil, lr_DepthStencil_);
    lr_BackBuffer_->Release();
    if (lr_DepthStencil_) lr_DepthStencil_->Release();
}

TEST_F(FramePipelineTest, InitialiseSetsTheTuningValuesAgain) {
    StartPlugin();
    SetShowAOOnly(false);
    mr_Plugin_->SetBlurPasses(2);
    RenderFrame();
    ASSERT_EQ(DrawsOf(FramePass::Blur).size(), 2u);
    // No blur again, and the viewport forgotten: the slices are laid out anew.
    mr_Plugin_->Initialise(mr_Device_);
    ASSERT_TRUE(mr_Plugin_->IsActive());
    RenderFrame();
    EXPECT_EQ(DrawNames(),
              (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Occlusion, FramePass::Show}));
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 1u);
    EXPECT_EQ(SliceVertices().size(), 40u) << "ten slices";
}

TEST_F(FramePipelineTest, SliceDepthFollowsTheViewportDepthRange) {
    // The viewport in force at activation is the one the frame sees.
    D3DVIEWPORT9 lr_Viewport = {0, 0, 800, 600, 0.25f, 0.75f};
    mr_Device_->SetViewport(&lr_Viewport);
    StartPlugin();
    RenderFrame();
    const std::vector<Vertex> lr_Vertices = SliceVertices();
    ASSERT_EQ(lr_Vertices.size(), 40u);
    EXPECT_NEAR(lr_Vertices[0].z, 0.75, 1e-6) << "the far slice is at MaxZ";
    for (int i = 0; i < 10; ++i) {
        const double lr_A = static_cast<double>(1.0f - static_cast<float>(i) * (0.01f / 10.0f));
        const double lr_B = static_cast<float>(std::pow(lr_A, 0.01));
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(lr_Vertices[4 * i + k].z, ExpectedSliceDepth(lr_B, 0.25, 0.75), 1e-6) << "slice " << i;
    }
}

TEST_F(FramePipelineTest, SlicesAreLaidOutAgainOnlyWhenTheDepthRangeChanges) {
    StartPlugin();
    RenderFrame();
    RenderFrame();
    // A steady frame does no vertex work.
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
    EXPECT_EQ(DrawsOf(FramePass::Depth).size(), 1u);

    // The frame sees the state captured at activation: change its depth range there.
    D3DVIEWPORT9 lr_Viewport = {0, 0, 800, 600, 0.5f, 1.0f};
    mr_Device_->SetViewport(&lr_Viewport);
    RecaptureActivationState();
    RenderFrame();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 1u);
    const std::vector<Vertex> lr_Vertices = SliceVertices();
    ASSERT_EQ(lr_Vertices.size(), 40u);
    EXPECT_NEAR(lr_Vertices[0].z, 1.0, 1e-6);
    EXPECT_NEAR(lr_Vertices[36].z, 0.5 + 0.5 * 0.999955, 1e-6);

    // Another origin and size with the same depth range: no new layout.
    lr_Viewport = {16, 8, 640, 480, 0.5f, 1.0f};
    mr_Device_->SetViewport(&lr_Viewport);
    RecaptureActivationState();
    RenderFrame();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);

    // Either end of the range is a change, seen once.
    const auto lr_Locks = [&](float minZ, float maxZ) {
        lr_Viewport.MinZ = minZ;
        lr_Viewport.MaxZ = maxZ;
        mr_Device_->SetViewport(&lr_Viewport);
        RecaptureActivationState();
        RenderFrame();
        return mr_Control_->GetCallCount(SoftCall::VertexBufferLock);
    };
    EXPECT_EQ(lr_Locks(0.5f, 0.75f), 1u) << "MaxZ";
    EXPECT_EQ(lr_Locks(0.5f, 0.75f), 0u) << "unchanged";
    EXPECT_EQ(lr_Locks(0.25f, 0.75f), 1u) << "MinZ";
}

// Everything a frame may change, read back through the device's Get* calls.
struct DeviceSnapshot {
    HRESULT RenderStateResults[256];
    DWORD RenderStates[256];
    DWORD SamplerStates[16][14];
    IDirect3DBaseTexture9* Textures[16];
    DWORD TextureStageStates[8][33];
    D3DVIEWPORT9 Viewport;
    DWORD FVF;
    IDirect3DVertexBuffer9* Stream;
    UINT StreamOffset;
    UINT StreamStride;
    IDirect3DIndexBuffer9* Indices;
    IDirect3DVertexShader9* VertexShader;
    IDirect3DPixelShader9* PixelShader;
    IDirect3DVertexDeclaration9* Declaration;
    IDirect3DSurface9* RenderTarget;
    IDirect3DSurface9* DepthStencil;
    RECT Scissor;

    static DeviceSnapshot Take(IDirect3DDevice9* device) {
        DeviceSnapshot s;
        std::memset(&s, 0, sizeof(s));
        for (DWORD i = 0; i < 256; ++i) {
            s.RenderStateResults[i] = device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(i), &s.RenderStates[i]);
        }
        for (DWORD st = 0; st < 16; ++st) {
            for (DWORD t = 1; t < 14; ++t) {
                device->GetSamplerState(st, static_cast<D3DSAMPLERSTATETYPE>(t), &s.SamplerStates[st][t]);
            }
            device->GetTexture(st, &s.Textures[st]);
            if (s.Textures[st]) s.Textures[st]->Release();
        }
        for (DWORD st = 0; st < 8; ++st) {
            for (DWORD t = 1; t < 33; ++t) {
                device->GetTextureStageState(st, static_cast<D3DTEXTURESTAGESTATETYPE>(t),
                                             &s.TextureStageStates[st][t]);
            }
        }
        device->GetViewport(&s.Viewport);
        device->GetFVF(&s.FVF);
        device->GetStreamSource(0, &s.Stream, &s.StreamOffset, &s.StreamStride);
        if (s.Stream) s.Stream->Release();
        device->GetIndices(&s.Indices);
        if (s.Indices) s.Indices->Release();
        device->GetVertexShader(&s.VertexShader);
        if (s.VertexShader) s.VertexShader->Release();
        device->GetPixelShader(&s.PixelShader);
        if (s.PixelShader) s.PixelShader->Release();
        device->GetVertexDeclaration(&s.Declaration);
        if (s.Declaration) s.Declaration->Release();
        device->GetRenderTarget(0, &s.RenderTarget);
        if (s.RenderTarget) s.RenderTarget->Release();
        device->GetDepthStencilSurface(&s.DepthStencil);
        if (s.DepthStencil) s.DepthStencil->Release();
        device->GetScissorRect(&s.Scissor);
        return s;
    }
};

void ExpectSameState(const DeviceSnapshot& a, const DeviceSnapshot& b) {
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(a.RenderStateResults[i], b.RenderStateResults[i]) << "render state " << i;
        EXPECT_EQ(a.RenderStates[i], b.RenderStates[i]) << "render state " << i;
    }
    for (int st = 0; st < 16; ++st) {
        for (int t = 1; t < 14; ++t) {
            EXPECT_EQ(a.SamplerStates[st][t], b.SamplerStates[st][t]) << "sampler " << st << " state " << t;
        }
        EXPECT_EQ(a.Textures[st], b.Textures[st]) << "texture " << st;
    }
    for (int st = 0; st < 8; ++st) {
        for (int t = 1; t < 33; ++t) {
            EXPECT_EQ(a.TextureStageStates[st][t], b.TextureStageStates[st][t]) << "stage " << st << " state " << t;
        }
    }
    EXPECT_EQ(0, std::memcmp(&a.Viewport, &b.Viewport, sizeof(a.Viewport)));
    EXPECT_EQ(a.FVF, b.FVF);
    EXPECT_EQ(a.Stream, b.Stream);
    EXPECT_EQ(a.StreamOffset, b.StreamOffset);
    EXPECT_EQ(a.StreamStride, b.StreamStride);
    EXPECT_EQ(a.Indices, b.Indices);
    EXPECT_EQ(a.VertexShader, b.VertexShader);
    EXPECT_EQ(a.PixelShader, b.PixelShader);
    EXPECT_EQ(a.Declaration, b.Declaration);
    EXPECT_EQ(a.RenderTarget, b.RenderTarget);
    EXPECT_EQ(a.DepthStencil, b.DepthStencil);
    EXPECT_EQ(0, std::memcmp(&a.Scissor, &b.Scissor, sizeof(a.Scissor)));
}

TEST_F(FramePipelineTest, FrameIntoAnOffScreenTargetTouchesNothing) {
    StartPlugin();
    IDirect3DSurface9* lr_Target_ = nullptr;
    ASSERT_EQ(
        mr_Device_->CreateRenderTarget(256, 256, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr),
        D3D_OK);
    IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
    ASSERT_EQ(mr_Device_->SetRenderTarget(0, lr_Target_), D3D_OK);
    mr_Device_->SetFVF(D3DFVF_XYZ);
    const DeviceSnapshot lr_Before = DeviceSnapshot::Take(mr_Device_);
    std::vector<BYTE> lr_Pattern(256 * 256 * 4);
    for (size_t i = 0; i < lr_Pattern.size(); ++i) lr_Pattern[i] = static_cast<BYTE>(i * 7);
    ASSERT_EQ(mr_Control_->WritePixels(lr_Target_, lr_Pattern), D3D_OK);
    MarkLog();
    const ULONG lr_TargetRefs = RefCount(lr_Target_);

    RenderFrame();
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_TRUE(mr_Control_->GetCopies().empty());
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockCapture), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockApply), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateTexture), 0u);
    EXPECT_EQ(LogSinceMark(), "");
    EXPECT_EQ(ReadPixels(lr_Target_), lr_Pattern);
    // No frame texture or mask was made: the noise image is the one texture, and no buffer was made.
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false), 1u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateVertexBuffer), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateIndexBuffer), 0u);
    const DeviceSnapshot lr_After = DeviceSnapshot::Take(mr_Device_);
    ExpectSameState(lr_Before, lr_After);
    EXPECT_EQ(lr_After.RenderTarget, lr_Target_);
    EXPECT_EQ(lr_After.FVF, static_cast<DWORD>(D3DFVF_XYZ));
    // The plug-in's references to the surfaces it looked at are all given back.
    EXPECT_EQ(RefCount(lr_Target_), lr_TargetRefs);

    mr_Device_->SetRenderTarget(0, lr_BackBuffer_);
    lr_BackBuffer_->Release();
    lr_Target_->Release();
}

TEST_F(FramePipelineTest, BackBufferOfAnAdditionalSwapChainIsNotTheFrame) {
    StartPlugin();
    D3DPRESENT_PARAMETERS lr_Params = DefaultPresentParameters();
    lr_Params.EnableAutoDepthStencil = FALSE;
    IDirect3DSwapChain9* lr_Chain_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateAdditionalSwapChain(&lr_Params, &lr_Chain_), D3D_OK);
    IDirect3DSurface9* lr_ChainBuffer_ = nullptr;
    ASSERT_EQ(lr_Chain_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &lr_ChainBuffer_), D3D_OK);
    IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
    mr_Device_->SetRenderTarget(0, lr_ChainBuffer_);
    RenderFrame();
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockCapture), 0u);

    mr_Device_->SetRenderTarget(0, lr_BackBuffer_);
    RenderFrame();
    EXPECT_FALSE(mr_Control_->GetDraws().empty()) << "the device's own back buffer is the frame";
    lr_BackBuffer_->Release();
    lr_ChainBuffer_->Release();
    lr_Chain_->Release();
}

TEST_F(FramePipelineTest, HostStateIsTheSameAfterTheFrame) {
    StartPlugin();
    SetShowAOOnly(false);
    mr_Plugin_->SetBlurPasses(1);

    // A host state unlike the one captured at activation.
    IDirect3DTexture9* lr_HostTexture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_HostTexture_, nullptr),
              D3D_OK);
    IDirect3DVertexBuffer9* lr_HostVertices_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexBuffer(256, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &lr_HostVertices_,
                                             nullptr),
              D3D_OK);
    IDirect3DIndexBuffer9* lr_HostIndices_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &lr_HostIndices_, nullptr), D3D_OK);
    mr_Device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    mr_Device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    mr_Device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    mr_Device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    mr_Device_->SetSamplerState(1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    mr_Device_->SetTexture(0, lr_HostTexture_);
    mr_Device_->SetTexture(2, lr_HostTexture_);
    D3DVIEWPORT9 lr_Viewport = {10, 20, 300, 200, 0.1f, 0.9f};
    mr_Device_->SetViewport(&lr_Viewport);
    mr_Device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    mr_Device_->SetStreamSource(0, lr_HostVertices_, 16, 16);
    mr_Device_->SetIndices(lr_HostIndices_);

    for (int lr_Frame = 0; lr_Frame < 2; ++lr_Frame) {
        const DeviceSnapshot lr_Before = DeviceSnapshot::Take(mr_Device_);
        RenderFrame();
        ASSERT_EQ(DrawNames().size(), 5u) << "frame " << lr_Frame;
        const DeviceSnapshot lr_After = DeviceSnapshot::Take(mr_Device_);
        ExpectSameState(lr_Before, lr_After);
    }
    // The passes ran with the state captured at activation, not the host's.
    const std::vector<SoftDrawRecord> lr_Occlusion = DrawsOf(FramePass::Occlusion);
    ASSERT_EQ(lr_Occlusion.size(), 1u);
    EXPECT_EQ(lr_Occlusion.front().Viewport.Width, 800u);
    EXPECT_EQ(lr_Occlusion.front().Viewport.MinZ, 0.0f);

    StopPlugin();
    mr_Device_->SetTexture(0, nullptr);
    mr_Device_->SetTexture(2, nullptr);
    mr_Device_->SetStreamSource(0, nullptr, 0, 0);
    mr_Device_->SetIndices(nullptr);
    lr_HostTexture_->Release();
    lr_HostVertices_->Release();
    lr_HostIndices_->Release();
}

TEST_F(FramePipelineTest, ShowAOOnlyLeavesTheOcclusionTermOnScreen) {
    StartPlugin();
    // The check box is on by default.
    RenderFrame();
    EXPECT_EQ(DrawNames(), (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Occlusion}));

    SetShowAOOnly(false);
    RenderFrame();
    EXPECT_EQ(DrawNames(),
              (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Occlusion, FramePass::Show}));
    // The composite reads the scene copy and the one unblurred occlusion copy.
    // The copies are the scene, the depth and the occlusion term, in that order.
    const std::vector<SoftDrawRecord> lr_Show = DrawsOf(FramePass::Show);
    ASSERT_EQ(lr_Show.size(), 1u);
    const std::vector<SoftCopyRecord>& lr_Copies = mr_Control_->GetCopies();
    ASSERT_EQ(lr_Copies.size(), 3u);
    EXPECT_TRUE(ReadsSurface(lr_Show.front(), lr_Copies[0].Dest));
    EXPECT_FALSE(ReadsSurface(lr_Show.front(), lr_Copies[1].Dest));
    EXPECT_TRUE(ReadsSurface(lr_Show.front(), lr_Copies[2].Dest));
}

TEST_F(FramePipelineTest, CopiesGoFromTheBackBufferIntoEachTextureUnfiltered) {
    StartPlugin();
    RenderFrame();
    const std::vector<SoftCopyRecord>& lr_Copies = mr_Control_->GetCopies();
    ASSERT_EQ(lr_Copies.size(), 3u);
    IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
    // Three distinct targets, each level 0 of a render-target texture of the back buffer's size.
    EXPECT_NE(lr_Copies[0].Dest, lr_Copies[1].Dest);
    EXPECT_NE(lr_Copies[1].Dest, lr_Copies[2].Dest);
    EXPECT_NE(lr_Copies[0].Dest, lr_Copies[2].Dest);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lr_Copies[i].Source, lr_BackBuffer_) << "copy " << i;
        IDirect3DTexture9* lr_Texture_ = nullptr;
        ASSERT_EQ(lr_Copies[i].Dest->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&lr_Texture_)),
                  D3D_OK)
            << "copy " << i;
        D3DSURFACE_DESC lr_Desc;
        lr_Texture_->GetLevelDesc(0, &lr_Desc);
        lr_Texture_->Release();
        EXPECT_EQ(lr_Desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
        EXPECT_EQ(lr_Desc.Width, 800u);
        EXPECT_EQ(lr_Copies[i].Filter, D3DTEXF_NONE);
        EXPECT_EQ(lr_Copies[i].Result, D3D_OK);
        EXPECT_EQ(lr_Copies[i].SourceRect.right, 800);
        EXPECT_EQ(lr_Copies[i].SourceRect.bottom, 600);
        EXPECT_EQ(0, std::memcmp(&lr_Copies[i].SourceRect, &lr_Copies[i].DestRect, sizeof(RECT)));
    }
    lr_BackBuffer_->Release();

    // The occlusion pass reads the depth copy and the noise image.
    const std::vector<SoftDrawRecord> lr_Occlusion = DrawsOf(FramePass::Occlusion);
    ASSERT_EQ(lr_Occlusion.size(), 1u);
    EXPECT_TRUE(ReadsSurface(lr_Occlusion.front(), lr_Copies[1].Dest));
    EXPECT_FALSE(ReadsSurface(lr_Occlusion.front(), lr_Copies[0].Dest));
    ASSERT_NE(NoiseTexture(), nullptr);
    EXPECT_TRUE(UsesTexture(lr_Occlusion.front(), NoiseTexture()));
}

TEST_F(FramePipelineTest, BlurPassesEachDrawAndCopyAgain) {
    StartPlugin();
    SetShowAOOnly(false);
    const struct {
        int Passes;
        size_t Blurs;
    } lr_Cases[] = {{0, 0}, {2, 2}, {-3, 0}, {1, 1}};
    for (const auto& lr_Case : lr_Cases) {
        mr_Plugin_->SetBlurPasses(lr_Case.Passes);
        RenderFrame();
        std::vector<std::string> lr_Expected = {FramePass::Black, FramePass::Depth, FramePass::Occlusion};
        lr_Expected.insert(lr_Expected.end(), lr_Case.Blurs, FramePass::Blur);
        lr_Expected.push_back(FramePass::Show);
        EXPECT_EQ(DrawNames(), lr_Expected) << lr_Case.Passes << " passes";
        const std::vector<SoftCopyRecord>& lr_Copies = mr_Control_->GetCopies();
        ASSERT_EQ(lr_Copies.size(), 3u + lr_Case.Blurs) << lr_Case.Passes << " passes";
        // Each blur is copied over the occlusion term, which the composite reads.
        for (size_t i = 2; i < lr_Copies.size(); ++i) {
            EXPECT_EQ(lr_Copies[i].Dest, lr_Copies[2].Dest);
        }
        for (const SoftDrawRecord& lr_Blur : DrawsOf(FramePass::Blur))
            EXPECT_TRUE(ReadsSurface(lr_Blur, lr_Copies[2].Dest));
        ASSERT_EQ(DrawsOf(FramePass::Show).size(), 1u);
        EXPECT_TRUE(ReadsSurface(DrawsOf(FramePass::Show).front(), lr_Copies[2].Dest));
        EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StretchRect), 3u + lr_Case.Blurs);
    }
}

TEST_F(FramePipelineTest, PixelSizeGoesToOcclusionAndBlur) {
    // Each pass writes the pixel size it was given, scaled to one half for
    // this 800x600 back buffer; with ShowAOOnly the last pass stays on screen.
    WriteEffectFile("SSAO.hlsl",
                    "float4 sddx;\n"
                    "float4 PS_SSAO() : COLOR0 { return float4(sddx.x * 400, sddx.y * 300, sddx.z + sddx.w, 1); }\n"
                    "technique T { pass P0 { PixelShader = compile ps_2_0 PS_SSAO(); } }\n");
    WriteEffectFile("ZBlur.hlsl",
                    "float4 sddx;\n"
                    "float4 PS_Blur() : COLOR0 { return float4(sddx.z + sddx.w, sddx.y * 300, sddx.x * 400, 1); }\n"
                    "technique T { pass P0 { PixelShader = compile ps_2_0 PS_Blur(); } }\n");
    StartPlugin();
    IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
    // Bytes B, G, R of the middle pixel, each within one step of 0 (0) or one half (128).
    const auto lr_Middle = [&]() {
        const std::vector<BYTE> lr_Pixels = ReadPixels(lr_BackBuffer_);
        const size_t lr_At = (300u * 800u + 400u) * 4u;
        std::vector<int> lr_Levels;
        for (size_t i = 0; i < 3 && lr_At + i < lr_Pixels.size(); ++i)
            lr_Levels.push_back(std::abs(lr_Pixels[lr_At + i] - 128) <= 1 ? 128 : lr_Pixels[lr_At + i]);
        return lr_Levels;
    };
    RenderFrame();
    ASSERT_EQ(DrawsOf(FramePass::Occlusion).size(), 1u);
    EXPECT_EQ(lr_Middle(), (std::vector<int>{0, 128, 128})) << "occlusion";
    mr_Plugin_->SetBlurPasses(1);
    RenderFrame();
    ASSERT_EQ(DrawsOf(FramePass::Blur).size(), 1u);
    EXPECT_EQ(lr_Middle(), (std::vector<int>{128, 128, 0})) << "blur";
    lr_BackBuffer_->Release();
}

TEST_F(FramePipelineTest, EffectWithoutPixelSizeIsDrawnAllTheSame) {
    WriteEffectFile("SSAO.hlsl",
                    "float4 PS_SSAO() : COLOR0 { return float4(1, 1, 1, 1); }\n"
                    "technique T { pass P0 { PixelShader = compile ps_2_0 PS_SSAO(); } }\n");
    StartPlugin();
    RenderFrame();
    EXPECT_EQ(DrawsOf(FramePass::Occlusion).size(), 1u);
}

// What the frame does when activation left something out.
class FrameMissingObjectTest : public FramePipelineTest {};

TEST_F(FrameMissingObjectTest, EffectThatDidNotCompileIsLeftOut) {
    WriteEffectFile("SSAO.hlsl", "this is not an effect;\n");
    StartPlugin();
    EXPECT_EQ(CountOf(ReadLog(), "SSAO.hlsl shader not loaded:\n"), 1u) << ReadLog();
    SetShowAOOnly(false);
    RenderFrame();
    EXPECT_EQ(DrawNames(), (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Show}));
    EXPECT_EQ(mr_Control_->GetCopies().size(), 3u);
}

TEST_F(FrameMissingObjectTest, MissingEffectFileIsLeftOut) {
    std::filesystem::remove(EffectDirectory() / "RenderBlack.hlsl");
    std::filesystem::remove(EffectDirectory() / "ZBlur.hlsl");
    StartPlugin();
    mr_Plugin_->SetBlurPasses(2);
    RenderFrame();
    EXPECT_EQ(DrawNames(), (std::vector<std::string>{FramePass::Depth, FramePass::Occlusion}));
    // The blur copies still run: the composite reads the occlusion copy.
    EXPECT_EQ(mr_Control_->GetCopies().size(), 5u);
}

TEST_F(FrameMissingObjectTest, MissingNoiseImageStillDrawsTheOcclusion) {
    std::filesystem::remove(EffectDirectory() / "Noise.bmp");
    StartPlugin();
    EXPECT_EQ(NoiseTexture(), nullptr);
    RenderFrame();
    const std::vector<SoftDrawRecord> lr_Occlusion = DrawsOf(FramePass::Occlusion);
    ASSERT_EQ(lr_Occlusion.size(), 1u);
    ASSERT_EQ(mr_Control_->GetCopies().size(), 3u);
    EXPECT_TRUE(ReadsSurface(lr_Occlusion.front(), mr_Control_->GetCopies()[1].Dest));
}

}  // namespace
