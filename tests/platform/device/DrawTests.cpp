// Draw calls: what they check and what they record.
#include "DeviceTestUtil.h"
#include "SoftDeviceFixture.h"

#include <cstring>

using namespace device_test;

class DrawTests : public SoftDeviceFixture {
protected:
    void SetUp() override {
        SoftDeviceFixture::SetUp();
        mr_Vertices_ = MakeVertexBuffer(mr_Device_, 8);
        mr_Indices_ = MakeIndexBuffer(mr_Device_, {0, 1, 2, 2, 3, 0, 4, 5, 6, 6, 7, 4});
        ASSERT_NE(mr_Vertices_, nullptr);
        ASSERT_NE(mr_Indices_, nullptr);
    }
    void TearDown() override {
        mr_Device_->SetStreamSource(0, nullptr, 0, 0);
        mr_Device_->SetIndices(nullptr);
        if (mr_Vertices_) mr_Vertices_->Release();
        if (mr_Indices_) mr_Indices_->Release();
        SoftDeviceFixture::TearDown();
    }
    void BindAll() {
        mr_Device_->SetFVF(k_VertexFVF);
        mr_Device_->SetStreamSource(0, mr_Vertices_, 0, sizeof(Vertex));
        mr_Device_->SetIndices(mr_Indices_);
    }
    static float X(const SoftDrawRecord& record, UINT vertex) {
        Vertex lr_Vertex;
        std::memcpy(&lr_Vertex, record.Vertices.data() + vertex * record.Stride, sizeof(Vertex));
        return lr_Vertex.x;
    }

    IDirect3DVertexBuffer9* mr_Vertices_ = nullptr;
    IDirect3DIndexBuffer9* mr_Indices_ = nullptr;
};

TEST_F(DrawTests, IndexedDrawRecordsIndicesVerticesAndState) {
    BindAll();
    IDirect3DTexture9* lr_Texture_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &lr_Texture_, nullptr), D3D_OK);
    mr_Device_->SetTexture(1, lr_Texture_);
    mr_Device_->SetSamplerState(1, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    mr_Device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    std::vector<DWORD> lr_Tokens = ShaderTokens(D3DPS_VERSION(2, 0), "PS_Occlusion");
    IDirect3DPixelShader9* lr_Shader_ = nullptr;
    ASSERT_EQ(mr_Device_->CreatePixelShader(lr_Tokens.data(), &lr_Shader_), D3D_OK);
    mr_Device_->SetPixelShader(lr_Shader_);

    // The second quad, drawn from index 6 with a base vertex of 0.
    ASSERT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 4, 6, 2), D3D_OK);
    ASSERT_EQ(mr_Control_->GetDraws().size(), 1u);
    const SoftDrawRecord& lr_Draw = mr_Control_->GetDraws()[0];
    EXPECT_TRUE(lr_Draw.Indexed);
    EXPECT_EQ(lr_Draw.PrimitiveType, D3DPT_TRIANGLELIST);
    EXPECT_EQ(lr_Draw.PrimitiveCount, 2u);
    EXPECT_EQ(lr_Draw.StartIndex, 6u);
    EXPECT_EQ(lr_Draw.FVF, k_VertexFVF);
    EXPECT_EQ(lr_Draw.Stride, sizeof(Vertex));
    EXPECT_EQ(lr_Draw.Indices, (std::vector<UINT>{4, 5, 6, 6, 7, 4}));
    ASSERT_EQ(lr_Draw.Vertices.size(), 6 * sizeof(Vertex));
    EXPECT_EQ(X(lr_Draw, 0), 4.0f);
    EXPECT_EQ(X(lr_Draw, 4), 7.0f);
    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    EXPECT_EQ(lr_Draw.RenderTarget, lr_Back_);
    lr_Back_->Release();
    EXPECT_NE(lr_Draw.DepthStencil, nullptr);
    EXPECT_EQ(lr_Draw.Viewport.Width, 800u);
    EXPECT_EQ(lr_Draw.RenderStates[D3DRS_ZFUNC], static_cast<DWORD>(D3DCMP_ALWAYS));
    EXPECT_EQ(lr_Draw.Textures[1], static_cast<IDirect3DBaseTexture9*>(lr_Texture_));
    EXPECT_EQ(lr_Draw.Textures[0], nullptr);
    EXPECT_EQ(lr_Draw.SamplerStates[1][D3DSAMP_MINFILTER], static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(lr_Draw.PixelShader, lr_Shader_);
    EXPECT_EQ(lr_Draw.PixelShaderName, "PS_Occlusion");
    EXPECT_EQ(lr_Draw.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(2, 0)));

    mr_Control_->ClearRecords();
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    mr_Device_->SetTexture(1, nullptr);
    mr_Device_->SetPixelShader(nullptr);
    lr_Shader_->Release();
    lr_Texture_->Release();
}

