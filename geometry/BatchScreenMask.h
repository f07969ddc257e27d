// The vertices of several screen masks in one buffer, drawn with a single
// indexed draw call.
#pragma once

#include "IRenderable.h"
#include "QuadBuffers.h"
#include "ScreenMask.h"

#include <d3d9.h>

#include <vector>

class BatchScreenMask final : public IRenderable {
public:
    // The most vertices 16-bit indices reach.
    static constexpr int k_MaxCapacity = 65536;

    // A capacity above k_MaxCapacity is refused: the batch then holds nothing
    // and has no buffers.
    BatchScreenMask(IDirect3DDevice9* device, int capacity);

    BatchScreenMask(const BatchScreenMask&) = delete;
    BatchScreenMask& operator=(const BatchScreenMask&) = delete;

    void Draw(IDirect3DDevice9* device) override;
    void Bind(IDirect3DDevice9* device) override;

    // The device is not used; the mask must already be up to date.
    void AddMask(ScreenMask* mask, IDirect3DDevice9* device, bool clear, bool upload);

    const std::vector<ScreenMask::ScreenMaskVertex>& GetVertices() const { return mr_Vertices; }
    int GetCapacity() const { return mr_Capacity; }
    IDirect3DVertexBuffer9* GetVertexBuffer() const { return mr_Buffers.VertexBuffer(); }
    IDirect3DIndexBuffer9* GetIndexBuffer() const { return mr_Buffers.IndexBuffer(); }

private:
    void Upload();

    std::vector<ScreenMask::ScreenMaskVertex> mr_Vertices;
    QuadBuffers mr_Buffers;
    int mr_Capacity;
};
