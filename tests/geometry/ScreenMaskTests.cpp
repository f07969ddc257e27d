#include "GeometryTestSupport.h"
#include "SoftDeviceFixture.h"

#include "ScreenMask.h"

#include <memory>

namespace {

class ScreenMaskTest : public SoftDeviceFixture {
protected:
    // Binds and draws the mask once and returns the single draw it made.
    SoftDrawRecord DrawOnce(ScreenMask& mask) {
        mr_Control_->ClearRecords();
        mask.Bind(mr_Device_);
        mask.Draw(mr_Device_);
        const std::vector<SoftDrawRecord>& lr_Draws = mr_Control_->GetDraws();
        EXPECT_EQ(lr_Draws.size(), 1u);
        return lr_Draws.empty() ? SoftDrawRecord{} : lr_Draws.front();
    }

    void SetViewport(DWORD x, DWORD y, DWORD width, DWORD height) {
        D3DVIEWPORT9 lr_Viewport = {x, y, width, height, 0.0f, 1.0f};
        ASSERT_EQ(mr_Device_->SetViewport(&lr_Viewport), D3D_OK);
    }
};

TEST_F(ScreenMaskTest, RelativeFullViewportWithPixelOffset) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    const std::vector<Vertex> lr_Vertices = lr_Mask.GetVertices();
    ASSERT_EQ(lr_Vertices.size(), 4u);
    ExpectCorner(lr_Vertices[0], -0.5f, -0.5f);
    ExpectCorner(lr_Vertices[1], 799.5f, -0.5f);
    ExpectCorner(lr_Vertices[2], 799.5f, 599.5f);
    ExpectCorner(lr_Vertices[3], -0.5f, 599.5f);
    const float lr_U[4] = {0, 1, 1, 0};
    const float lr_V[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lr_Vertices[i].z, 0.0f);
        EXPECT_EQ(lr_Vertices[i].rhw, 1.0f);
        EXPECT_EQ(lr_Vertices[i].tu0, lr_U[i]);
        EXPECT_EQ(lr_Vertices[i].tv0, lr_V[i]);
    }
    EXPECT_FALSE(lr_Mask.IsDirty());

    // What the device reads is what the mask computed, through the quad's six indices.
    const SoftDrawRecord lr_Draw = DrawOnce(lr_Mask);
    EXPECT_TRUE(lr_Draw.Indexed);
    EXPECT_EQ(lr_Draw.PrimitiveType, D3DPT_TRIANGLELIST);
    EXPECT_EQ(lr_Draw.BaseVertexIndex, 0);
    EXPECT_EQ(lr_Draw.MinVertexIndex, 0u);
    EXPECT_EQ(lr_Draw.NumVertices, 4u);
    EXPECT_EQ(lr_Draw.StartIndex, 0u);
    EXPECT_EQ(lr_Draw.PrimitiveCount, 2u);
    EXPECT_EQ(lr_Draw.FVF, static_cast<DWORD>(0x204));
    EXPECT_EQ(lr_Draw.Stride, 32u);
    EXPECT_EQ(lr_Draw.Indices, QuadIndices(1));
    const std::vector<Vertex> lr_Drawn = DrawnVertices(lr_Draw);
    ASSERT_EQ(lr_Drawn.size(), 6u);
    const int lr_Corner[6] = {0, 1, 2, 2, 3, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(0, std::memcmp(&lr_Drawn[i], &lr_Vertices[lr_Corner[i]], sizeof(Vertex))) << "index " << i;
    }
}

TEST_F(ScreenMaskTest, PixelOffsetOffPutsCornersOnWholePixels) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    lr_Mask.SetPixelOffset(false);
    EXPECT_TRUE(lr_Mask.IsDirty());
    const std::vector<Vertex> lr_Drawn = DrawnVertices(DrawOnce(lr_Mask));
    ASSERT_EQ(lr_Drawn.size(), 6u);
    ExpectCorner(lr_Drawn[0], 0.0f, 0.0f);
    ExpectCorner(lr_Drawn[1], 800.0f, 0.0f);
    ExpectCorner(lr_Drawn[2], 800.0f, 600.0f);
    ExpectCorner(lr_Drawn[4], 0.0f, 600.0f);
    EXPECT_FALSE(lr_Mask.IsDirty());
}