TEST_F(DrawTests, BaseVertexIndexShiftsTheVerticesRead) {
    BindAll();
    ASSERT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    const SoftDrawRecord& lr_Draw = mr_Control_->GetDraws().back();
    EXPECT_EQ(lr_Draw.Indices, (std::vector<UINT>{0, 1, 2, 2, 3, 0}));
    EXPECT_EQ(X(lr_Draw, 0), 4.0f);
    EXPECT_EQ(X(lr_Draw, 4), 7.0f);
    // Base 5 makes index 3 read vertex 8, past the buffer.
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 5, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Control_->GetDraws().size(), 1u);  // refused draws are not recorded
}

TEST_F(DrawTests, DrawsRefuseWhatIsNotBoundOrOutOfRange) {
    // Nothing bound at all.
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    mr_Device_->SetStreamSource(0, mr_Vertices_, 0, sizeof(Vertex));
    mr_Device_->SetIndices(mr_Indices_);
    // No FVF and no declaration.
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    mr_Device_->SetFVF(k_VertexFVF);
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    // Reading past the index buffer (12 indices): start 9 + 6 indices.
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 9, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 6, 2), D3D_OK);
    // Zero primitives, or an unknown type.
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0, 1), D3DERR_INVALIDCALL);
    // Without an index buffer.
    mr_Device_->SetIndices(nullptr);
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    // A stride of 0.
    mr_Device_->SetStreamSource(0, mr_Vertices_, 0, 0);
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    // Non-indexed: 8 vertices hold a strip of 6 triangles, not 7.
    mr_Device_->SetStreamSource(0, mr_Vertices_, 0, sizeof(Vertex));
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 6), D3D_OK);
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 7), D3DERR_INVALIDCALL);
    // A stream offset counts against the buffer too.
    mr_Device_->SetStreamSource(0, mr_Vertices_, sizeof(Vertex), sizeof(Vertex));
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 6), D3DERR_INVALIDCALL);
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 5), D3D_OK);
    const SoftDrawRecord& lr_Draw = mr_Control_->GetDraws().back();
    EXPECT_FALSE(lr_Draw.Indexed);
    EXPECT_TRUE(lr_Draw.Indices.empty());
    EXPECT_EQ(lr_Draw.Vertices.size(), 7 * sizeof(Vertex));
    EXPECT_EQ(X(lr_Draw, 0), 1.0f);
}

TEST_F(DrawTests, UserPointerDrawsReadTheCallersMemoryAndUnbind) {
    BindAll();
    Vertex lr_Vertices[4] = {{10, 0, 0, 1, 0, 0}, {11, 0, 0, 1, 0, 0}, {12, 0, 0, 1, 0, 0}, {13, 0, 0, 1, 0, 0}};
    WORD lr_Indices[6] = {3, 2, 1, 1, 0, 3};
    ASSERT_EQ(mr_Device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, lr_Indices, D3DFMT_INDEX16, lr_Vertices,
                                                 sizeof(Vertex)),
              D3D_OK);
    const SoftDrawRecord& lr_Draw = mr_Control_->GetDraws().back();
    EXPECT_EQ(lr_Draw.Indices, (std::vector<UINT>{3, 2, 1, 1, 0, 3}));
    EXPECT_EQ(X(lr_Draw, 0), 13.0f);
    IDirect3DVertexBuffer9* lr_Stream_ = reinterpret_cast<IDirect3DVertexBuffer9*>(0x1);
    UINT lr_Offset = 0, lr_Stride = 1;
    mr_Device_->GetStreamSource(0, &lr_Stream_, &lr_Offset, &lr_Stride);
    EXPECT_EQ(lr_Stream_, nullptr);
    EXPECT_EQ(lr_Stride, 0u);
    IDirect3DIndexBuffer9* lr_Bound_ = reinterpret_cast<IDirect3DIndexBuffer9*>(0x1);
    mr_Device_->GetIndices(&lr_Bound_);
    EXPECT_EQ(lr_Bound_, nullptr);
    // An index beyond MinVertexIndex + NumVertices reads outside the caller's array.
    WORD lr_Far[3] = {0, 1, 4};
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 1, lr_Far, D3DFMT_INDEX16, lr_Vertices,
                                                 sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lr_Vertices, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(X(mr_Control_->GetDraws().back(), 3), 13.0f);
}

