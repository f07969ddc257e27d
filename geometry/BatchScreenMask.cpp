#include "BatchScreenMask.h"

#include "QuadBuffers.h"

#include <cstring>

using QuadBuffers::k_VerticesPerQuad;

BatchScreenMask::BatchScreenMask(IDirect3DDevice9* device, int capacity)
    : mr_VertexBuffer_(nullptr),
      mr_IndexBuffer_(nullptr),
      mr_Capacity(capacity < 0 || capacity > k_MaxCapacity ? 0 : capacity),
      mr_UploadPending(false),
      mr_IndicesReady(false) {
    mr_Vertices.reserve(static_cast<size_t>(mr_Capacity));
    const UINT lr_Capacity = static_cast<UINT>(mr_Capacity);
    const UINT lr_Quads = lr_Capacity / k_VerticesPerQuad;

    // A zero-length buffer is refused by the runtime; there would be nothing to draw from it anyway.
    if (lr_Capacity > 0) {
        mr_VertexBuffer_ = QuadBuffers::CreateVertexBuffer(device, lr_Capacity);
    }
    if (lr_Quads > 0) {
        mr_IndexBuffer_ = QuadBuffers::CreateIndexBuffer(device, lr_Quads);
    }
    FillIndices();
}

BatchScreenMask::~BatchScreenMask() { QuadBuffers::Release(mr_VertexBuffer_, mr_IndexBuffer_); }

void BatchScreenMask::FillIndices() {
    if (QuadBuffers::FillIndices(mr_IndexBuffer_, static_cast<UINT>(mr_Capacity) / k_VerticesPerQuad)) {
        mr_IndicesReady = true;
    }
}

void BatchScreenMask::AddMask(ScreenMask* mask, IDirect3DDevice9* /*device*/, bool clear, bool upload) {
    if (clear) {
        mr_Vertices.clear();
    }
    if (mask) {
        // Read in place: a copy per slice would allocate on every layout.
        const std::vector<ScreenMask::ScreenMaskVertex>& addvertex = mask->Vertices();
        for (const ScreenMask::ScreenMaskVertex& lr_Vertex : addvertex) {
            if (mr_Vertices.size() >= static_cast<size_t>(mr_Capacity)) {
                break;
            }
            mr_Vertices.push_back(lr_Vertex);
        }
    }
    if (upload) {
        Upload();
    }
}

void BatchScreenMask::Upload() {
    if (!mr_VertexBuffer_) {
        mr_UploadPending = false;
        return;
    }
    void* lr_Data = nullptr;
    if (FAILED(mr_VertexBuffer_->Lock(0, 0, &lr_Data, 0)) || !lr_Data) {
        // The buffer does not hold the vertices: retried at the next Bind, not drawn until then.
        mr_UploadPending = true;
        return;
    }
    if (!mr_Vertices.empty()) {
        std::memcpy(lr_Data, mr_Vertices.data(), mr_Vertices.size() * ScreenMask::Stride);
    }
    mr_VertexBuffer_->Unlock();
    mr_UploadPending = false;
}

void BatchScreenMask::Bind(IDirect3DDevice9* device) {
    if (mr_Vertices.empty() || !mr_VertexBuffer_ || !mr_IndexBuffer_) {
        return;
    }
    if (mr_UploadPending) {
        Upload();
    }
    if (!mr_IndicesReady) {
        FillIndices();
    }
    QuadBuffers::Bind(device, mr_VertexBuffer_, mr_IndexBuffer_);
}

void BatchScreenMask::Draw(IDirect3DDevice9* device) {
    if (mr_Vertices.empty() || !mr_VertexBuffer_ || !mr_IndexBuffer_ || mr_UploadPending || !mr_IndicesReady) {
        return;
    }
    QuadBuffers::Draw(device, static_cast<UINT>(mr_Vertices.size()));
}