TEST_F(ScreenMaskTest, AbsoluteRectangleIsInPixels) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 10.0f, 20.0f, 110.0f, 70.0f, true);
    const std::vector<Vertex> lr_Vertices = lr_Mask.GetVertices();
    ExpectCorner(lr_Vertices[0], 9.5f, 19.5f);
    ExpectCorner(lr_Vertices[1], 109.5f, 19.5f);
    ExpectCorner(lr_Vertices[2], 109.5f, 69.5f);
    ExpectCorner(lr_Vertices[3], 9.5f, 69.5f);

    lr_Mask.SetPosition(0.0f, 0.0f);
    lr_Mask.SetExtent(4.0f, 2.0f);
    lr_Mask.SetPixelOffset(false);
    lr_Mask.Update(mr_Device_);
    const std::vector<Vertex> lr_Moved = lr_Mask.GetVertices();
    ExpectCorner(lr_Moved[0], 0.0f, 0.0f);
    ExpectCorner(lr_Moved[2], 4.0f, 2.0f);
}

TEST_F(ScreenMaskTest, RelativeRectangleIsOffsetAndSizeInViewportFractions) {
    // Fractions of the viewport's size, from the viewport's corner.
    SetViewport(100, 50, 400, 200);
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.25f, 0.5f, 0.5f, 0.25f, false);
    const std::vector<Vertex> lr_Vertices = lr_Mask.GetVertices();
    ExpectCorner(lr_Vertices[0], 199.5f, 149.5f);
    ExpectCorner(lr_Vertices[1], 399.5f, 149.5f);
    ExpectCorner(lr_Vertices[2], 399.5f, 199.5f);
    ExpectCorner(lr_Vertices[3], 199.5f, 199.5f);
}

TEST_F(ScreenMaskTest, ViewportChangeReachesRelativeMaskOnlyAtNextUpdate) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    SetViewport(0, 0, 200, 100);
    lr_Mask.Bind(mr_Device_);
    ExpectCorner(lr_Mask.GetVertices()[2], 799.5f, 599.5f);
    lr_Mask.Update(mr_Device_);
    ExpectCorner(lr_Mask.GetVertices()[2], 199.5f, 99.5f);
}

TEST_F(ScreenMaskTest, DepthReachesVerticesOnlyAtNextUpdate) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    lr_Mask.SetDepth(0.3f);
    EXPECT_FALSE(lr_Mask.IsDirty());
    for (const Vertex& v : DrawnVertices(DrawOnce(lr_Mask))) {
        EXPECT_EQ(v.z, 0.0f);
    }
    lr_Mask.SetTexCoords(0.0f, 0.0f, 1.0f, 1.0f, 0);
    for (const Vertex& v : DrawnVertices(DrawOnce(lr_Mask))) {
        EXPECT_FLOAT_EQ(v.z, 0.3f);
    }

    ScreenMask lr_Other(false);
    lr_Other.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    lr_Other.SetDepth(0.7f);
    lr_Other.Update(mr_Device_);
    for (const Vertex& v : DrawnVertices(DrawOnce(lr_Other))) {
        EXPECT_FLOAT_EQ(v.z, 0.7f);
    }
}

TEST_F(ScreenMaskTest, SecondTextureSetIsSetOnItsOwn) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    for (const Vertex& v : lr_Mask.GetVertices()) {
        EXPECT_EQ(v.tu1, 0.0f);
        EXPECT_EQ(v.tv1, 0.0f);
    }
    lr_Mask.SetTexCoords(0.7f, 0.7f, 0.7f, 0.7f, 1);
    EXPECT_TRUE(lr_Mask.IsDirty());
    const std::vector<Vertex> lr_Drawn = DrawnVertices(DrawOnce(lr_Mask));
    const float lr_U0[6] = {0, 1, 1, 1, 0, 0};
    const float lr_V0[6] = {0, 0, 1, 1, 1, 0};
    ASSERT_EQ(lr_Drawn.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(lr_Drawn[i].tu1, 0.7f);
        EXPECT_FLOAT_EQ(lr_Drawn[i].tv1, 0.7f);
        EXPECT_EQ(lr_Drawn[i].tu0, lr_U0[i]);
        EXPECT_EQ(lr_Drawn[i].tv0, lr_V0[i]);
    }
}

