// One screen-aligned quad of pre-transformed vertices, in pixels or in
// fractions of the current viewport, with its own vertex and index buffer
// (or none at all when it only feeds a BatchScreenMask).
#pragma once

#include "IRenderable.h"
#include "QuadBuffers.h"

#include <d3d9.h>

#include <vector>

class ScreenMask final : public IRenderable {
public:
    // Pre-transformed position and two 2-D texture sets: D3DFVF_XYZRHW | D3DFVF_TEX2.
    struct ScreenMaskVertex {
        float x = 0.0f;
        float y = 0.0f;
        float z = 0.0f;
        float rhw = 1.0f;
        float tu0 = 0.0f;
        float tv0 = 0.0f;
        float tu1 = 0.0f;
        float tv1 = 0.0f;
    };

    static constexpr DWORD FVF = D3DFVF_XYZRHW | D3DFVF_TEX2;
    static constexpr UINT Stride = sizeof(ScreenMaskVertex);

    explicit ScreenMask(bool batchedOnly);

    ScreenMask(const ScreenMask&) = delete;
    ScreenMask& operator=(const ScreenMask&) = delete;

    void Draw(IDirect3DDevice9* device) override;
    void Bind(IDirect3DDevice9* device) override;

    void Create(IDirect3DDevice9* device, float left, float top, float right, float bottom, bool absolute);
    void SetPosition(float left, float top);
    void SetExtent(float right, float bottom);
    void SetPixelOffset(bool on);
    // Takes effect at the next Update only; does not mark the mask dirty.
    void SetDepth(float z);
    void SetTexCoords(float uMin, float vMin, float uMax, float vMax, int set);
    void SetTexelTexCoords(int x, int y, int width, int height, int set);
    void Update(IDirect3DDevice9* device);
    std::vector<ScreenMaskVertex> GetVertices() const;

    // Read-only views for callers that must not allocate per frame.
    const std::vector<ScreenMaskVertex>& Vertices() const { return mr_Vertices; }
    bool IsDirty() const { return mr_Dirty; }
    bool IsBatchedOnly() const { return mr_BatchedOnly; }
    IDirect3DVertexBuffer9* GetVertexBuffer() const { return mr_Buffers.VertexBuffer(); }
    IDirect3DIndexBuffer9* GetIndexBuffer() const { return mr_Buffers.IndexBuffer(); }

private:
    std::vector<ScreenMaskVertex> mr_Vertices;
    QuadBuffers mr_Buffers;  // none when batched only
    float mr_Left;
    float mr_Top;
    float mr_Depth;
    float mr_Right;
    float mr_Bottom;
    bool mr_Absolute;
    bool mr_Dirty;
    bool mr_PixelOffset;
    const bool mr_BatchedOnly;
};

static_assert(sizeof(ScreenMask::ScreenMaskVertex) == 32, "vertex stride must be 32 bytes");
