#include "GeometryTestSupport.h"
#include "SoftDeviceFixture.h"

#include "BatchScreenMask.h"
#include "ScreenMask.h"

#include <memory>
#include <vector>

namespace {

class BatchScreenMaskTest : public SoftDeviceFixture {
protected:
    // A batched-only quad at depth z with (value, value) in texture set 1, up to date.
    std::unique_ptr<ScreenMask> MakeSlice(float z, float value) {
        std::unique_ptr<ScreenMask> lr_Mask(new ScreenMask(true));
        lr_Mask->Create(mr_Device_, 0.0f, 0.0f, 1.0f, 1.0f, false);
        lr_Mask->SetDepth(z);
        lr_Mask->SetTexCoords(value, value, value, value, 1);
        lr_Mask->Update(mr_Device_);
        return lr_Mask;
    }

    std::vector<SoftDrawRecord> BindAndDraw(BatchScreenMask& batch) {
        mr_Control_->ClearRecords();
        batch.Bind(mr_Device_);
        batch.Draw(mr_Device_);
        return mr_Control_->GetDraws();
    }

    void ExpectNothingBoundOrDrawn(BatchScreenMask& batch) {
        mr_Device_->SetFVF(D3DFVF_XYZ);
        const std::vector<SoftDrawRecord> lr_Draws = BindAndDraw(batch);
        EXPECT_TRUE(lr_Draws.empty());
        const StreamState lr_State = StreamState::Read(mr_Device_);
        EXPECT_EQ(lr_State.FVF, static_cast<DWORD>(D3DFVF_XYZ));
        EXPECT_EQ(lr_State.Indices, nullptr);
        EXPECT_EQ(lr_State.Stream, nullptr);
    }
};

TEST_F(BatchScreenMaskTest, BuffersAreSizedForTheCapacity) {
    BatchScreenMask lr_Batch(mr_Device_, 40);
    EXPECT_EQ(lr_Batch.GetCapacity(), 40);
    ASSERT_NE(lr_Batch.GetVertexBuffer(), nullptr);
    ASSERT_NE(lr_Batch.GetIndexBuffer(), nullptr);
    D3DVERTEXBUFFER_DESC lr_VertexDesc = {};
    lr_Batch.GetVertexBuffer()->GetDesc(&lr_VertexDesc);
    EXPECT_EQ(lr_VertexDesc.Size, 40u * 32u);
    EXPECT_EQ(lr_VertexDesc.FVF, static_cast<DWORD>(0x204));
    EXPECT_EQ(lr_VertexDesc.Pool, D3DPOOL_MANAGED);
    D3DINDEXBUFFER_DESC lr_IndexDesc = {};
    lr_Batch.GetIndexBuffer()->GetDesc(&lr_IndexDesc);
    EXPECT_EQ(lr_IndexDesc.Size, 10u * 12u);
    EXPECT_EQ(lr_IndexDesc.Format, D3DFMT_INDEX16);

    // Integer division: 7 vertices make room for one quad's indices.
    BatchScreenMask lr_Odd(mr_Device_, 7);
    lr_Odd.GetIndexBuffer()->GetDesc(&lr_IndexDesc);
    EXPECT_EQ(lr_IndexDesc.Size, 12u);
}

TEST_F(BatchScreenMaskTest, CapacityBeyondSixteenBitIndicesIsRefused) {
    // 65,536 vertices is the most that 16-bit indices reach.
    BatchScreenMask lr_Largest(mr_Device_, 65536);
    EXPECT_EQ(lr_Largest.GetCapacity(), 65536);
    EXPECT_NE(lr_Largest.GetIndexBuffer(), nullptr);
    mr_Control_->ResetCallCounts();
    BatchScreenMask lr_Batch(mr_Device_, 65540);
    EXPECT_EQ(lr_Batch.GetCapacity(), 0);
    EXPECT_EQ(lr_Batch.GetVertexBuffer(), nullptr);
    EXPECT_EQ(lr_Batch.GetIndexBuffer(), nullptr);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::CreateVertexBuffer), 0u);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.5f, 1.0f);
    lr_Batch.AddMask(lr_Slice.get(), mr_Device_, true, true);
    ExpectNothingBoundOrDrawn(lr_Batch);
}

