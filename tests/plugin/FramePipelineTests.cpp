#include "FrameFixture.h"

#include <d3dx9.h>

#include <cmath>
#include <cstring>

namespace {

using Vertex = ScreenMask::ScreenMaskVertex;

class FramePipelineTest : public FrameFixture {
protected:
    void RenderFrame() {
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
        mr_Plugin_->Render();
    }

    // Level 0 of a texture, for comparing with the copy records.
    IDirect3DSurface9* LevelOf(IDirect3DTexture9* texture) {
        IDirect3DSurface9* lr_Surface_ = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(0, &lr_Surface_), D3D_OK);
        if (lr_Surface_) lr_Surface_->Release();
        return lr_Surface_;
    }

    static bool UsesTexture(const SoftDrawRecord& draw, IDirect3DBaseTexture9* texture) {
        for (IDirect3DBaseTexture9* lr_Texture_ : draw.Textures) {
            if (lr_Texture_ == texture) return true;
        }
        return false;
    }
};

// Slice depth under the fixed matrices, in closed form: 2 - 2 / (1 + d) of the depth range.
double ExpectedSliceDepth(double d, double minZ, double maxZ) { return minZ + (maxZ - minZ) * (2.0 - 2.0 / (1.0 + d)); }

TEST_F(FramePipelineTest, FirstFrameLaysOutTenSlicesDrawnInOneBatch) {
    StartPlugin();
    RenderFrame();
    EXPECT_FALSE(mr_Plugin_->mr_SlicesDirty);
    ASSERT_EQ(mr_Plugin_->mr_ZScreenMasks.size(), 10u);
    ASSERT_NE(mr_Plugin_->mr_ZScreenMask_, nullptr);
    const std::vector<Vertex>& lr_Vertices = mr_Plugin_->mr_ZScreenMask_->GetVertices();
    ASSERT_EQ(lr_Vertices.size(), 40u);

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

TEST_F(FramePipelineTest, SliceDepthFollowsTheViewportDepthRange) {
    StartPlugin();
    mr_Plugin_->mr_Viewport.MinZ = 0.25f;
    mr_Plugin_->mr_Viewport.MaxZ = 0.75f;
    EXPECT_NEAR(mr_Plugin_->ComputeSliceDepth(0.0), 0.25, 1e-6);
    EXPECT_NEAR(mr_Plugin_->ComputeSliceDepth(1.0), 0.75, 1e-6);
    EXPECT_NEAR(mr_Plugin_->ComputeSliceDepth(0.5), ExpectedSliceDepth(0.5, 0.25, 0.75), 1e-6);
    EXPECT_NEAR(mr_Plugin_->ComputeSliceDepth(0.99991), ExpectedSliceDepth(0.99991, 0.25, 0.75), 1e-6);
}

TEST_F(FramePipelineTest, OnlyTheDepthRangeCountsAsAViewportChange) {
    StartPlugin();
    D3DVIEWPORT9 lr_Viewport = {0, 0, 800, 600, 0.0f, 1.0f};
    mr_Device_->SetViewport(&lr_Viewport);
    // Zeroed at Initialise, so the first look sees a change.
    EXPECT_TRUE(mr_Plugin_->HasViewportDepthRangeChanged());
    EXPECT_FALSE(mr_Plugin_->HasViewportDepthRangeChanged());

    lr_Viewport = {10, 20, 300, 200, 0.0f, 1.0f};
    mr_Device_->SetViewport(&lr_Viewport);
    EXPECT_FALSE(mr_Plugin_->HasViewportDepthRangeChanged());
    EXPECT_EQ(mr_Plugin_->mr_Viewport.X, 0u);

    lr_Viewport.MinZ = 0.5f;
    mr_Device_->SetViewport(&lr_Viewport);
    EXPECT_TRUE(mr_Plugin_->HasViewportDepthRangeChanged());
    EXPECT_EQ(0, std::memcmp(&mr_Plugin_->mr_Viewport, &lr_Viewport, sizeof(lr_Viewport)));
    lr_Viewport.MaxZ = 0.75f;
    mr_Device_->SetViewport(&lr_Viewport);
    EXPECT_TRUE(mr_Plugin_->HasViewportDepthRangeChanged());
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
    mr_Plugin_->mr_DefaultStateBlock->Capture();
    RenderFrame();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 1u);
    const std::vector<Vertex>& lr_Vertices = mr_Plugin_->mr_ZScreenMask_->GetVertices();
    ASSERT_EQ(lr_Vertices.size(), 40u);
    EXPECT_NEAR(lr_Vertices[0].z, 1.0, 1e-6);
    EXPECT_NEAR(lr_Vertices[36].z, 0.5 + 0.5 * 0.999955, 1e-6);

    // Another origin and size with the same depth range: no new layout.
    lr_Viewport = {16, 8, 640, 480, 0.5f, 1.0f};
    mr_Device_->SetViewport(&lr_Viewport);
    mr_Plugin_->mr_DefaultStateBlock->Capture();
    RenderFrame();
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
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
    EXPECT_EQ(mr_Plugin_->mr_BackBufferTexture.Texture, nullptr);
    EXPECT_EQ(mr_Plugin_->mr_BackBufferTexture.Width, 0u);
    EXPECT_EQ(mr_Plugin_->mr_ScreenMask_, nullptr);
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
    EXPECT_FALSE(mr_Plugin_->IsRenderingToBackBuffer());
    RenderFrame();
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StateBlockCapture), 0u);

    mr_Device_->SetRenderTarget(0, lr_BackBuffer_);
    EXPECT_TRUE(mr_Plugin_->IsRenderingToBackBuffer());
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
    EXPECT_TRUE(mr_Plugin_->mr_ShowAOOnly);
    EXPECT_EQ(DrawNames(), (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Occlusion}));

    SetShowAOOnly(false);
    RenderFrame();
    EXPECT_FALSE(mr_Plugin_->mr_ShowAOOnly);
    EXPECT_EQ(DrawNames(),
              (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Occlusion, FramePass::Show}));
    // The composite reads the scene copy and the one unblurred occlusion copy.
    const std::vector<SoftDrawRecord> lr_Show = DrawsOf(FramePass::Show);
    ASSERT_EQ(lr_Show.size(), 1u);
    EXPECT_TRUE(UsesTexture(lr_Show.front(), mr_Plugin_->mr_BackBufferTexture.Texture));
    EXPECT_TRUE(UsesTexture(lr_Show.front(), mr_Plugin_->mr_AOBackBufferTexture.Texture));
    ASSERT_EQ(mr_Control_->GetCopies().size(), 3u);
    EXPECT_EQ(mr_Control_->GetCopies()[2].Dest, LevelOf(mr_Plugin_->mr_AOBackBufferTexture.Texture));
}

