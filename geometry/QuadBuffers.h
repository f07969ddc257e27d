// The buffers behind screen-aligned quads in ScreenMask vertices: four
// vertices a quad, drawn as two triangles through six 16-bit indices.
#pragma once

#include <d3d9.h>

namespace QuadBuffers {

constexpr UINT k_VerticesPerQuad = 4;
constexpr UINT k_IndicesPerQuad = 6;

// Managed, write-only; nullptr when the device refuses.
IDirect3DVertexBuffer9* CreateVertexBuffer(IDirect3DDevice9* device, UINT vertices);
IDirect3DIndexBuffer9* CreateIndexBuffer(IDirect3DDevice9* device, UINT quads);

// False when there is no buffer or it cannot be locked: it then holds nothing usable.
bool FillIndices(IDirect3DIndexBuffer9* buffer, UINT quads);

void Bind(IDirect3DDevice9* device, IDirect3DVertexBuffer9* vertices, IDirect3DIndexBuffer9* indices);
// Whole quads only; nothing at all below one quad.
void Draw(IDirect3DDevice9* device, UINT vertices);

void Release(IDirect3DVertexBuffer9*& vertices, IDirect3DIndexBuffer9*& indices);

}  // namespace QuadBuffers