TEST_F(ScreenMaskTest, TexelTexCoordsCoverOneTexel) {
    ScreenMask lr_Mask(true);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    lr_Mask.SetTexelTexCoords(3, 1, 8, 4, 0);
    const std::vector<Vertex> lr_Vertices = lr_Mask.GetVertices();
    EXPECT_FLOAT_EQ(lr_Vertices[0].tu0, 0.375f);
    EXPECT_FLOAT_EQ(lr_Vertices[0].tv0, 0.25f);
    EXPECT_FLOAT_EQ(lr_Vertices[1].tu0, 0.5f);
    EXPECT_FLOAT_EQ(lr_Vertices[1].tv0, 0.25f);
    EXPECT_FLOAT_EQ(lr_Vertices[2].tu0, 0.5f);
    EXPECT_FLOAT_EQ(lr_Vertices[2].tv0, 0.5f);
    EXPECT_FLOAT_EQ(lr_Vertices[3].tu0, 0.375f);
    EXPECT_FLOAT_EQ(lr_Vertices[3].tv0, 0.5f);
}

TEST_F(ScreenMaskTest, CreatesManagedWriteOnlyBuffersAndReleasesThem) {
    {
        ScreenMask lr_Mask(false);
        lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
        ASSERT_NE(lr_Mask.GetVertexBuffer(), nullptr);
        ASSERT_NE(lr_Mask.GetIndexBuffer(), nullptr);
        D3DVERTEXBUFFER_DESC lr_VertexDesc = {};
        lr_Mask.GetVertexBuffer()->GetDesc(&lr_VertexDesc);
        EXPECT_EQ(lr_VertexDesc.Size, 128u);
        EXPECT_EQ(lr_VertexDesc.FVF, static_cast<DWORD>(0x204));
        EXPECT_EQ(lr_VertexDesc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(lr_VertexDesc.Usage, static_cast<DWORD>(D3DUSAGE_WRITEONLY));
        D3DINDEXBUFFER_DESC lr_IndexDesc = {};
        lr_Mask.GetIndexBuffer()->GetDesc(&lr_IndexDesc);
        EXPECT_EQ(lr_IndexDesc.Size, 12u);
        EXPECT_EQ(lr_IndexDesc.Format, D3DFMT_INDEX16);
        EXPECT_EQ(lr_IndexDesc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(lr_IndexDesc.Usage, static_cast<DWORD>(D3DUSAGE_WRITEONLY));
        EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::VertexBuffer, -1, false), 1u);
        EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::IndexBuffer, -1, false), 1u);
    }
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::VertexBuffer, -1, false), 0u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::IndexBuffer, -1, false), 0u);
}

TEST_F(ScreenMaskTest, CreatingAgainReplacesTheBuffersWithoutLeaking) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    lr_Mask.Create(mr_Device_, 10.0f, 20.0f, 110.0f, 70.0f, true);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::VertexBuffer, -1, false), 1u);
    EXPECT_EQ(mr_Control_->CountLiveObjects(SoftObjectKind::IndexBuffer, -1, false), 1u);
    const SoftDrawRecord lr_Draw = DrawOnce(lr_Mask);
    EXPECT_EQ(lr_Draw.PrimitiveCount, 2u);
    EXPECT_EQ(lr_Draw.Indices, (std::vector<UINT>{0, 1, 2, 2, 3, 0}));
}

TEST_F(ScreenMaskTest, BoundMaskSetsFormatIndicesAndStream) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    lr_Mask.Bind(mr_Device_);
    const StreamState lr_State = StreamState::Read(mr_Device_);
    EXPECT_EQ(lr_State.FVF, static_cast<DWORD>(0x204));
    EXPECT_EQ(lr_State.Indices, lr_Mask.GetIndexBuffer());
    EXPECT_EQ(lr_State.Stream, lr_Mask.GetVertexBuffer());
    EXPECT_EQ(lr_State.Offset, 0u);
    EXPECT_EQ(lr_State.Stride, 32u);
}

TEST_F(ScreenMaskTest, CleanMaskIsNotUploadedAgain) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    mr_Control_->ResetCallCounts();
    lr_Mask.Bind(mr_Device_);
    lr_Mask.Bind(mr_Device_);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
    lr_Mask.SetPosition(0.1f, 0.1f);
    lr_Mask.Bind(mr_Device_);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 1u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::IndexBufferLock), 0u);
}

