#include "QuadBuffers.h"

#include "ScreenMask.h"

namespace QuadBuffers {

IDirect3DVertexBuffer9* CreateVertexBuffer(IDirect3DDevice9* device, UINT vertices) {
    IDirect3DVertexBuffer9* lr_Buffer_ = nullptr;
    if (FAILED(device->CreateVertexBuffer(vertices * ScreenMask::Stride, D3DUSAGE_WRITEONLY, ScreenMask::FVF,
                                          D3DPOOL_MANAGED, &lr_Buffer_, nullptr))) {
        return nullptr;
    }
    return lr_Buffer_;
}

IDirect3DIndexBuffer9* CreateIndexBuffer(IDirect3DDevice9* device, UINT quads) {
    IDirect3DIndexBuffer9* lr_Buffer_ = nullptr;
    if (FAILED(device->CreateIndexBuffer(quads * k_IndicesPerQuad * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                         D3DPOOL_MANAGED, &lr_Buffer_, nullptr))) {
        return nullptr;
    }
    return lr_Buffer_;
}

bool FillIndices(IDirect3DIndexBuffer9* buffer, UINT quads) {
    if (!buffer) {
        return false;
    }
    void* lr_Data = nullptr;
    if (FAILED(buffer->Lock(0, 0, &lr_Data, 0)) || !lr_Data) {
        return false;
    }
    WORD* lr_Indices = static_cast<WORD*>(lr_Data);
    for (UINT lr_Quad = 0; lr_Quad < quads; ++lr_Quad) {
        const WORD lr_First = static_cast<WORD>(lr_Quad * k_VerticesPerQuad);
        WORD* lr_Out = lr_Indices + lr_Quad * k_IndicesPerQuad;
        lr_Out[0] = lr_First;
        lr_Out[1] = static_cast<WORD>(lr_First + 1);
        lr_Out[2] = static_cast<WORD>(lr_First + 2);
        lr_Out[3] = static_cast<WORD>(lr_First + 2);
        lr_Out[4] = static_cast<WORD>(lr_First + 3);
        lr_Out[5] = lr_First;
    }
    buffer->Unlock();
    return true;
}

void Bind(IDirect3DDevice9* device, IDirect3DVertexBuffer9* vertices, IDirect3DIndexBuffer9* indices) {
    device->SetFVF(ScreenMask::FVF);
    device->SetIndices(indices);
    device->SetStreamSource(0, vertices, 0, ScreenMask::Stride);
}

void Draw(IDirect3DDevice9* device, UINT vertices) {
    const UINT lr_Primitives = (vertices / k_VerticesPerQuad) * 2;
    if (lr_Primitives == 0) {
        return;
    }
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, lr_Primitives);
}

void Release(IDirect3DVertexBuffer9*& vertices, IDirect3DIndexBuffer9*& indices) {
    if (indices) {
        indices->Release();
        indices = nullptr;
    }
    if (vertices) {
        vertices->Release();
        vertices = nullptr;
    }
}

}  // namespace QuadBuffers