TEST_F(FramePipelineTest, CopiesGoFromTheBackBufferIntoEachTextureUnfiltered) {
    StartPlugin();
    RenderFrame();
    const std::vector<SoftCopyRecord>& lr_Copies = mr_Control_->GetCopies();
    ASSERT_EQ(lr_Copies.size(), 3u);
    IDirect3DSurface9* lr_BackBuffer_ = GetBackBuffer0();
    IDirect3DSurface9* lr_Dest[3] = {LevelOf(mr_Plugin_->mr_BackBufferTexture.Texture),
                                     LevelOf(mr_Plugin_->mr_ZBackBufferTexture.Texture),
                                     LevelOf(mr_Plugin_->mr_AOBackBufferTexture.Texture)};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lr_Copies[i].Source, lr_BackBuffer_) << "copy " << i;
        EXPECT_EQ(lr_Copies[i].Dest, lr_Dest[i]) << "copy " << i;
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
    EXPECT_TRUE(UsesTexture(lr_Occlusion.front(), mr_Plugin_->mr_ZBackBufferTexture.Texture));
    ASSERT_NE(mr_Plugin_->mr_NoiseTexture.Texture, nullptr);
    EXPECT_TRUE(UsesTexture(lr_Occlusion.front(), mr_Plugin_->mr_NoiseTexture.Texture));
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
        for (size_t i = 2; i < lr_Copies.size(); ++i) {
            EXPECT_EQ(lr_Copies[i].Dest, LevelOf(mr_Plugin_->mr_AOBackBufferTexture.Texture));
        }
        EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StretchRect), 3u + lr_Case.Blurs);
    }
}

TEST_F(FramePipelineTest, PixelSizeGoesToOcclusionAndBlur) {
    StartPlugin();
    mr_Plugin_->SetBlurPasses(1);
    RenderFrame();
    for (IShader* lr_Shader_ : {mr_Plugin_->mr_SSAOShader_, mr_Plugin_->mr_ZBlurShader_}) {
        ASSERT_NE(lr_Shader_, nullptr);
        ASSERT_NE(lr_Shader_->GetEffect(), nullptr) << lr_Shader_->GetErrorMessage();
        D3DXVECTOR4 lr_Value(9.0f, 9.0f, 9.0f, 9.0f);
        ASSERT_EQ(lr_Shader_->GetEffect()->GetVector("sddx", &lr_Value), D3D_OK);
        EXPECT_FLOAT_EQ(lr_Value.x, 1.0f / 800.0f);
        EXPECT_FLOAT_EQ(lr_Value.y, 1.0f / 600.0f);
        EXPECT_EQ(lr_Value.z, 0.0f);
        EXPECT_EQ(lr_Value.w, 0.0f);
    }
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
    ASSERT_NE(mr_Plugin_->mr_SSAOShader_, nullptr);
    EXPECT_EQ(mr_Plugin_->mr_SSAOShader_->GetEffect(), nullptr);
    SetShowAOOnly(false);
    RenderFrame();
    EXPECT_EQ(DrawNames(), (std::vector<std::string>{FramePass::Black, FramePass::Depth, FramePass::Show}));
    EXPECT_EQ(mr_Control_->GetCopies().size(), 3u);
}

TEST_F(FrameMissingObjectTest, NullShaderIsLeftOut) {
    StartPlugin();
    mr_Plugin_->mr_RenderBlackShader_ = nullptr;
    mr_Plugin_->mr_ZBlurShader_ = nullptr;
    mr_Plugin_->SetBlurPasses(2);
    RenderFrame();
    EXPECT_EQ(DrawNames(), (std::vector<std::string>{FramePass::Depth, FramePass::Occlusion}));
    // The blur copies still run: the composite reads the occlusion copy.
    EXPECT_EQ(mr_Control_->GetCopies().size(), 5u);
}

TEST_F(FrameMissingObjectTest, MissingNoiseImageStillDrawsTheOcclusion) {
    std::filesystem::remove(EffectDirectory() / "Noise.bmp");
    StartPlugin();
    EXPECT_EQ(mr_Plugin_->mr_NoiseTexture.Texture, nullptr);
    RenderFrame();
    const std::vector<SoftDrawRecord> lr_Occlusion = DrawsOf(FramePass::Occlusion);
    ASSERT_EQ(lr_Occlusion.size(), 1u);
    EXPECT_TRUE(UsesTexture(lr_Occlusion.front(), mr_Plugin_->mr_ZBackBufferTexture.Texture));
}

}  // namespace
