// The vertex and index buffer behind screen-aligned quads in ScreenMask
// vertices (four vertices a quad, two triangles through six 16-bit indices),
// and whether each holds what was last written to it: a buffer whose fill
// failed holds undefined data and is not drawn. ScreenMask and
// BatchScreenMask each own one.
#pragma once

#include <d3d9.h>

class QuadBuffers {
public:
    static constexpr UINT k_VerticesPerQuad = 4;
    static constexpr UINT k_IndicesPerQuad = 6;

    QuadBuffers() = default;
    ~QuadBuffers() { Release(); }
    QuadBuffers(const QuadBuffers&) = delete;
    QuadBuffers& operator=(const QuadBuffers&) = delete;

    // Managed, write-only buffers for `vertices`, replacing those held: a
    // vertex buffer when there is a vertex, an index buffer when there is a
    // whole quad (the runtime refuses empty ones), its indices filled at once.
    // A buffer the device refuses stays missing.
    void Create(IDirect3DDevice9* device, UINT vertices);
    void Release();

    // Writes `count` vertices of 32 bytes; false, and not drawn until a later
    // upload succeeds, when there is no buffer or it cannot be locked.
    bool Upload(const void* vertices, UINT count);
    // Retries a failed index fill, then sets the format, indices and stream.
    void Bind(IDirect3DDevice9* device);
    // Whole quads of the first `vertices` only, and only when both buffers
    // hold what was written to them.
    void Draw(IDirect3DDevice9* device, UINT vertices) const;

    bool HasBuffers() const { return mr_VertexBuffer_ && mr_IndexBuffer_; }
    bool VerticesReady() const { return mr_VerticesReady; }
    IDirect3DVertexBuffer9* VertexBuffer() const { return mr_VertexBuffer_; }
    IDirect3DIndexBuffer9* IndexBuffer() const { return mr_IndexBuffer_; }

private:
    void FillIndices();

    IDirect3DVertexBuffer9* mr_VertexBuffer_ = nullptr;
    IDirect3DIndexBuffer9* mr_IndexBuffer_ = nullptr;
    UINT mr_Quads = 0;
    bool mr_IndicesReady = false;
    bool mr_VerticesReady = false;
};