TEST_F(BatchScreenMaskTest, TenSlicesFillCapacityFortyAndDrawInOneCall) {
    BatchScreenMask lr_Batch(mr_Device_, 40);
    std::vector<std::unique_ptr<ScreenMask>> lr_Slices;
    for (int i = 0; i < 10; ++i) {
        lr_Slices.push_back(MakeSlice(0.9f + 0.01f * static_cast<float>(i), 1.0f - 0.1f * static_cast<float>(i)));
    }
    mr_Control_->ResetCallCounts();
    for (int i = 0; i < 10; ++i) {
        lr_Batch.AddMask(lr_Slices[i].get(), mr_Device_, i == 0, i == 9);
    }
    // Uploaded once, by the last AddMask only.
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 1u);
    EXPECT_EQ(lr_Batch.GetVertices().size(), 40u);

    const std::vector<SoftDrawRecord> lr_Draws = BindAndDraw(lr_Batch);
    ASSERT_EQ(lr_Draws.size(), 1u);
    const SoftDrawRecord& lr_Draw = lr_Draws.front();
    EXPECT_EQ(lr_Draw.PrimitiveType, D3DPT_TRIANGLELIST);
    EXPECT_EQ(lr_Draw.NumVertices, 40u);
    EXPECT_EQ(lr_Draw.PrimitiveCount, 20u);
    EXPECT_EQ(lr_Draw.StartIndex, 0u);
    EXPECT_EQ(lr_Draw.FVF, static_cast<DWORD>(0x204));
    EXPECT_EQ(lr_Draw.Indices, QuadIndices(10));
    const std::vector<Vertex> lr_Drawn = DrawnVertices(lr_Draw);
    ASSERT_EQ(lr_Drawn.size(), 60u);
    for (int q = 0; q < 10; ++q) {
        const std::vector<Vertex> lr_Expected = lr_Slices[q]->GetVertices();
        const int lr_Corner[6] = {0, 1, 2, 2, 3, 0};
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(0, std::memcmp(&lr_Drawn[6 * q + k], &lr_Expected[lr_Corner[k]], sizeof(Vertex)))
                << "quad " << q << " index " << k;
        }
    }

    // An eleventh mask does not fit and is dropped.
    std::unique_ptr<ScreenMask> lr_Extra = MakeSlice(0.5f, 0.5f);
    lr_Batch.AddMask(lr_Extra.get(), mr_Device_, false, true);
    EXPECT_EQ(lr_Batch.GetVertices().size(), 40u);
    EXPECT_FLOAT_EQ(lr_Batch.GetVertices().back().z, lr_Slices[9]->GetVertices().back().z);
    const std::vector<SoftDrawRecord> lr_Again = BindAndDraw(lr_Batch);
    ASSERT_EQ(lr_Again.size(), 1u);
    EXPECT_EQ(lr_Again.front().PrimitiveCount, 20u);
}

TEST_F(BatchScreenMaskTest, BindSetsTheBatchBuffers) {
    BatchScreenMask lr_Batch(mr_Device_, 8);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.5f, 0.5f);
    lr_Batch.AddMask(lr_Slice.get(), mr_Device_, true, true);
    lr_Batch.Bind(mr_Device_);
    const StreamState lr_State = StreamState::Read(mr_Device_);
    EXPECT_EQ(lr_State.FVF, static_cast<DWORD>(0x204));
    EXPECT_EQ(lr_State.Indices, lr_Batch.GetIndexBuffer());
    EXPECT_EQ(lr_State.Stream, lr_Batch.GetVertexBuffer());
    EXPECT_EQ(lr_State.Stride, 32u);
}