TEST_F(ScreenMaskTest, BatchedOnlyMaskHasNoBuffersAndTouchesNoState) {
    ScreenMask lr_Mask(true);
    mr_Control_->ResetCallCounts();
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(lr_Mask.GetVertexBuffer(), nullptr);
    EXPECT_EQ(lr_Mask.GetIndexBuffer(), nullptr);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateVertexBuffer), 0u);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateIndexBuffer), 0u);
    ExpectCorner(lr_Mask.GetVertices()[2], 799.5f, 599.5f);

    mr_Device_->SetFVF(D3DFVF_XYZ);
    lr_Mask.SetPixelOffset(false);
    mr_Control_->ClearRecords();
    lr_Mask.Bind(mr_Device_);
    lr_Mask.Draw(mr_Device_);
    // The dirty vertices were recomputed, but nothing reached the device.
    EXPECT_FALSE(lr_Mask.IsDirty());
    ExpectCorner(lr_Mask.GetVertices()[2], 800.0f, 600.0f);
    const StreamState lr_State = StreamState::Read(mr_Device_);
    EXPECT_EQ(lr_State.FVF, static_cast<DWORD>(D3DFVF_XYZ));
    EXPECT_EQ(lr_State.Indices, nullptr);
    EXPECT_EQ(lr_State.Stream, nullptr);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
}

// A buffer that could not be made or filled is never locked, filled or drawn.
class ScreenMaskFailureTest : public ScreenMaskTest {};

TEST_F(ScreenMaskFailureTest, MissingVertexBufferIsNeverLockedOrDrawn) {
    mr_Control_->FailCall(SoftCall::CreateVertexBuffer, 1, E_OUTOFMEMORY);
    ScreenMask lr_Mask(false);
    mr_Control_->ResetCallCounts();
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(lr_Mask.GetVertexBuffer(), nullptr);
    lr_Mask.SetPosition(0.5f, 0.5f);
    mr_Control_->ClearRecords();
    lr_Mask.Bind(mr_Device_);
    lr_Mask.Draw(mr_Device_);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    // The vertices are still computed for anyone who copies them.
    ExpectCorner(lr_Mask.GetVertices()[0], 399.5f, 299.5f);
}

TEST_F(ScreenMaskFailureTest, MissingIndexBufferIsNeverLockedOrDrawn) {
    mr_Control_->FailCall(SoftCall::CreateIndexBuffer, 1, E_OUTOFMEMORY);
    ScreenMask lr_Mask(false);
    mr_Control_->ResetCallCounts();
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    EXPECT_EQ(lr_Mask.GetIndexBuffer(), nullptr);
    mr_Control_->ClearRecords();
    lr_Mask.Bind(mr_Device_);
    lr_Mask.Draw(mr_Device_);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::IndexBufferLock), 0u);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
}

TEST_F(ScreenMaskFailureTest, FailedVertexLockKeepsMaskDirtyUntilUploaded) {
    mr_Control_->FailCall(SoftCall::VertexBufferLock, 1, D3DERR_INVALIDCALL);
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    EXPECT_TRUE(lr_Mask.IsDirty());
    // The buffer holds nothing yet: a draw without a Bind draws nothing.
    mr_Control_->ClearRecords();
    lr_Mask.Draw(mr_Device_);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    // The next Bind uploads again.
    const std::vector<Vertex> lr_Drawn = DrawnVertices(DrawOnce(lr_Mask));
    EXPECT_FALSE(lr_Mask.IsDirty());
    ASSERT_EQ(lr_Drawn.size(), 6u);
    ExpectCorner(lr_Drawn[2], 799.5f, 599.5f);
}

TEST_F(ScreenMaskFailureTest, StaleVerticesAreNotDrawnAfterAFailedUpload) {
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    ASSERT_EQ(DrawnVertices(DrawOnce(lr_Mask)).size(), 6u);
    // Moved, then the upload of Bind fails: the buffer holds the old place,
    // which is not where the mask is.
    lr_Mask.SetPosition(0.5f, 0.0f);
    mr_Control_->FailCall(SoftCall::VertexBufferLock, 1, D3DERR_INVALIDCALL);
    mr_Control_->ClearRecords();
    lr_Mask.Bind(mr_Device_);
    lr_Mask.Draw(mr_Device_);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_TRUE(lr_Mask.IsDirty());
    // The next Bind uploads the new place and draws it.
    const std::vector<Vertex> lr_Drawn = DrawnVertices(DrawOnce(lr_Mask));
    ASSERT_EQ(lr_Drawn.size(), 6u);
    ExpectCorner(lr_Drawn[0], 399.5f, -0.5f);
}

TEST_F(ScreenMaskFailureTest, FailedIndexLockIsRetriedBeforeDrawing) {
    mr_Control_->FailCall(SoftCall::IndexBufferLock, 1, D3DERR_INVALIDCALL);
    ScreenMask lr_Mask(false);
    lr_Mask.Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
    mr_Control_->ClearRecords();
    lr_Mask.Draw(mr_Device_);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    EXPECT_EQ(DrawOnce(lr_Mask).Indices, QuadIndices(1));
}

}  // namespace