TEST_F(DrawTests, ADeclarationServesInsteadOfAnFVF) {
    const D3DVERTEXELEMENT9 lr_Elements[] = {{0, 0, 3 /* FLOAT4 */, 0, 9 /* POSITIONT */, 0},
                                             {0, 16, 1 /* FLOAT2 */, 0, 5 /* TEXCOORD */, 0},
                                             {0xFF, 0, 17 /* UNUSED */, 0, 0, 0}};
    IDirect3DVertexDeclaration9* lr_Decl_ = nullptr;
    ASSERT_EQ(mr_Device_->CreateVertexDeclaration(lr_Elements, &lr_Decl_), D3D_OK);
    UINT lr_Count = 0;
    ASSERT_EQ(lr_Decl_->GetDeclaration(nullptr, &lr_Count), D3D_OK);
    EXPECT_EQ(lr_Count, 3u);
    mr_Device_->SetStreamSource(0, mr_Vertices_, 0, sizeof(Vertex));
    mr_Device_->SetVertexDeclaration(lr_Decl_);
    DWORD lr_FVF = 1;
    mr_Device_->GetFVF(&lr_FVF);
    EXPECT_EQ(lr_FVF, 0u);
    EXPECT_EQ(mr_Device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    // Setting an FVF replaces the declaration.
    mr_Device_->SetFVF(k_VertexFVF);
    IDirect3DVertexDeclaration9* lr_Got_ = reinterpret_cast<IDirect3DVertexDeclaration9*>(0x1);
    mr_Device_->GetVertexDeclaration(&lr_Got_);
    EXPECT_EQ(lr_Got_, nullptr);
    lr_Decl_->Release();
}

TEST_F(DrawTests, RecordingOffKeepsNothing) {
    BindAll();
    mr_Control_->SetRecording(false);
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    IDirect3DSurface9* lr_Back_ = GetBackBuffer0();
    IDirect3DSurface9* lr_Target_ = nullptr;
    mr_Device_->CreateRenderTarget(800, 600, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &lr_Target_, nullptr);
    EXPECT_EQ(mr_Device_->StretchRect(lr_Back_, nullptr, lr_Target_, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_TRUE(mr_Control_->GetCopies().empty());
    // Still counted.
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::DrawIndexedPrimitive), 1u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::StretchRect), 1u);
    mr_Control_->SetRecording(true);
    EXPECT_EQ(mr_Device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    EXPECT_EQ(mr_Control_->GetDraws().size(), 1u);
    lr_Target_->Release();
    lr_Back_->Release();
}

namespace {

// A long run that presents its frames keeps the records of the last ones only.
TEST_F(DrawTests, RecordsKeepTheLastPresentedFramesOnly) {
    BindAll();
    for (int lr_Frame = 0; lr_Frame < 40; ++lr_Frame) {
        // Degenerate: recorded, nothing to rasterise.
        const Vertex lr_Line[3] = {
            {static_cast<float>(lr_Frame), 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0}};
        ASSERT_EQ(mr_Device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, lr_Line, sizeof(Vertex)), D3D_OK);
        ASSERT_EQ(mr_Device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    const std::vector<SoftDrawRecord>& lr_Draws = mr_Control_->GetDraws();
    ASSERT_EQ(lr_Draws.size(), 15u);
    EXPECT_EQ(X(lr_Draws.front(), 0), 25.0f);
    EXPECT_EQ(X(lr_Draws.back(), 0), 39.0f);
    mr_Control_->ClearRecords();
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
}

}  // namespace