TEST_F(BatchScreenMaskTest, ClearStartsOverAndOnlyUploadLocks) {
    BatchScreenMask lr_Batch(mr_Device_, 40);
    std::unique_ptr<ScreenMask> lr_A = MakeSlice(0.25f, 1.0f);
    std::unique_ptr<ScreenMask> lr_B = MakeSlice(0.75f, 0.5f);
    mr_Control_->ResetCallCounts();
    lr_Batch.AddMask(lr_A.get(), mr_Device_, true, false);
    lr_Batch.AddMask(lr_B.get(), mr_Device_, false, false);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
    EXPECT_EQ(lr_Batch.GetVertices().size(), 8u);
    lr_Batch.AddMask(lr_B.get(), mr_Device_, true, true);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 1u);
    ASSERT_EQ(lr_Batch.GetVertices().size(), 4u);
    const std::vector<SoftDrawRecord> lr_Draws = BindAndDraw(lr_Batch);
    ASSERT_EQ(lr_Draws.size(), 1u);
    EXPECT_EQ(lr_Draws.front().NumVertices, 4u);
    for (const Vertex& v : DrawnVertices(lr_Draws.front())) {
        EXPECT_FLOAT_EQ(v.z, 0.75f);
        EXPECT_FLOAT_EQ(v.tu1, 0.5f);
    }
}

TEST_F(BatchScreenMaskTest, BindUploadsVerticesAddedWithoutUpload) {
    BatchScreenMask lr_Batch(mr_Device_, 4);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.25f, 1.0f);
    lr_Batch.AddMask(lr_Slice.get(), mr_Device_, true, false);
    mr_Control_->ResetCallCounts();
    const std::vector<SoftDrawRecord> lr_Draws = BindAndDraw(lr_Batch);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 1u);
    ASSERT_EQ(lr_Draws.size(), 1u);
    const std::vector<Vertex> lr_Drawn = DrawnVertices(lr_Draws.front());
    ASSERT_EQ(lr_Drawn.size(), 6u);
    EXPECT_FLOAT_EQ(lr_Drawn[0].z, 0.25f);
}

TEST_F(BatchScreenMaskTest, AddMaskCopiesVerticesAsTheyAre) {
    BatchScreenMask lr_Batch(mr_Device_, 4);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.5f, 0.5f);
    lr_Slice->SetPixelOffset(false);  // dirty, not recomputed by AddMask
    lr_Slice->SetDepth(0.9f);
    lr_Batch.AddMask(lr_Slice.get(), mr_Device_, true, true);
    EXPECT_FLOAT_EQ(lr_Batch.GetVertices()[0].x, -0.5f);
    EXPECT_FLOAT_EQ(lr_Batch.GetVertices()[0].z, 0.5f);
}

TEST_F(BatchScreenMaskTest, EmptyBatchSetsNothingAndDrawsNothing) {
    BatchScreenMask lr_New(mr_Device_, 40);
    ExpectNothingBoundOrDrawn(lr_New);

    BatchScreenMask lr_NoRoom(mr_Device_, 0);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.5f, 0.5f);
    mr_Control_->ResetCallCounts();
    lr_NoRoom.AddMask(lr_Slice.get(), mr_Device_, true, true);
    EXPECT_TRUE(lr_NoRoom.GetVertices().empty());
    ExpectNothingBoundOrDrawn(lr_NoRoom);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);

    // A negative capacity is no capacity.
    BatchScreenMask lr_Negative(mr_Device_, -4);
    EXPECT_EQ(lr_Negative.GetCapacity(), 0);
    lr_Negative.AddMask(lr_Slice.get(), mr_Device_, true, true);
    ExpectNothingBoundOrDrawn(lr_Negative);
}

TEST_F(BatchScreenMaskTest, SixVerticesDrawAsOneQuad) {
    BatchScreenMask lr_Batch(mr_Device_, 6);
    std::unique_ptr<ScreenMask> lr_A = MakeSlice(0.25f, 1.0f);
    std::unique_ptr<ScreenMask> lr_B = MakeSlice(0.75f, 0.5f);
    lr_Batch.AddMask(lr_A.get(), mr_Device_, true, false);
    lr_Batch.AddMask(lr_B.get(), mr_Device_, false, true);
    EXPECT_EQ(lr_Batch.GetVertices().size(), 6u);
    const std::vector<SoftDrawRecord> lr_Draws = BindAndDraw(lr_Batch);
    ASSERT_EQ(lr_Draws.size(), 1u);
    EXPECT_EQ(lr_Draws.front().NumVertices, 6u);
    EXPECT_EQ(lr_Draws.front().PrimitiveCount, 2u);
    EXPECT_EQ(lr_Draws.front().Indices, QuadIndices(1));
}

