#include "QuadBuffers.h"

#include "ScreenMask.h"

#include <cstring>

void QuadBuffers::Create(IDirect3DDevice9* device, UINT vertices) {
    // Created again, the buffers of the first creation must not leak.
    Release();
    mr_Quads = vertices / k_VerticesPerQuad;
    if (vertices > 0 &&
        FAILED(device->CreateVertexBuffer(vertices * ScreenMask::Stride, D3DUSAGE_WRITEONLY, ScreenMask::FVF,
                                          D3DPOOL_MANAGED, &mr_VertexBuffer_, nullptr))) {
        // A failed call may still have written the out pointer; it owns nothing.
        mr_VertexBuffer_ = nullptr;
    }
    if (mr_Quads > 0 && FAILED(device->CreateIndexBuffer(mr_Quads * k_IndicesPerQuad * sizeof(WORD), D3DUSAGE_WRITEONLY,
                                                         D3DFMT_INDEX16, D3DPOOL_MANAGED, &mr_IndexBuffer_, nullptr))) {
        mr_IndexBuffer_ = nullptr;
    }
    FillIndices();
}

void QuadBuffers::Release() {
    if (mr_IndexBuffer_) mr_IndexBuffer_->Release();
    mr_IndexBuffer_ = nullptr;
    if (mr_VertexBuffer_) mr_VertexBuffer_->Release();
    mr_VertexBuffer_ = nullptr;
    mr_IndicesReady = false;
    mr_VerticesReady = false;
}

void QuadBuffers::FillIndices() {
    void* lr_Data = nullptr;
    // Left unfilled on failure; Bind tries again.
    if (!mr_IndexBuffer_ || FAILED(mr_IndexBuffer_->Lock(0, 0, &lr_Data, 0)) || !lr_Data) return;
    WORD* lr_Indices = static_cast<WORD*>(lr_Data);
    for (UINT lr_Quad = 0; lr_Quad < mr_Quads; ++lr_Quad) {
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

bool QuadBuffers::Upload(const void* vertices, UINT count) {
    mr_VerticesReady = false;
    void* lr_Data = nullptr;
    if (!mr_VertexBuffer_ || FAILED(mr_VertexBuffer_->Lock(0, 0, &lr_Data, 0)) || !lr_Data) return false;
    if (count > 0) std::memcpy(lr_Data, vertices, count * ScreenMask::Stride);
    mr_VertexBuffer_->Unlock();
    mr_VerticesReady = true;
    return true;
}

void QuadBuffers::Bind(IDirect3DDevice9* device) {
    if (!mr_IndicesReady) FillIndices();
    device->SetFVF(ScreenMask::FVF);
    device->SetIndices(mr_IndexBuffer_);
    device->SetStreamSource(0, mr_VertexBuffer_, 0, ScreenMask::Stride);
}

void QuadBuffers::Draw(IDirect3DDevice9* device, UINT vertices) const {
    const UINT lr_Primitives = (vertices / k_VerticesPerQuad) * 2;
    if (!HasBuffers() || !mr_IndicesReady || !mr_VerticesReady || lr_Primitives == 0) return;
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, lr_Primitives);
}
