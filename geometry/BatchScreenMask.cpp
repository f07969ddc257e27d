#include "geometry/BatchScreenMask.h"

#include <cstring>

namespace {

const UINT k_VerticesPerQuad = 4;
const UINT k_IndicesPerQuad = 6;

}  // namespace

BatchScreenMask::BatchScreenMask(IDirect3DDevice9* device, int capacity)
    : mr_VertexBuffer_(nullptr),
      mr_IndexBuffer_(nullptr),
      mr_Capacity(capacity < 0 ? 0 : capacity),
      mr_UploadPending(false),
      mr_IndicesReady(false) {
    mr_Vertices.reserve(static_cast<size_t>(mr_Capacity));
    const UINT lr_Capacity = static_cast<UINT>(mr_Capacity);
    const UINT lr_Quads = lr_Capacity / k_VerticesPerQuad;

    // A zero-length buffer is refused by the runtime; there would be nothing to draw from it anyway.
    if (lr_Capacity > 0) {
        IDirect3DVertexBuffer9* lr_VertexBuffer_ = nullptr;
        if (FAILED(device->CreateVertexBuffer(lr_Capacity * ScreenMask::Stride, D3DUSAGE_WRITEONLY, ScreenMask::FVF,
                                              D3DPOOL_MANAGED, &lr_VertexBuffer_, nullptr))) {
            lr_VertexBuffer_ = nullptr;
        }
        mr_VertexBuffer_ = lr_VertexBuffer_;
    }
    if (lr_Quads > 0) {
        IDirect3DIndexBuffer9* lr_IndexBuffer_ = nullptr;
        if (FAILED(device->CreateIndexBuffer(lr_Quads * k_IndicesPerQuad * sizeof(WORD), D3DUSAGE_WRITEONLY,
                                             D3DFMT_INDEX16, D3DPOOL_MANAGED, &lr_IndexBuffer_, nullptr))) {
            lr_IndexBuffer_ = nullptr;
        }
        mr_IndexBuffer_ = lr_IndexBuffer_;
    }
    FillIndices();
}

BatchScreenMask::~BatchScreenMask() {
    if (mr_IndexBuffer_) {
        mr_IndexBuffer_->Release();
        mr_IndexBuffer_ = nullptr;
    }
    if (mr_VertexBuffer_) {
        mr_VertexBuffer_->Release();
        mr_VertexBuffer_ = nullptr;
    }
}

void BatchScreenMask::FillIndices() {
    if (!mr_IndexBuffer_) {
        return;
    }
    void* lr_Data = nullptr;
    if (FAILED(mr_IndexBuffer_->Lock(0, 0, &lr_Data, 0)) || !lr_Data) {
        return;
    }
    WORD* lr_Indices = static_cast<WORD*>(lr_Data);
    const UINT lr_Quads = static_cast<UINT>(mr_Capacity) / k_VerticesPerQuad;
    for (UINT lr_Quad = 0; lr_Quad < lr_Quads; ++lr_Quad) {
        const WORD lr_First = static_cast<WORD>(lr_Quad * k_VerticesPerQuad);
        WORD* lr_Out = lr_Indices + lr_Quad * k_IndicesPerQuad;
        lr_Out[0] = lr_First;
        lr_Out[1] = static_cast<WORD>(lr_First + 1);
        lr_Out[2] = static_cast<WORD>(lr_First + 2);
        lr_Out[3] = static_cast<WORD>(lr_First + 2);
        lr_Out[4] = static_cast<WORD>(lr_First + 3);
        lr_Out[5] = lr_First;
    }
    mr_IndexBuffer_->Unlock();
    mr_IndicesReady = true;
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
    device->SetFVF(ScreenMask::FVF);
    device->SetIndices(mr_IndexBuffer_);
    device->SetStreamSource(0, mr_VertexBuffer_, 0, ScreenMask::Stride);
}

void BatchScreenMask::Draw(IDirect3DDevice9* device) {
    if (mr_Vertices.empty() || !mr_VertexBuffer_ || !mr_IndexBuffer_ || mr_UploadPending || !mr_IndicesReady) {
        return;
    }
    const UINT lr_VertexCount = static_cast<UINT>(mr_Vertices.size());
    const UINT lr_Primitives = (lr_VertexCount / k_VerticesPerQuad) * 2;
    if (lr_Primitives == 0) {
        return;
    }
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, lr_VertexCount, 0, lr_Primitives);
}