// A buffer that could not be made or filled is never locked, filled or drawn.
class BatchScreenMaskFailureTest : public BatchScreenMaskTest {};

TEST_F(BatchScreenMaskFailureTest, MissingVertexBuffer) {
    mr_Control_->FailCall(SoftCall::CreateVertexBuffer, 1, E_OUTOFMEMORY);
    BatchScreenMask lr_Batch(mr_Device_, 8);
    EXPECT_EQ(lr_Batch.GetVertexBuffer(), nullptr);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.5f, 0.5f);
    mr_Control_->ResetCallCounts();
    lr_Batch.AddMask(lr_Slice.get(), mr_Device_, true, true);
    EXPECT_EQ(lr_Batch.GetVertices().size(), 4u);
    ExpectNothingBoundOrDrawn(lr_Batch);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::VertexBufferLock), 0u);
}

TEST_F(BatchScreenMaskFailureTest, MissingIndexBuffer) {
    mr_Control_->FailCall(SoftCall::CreateIndexBuffer, 1, E_OUTOFMEMORY);
    mr_Control_->ResetCallCounts();
    BatchScreenMask lr_Batch(mr_Device_, 8);
    EXPECT_EQ(lr_Batch.GetIndexBuffer(), nullptr);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::IndexBufferLock), 0u);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.5f, 0.5f);
    lr_Batch.AddMask(lr_Slice.get(), mr_Device_, true, true);
    ExpectNothingBoundOrDrawn(lr_Batch);
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::IndexBufferLock), 0u);
}

TEST_F(BatchScreenMaskFailureTest, FailedUploadIsNotDrawnAndIsRetriedByBind) {
    BatchScreenMask lr_Batch(mr_Device_, 8);
    std::unique_ptr<ScreenMask> lr_Slice = MakeSlice(0.5f, 0.5f);
    mr_Control_->FailCall(SoftCall::VertexBufferLock, 1, D3DERR_INVALIDCALL);
    lr_Batch.AddMask(lr_Slice.get(), mr_Device_, true, true);
    mr_Control_->ClearRecords();
    lr_Batch.Draw(mr_Device_);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());

    const std::vector<SoftDrawRecord> lr_Draws = BindAndDraw(lr_Batch);
    ASSERT_EQ(lr_Draws.size(), 1u);
    const std::vector<Vertex> lr_Drawn = DrawnVertices(lr_Draws.front());
    ASSERT_EQ(lr_Drawn.size(), 6u);
    EXPECT_FLOAT_EQ(lr_Drawn[0].z, 0.5f);
}

TEST_F(BatchScreenMaskFailureTest, FailedIndexFillIsRetriedByBind) {
    mr_Control_->FailCall(SoftCall::IndexBufferLock, 1, D3DERR_INVALIDCALL);
    BatchScreenMask lr_Batch(mr_Device_, 8);
    std::unique_ptr<ScreenMask> lr_A = MakeSlice(0.25f, 1.0f);
    std::unique_ptr<ScreenMask> lr_B = MakeSlice(0.75f, 0.5f);
    lr_Batch.AddMask(lr_A.get(), mr_Device_, true, false);
    lr_Batch.AddMask(lr_B.get(), mr_Device_, false, true);
    mr_Control_->ClearRecords();
    lr_Batch.Draw(mr_Device_);
    EXPECT_TRUE(mr_Control_->GetDraws().empty());
    const std::vector<SoftDrawRecord> lr_Draws = BindAndDraw(lr_Batch);
    ASSERT_EQ(lr_Draws.size(), 1u);
    EXPECT_EQ(lr_Draws.front().Indices, QuadIndices(2));
}

}  // namespace
