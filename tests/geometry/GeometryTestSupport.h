// Helpers shared by the screen-mask tests: reading vertices back from the
// software device's draw record and checking what state a Bind left.
#pragma once

#include "ScreenMask.h"

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using Vertex = ScreenMask::ScreenMaskVertex;

// The vertices a draw read, one per index, in index order.
inline std::vector<Vertex> DrawnVertices(const SoftDrawRecord& draw) {
    std::vector<Vertex> lr_Out;
    if (draw.Stride != sizeof(Vertex)) {
        ADD_FAILURE() << "unexpected stride " << draw.Stride;
        return lr_Out;
    }
    lr_Out.resize(draw.Vertices.size() / sizeof(Vertex));
    if (!lr_Out.empty()) {
        std::memcpy(lr_Out.data(), draw.Vertices.data(), lr_Out.size() * sizeof(Vertex));
    }
    return lr_Out;
}

// Index pattern of q quads: 4q, 4q+1, 4q+2, 4q+2, 4q+3, 4q.
inline std::vector<UINT> QuadIndices(UINT quads) {
    std::vector<UINT> lr_Out;
    for (UINT q = 0; q < quads; ++q) {
        const UINT lr_Pattern[6] = {4 * q, 4 * q + 1, 4 * q + 2, 4 * q + 2, 4 * q + 3, 4 * q};
        lr_Out.insert(lr_Out.end(), lr_Pattern, lr_Pattern + 6);
    }
    return lr_Out;
}

inline void ExpectCorner(const Vertex& v, float x, float y) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
}

// Puts recognisable values into FVF, indices and stream 0, so a test can see
// whether a Bind touched them.
struct StreamState {
    DWORD FVF = 0;
    IDirect3DIndexBuffer9* Indices = nullptr;
    IDirect3DVertexBuffer9* Stream = nullptr;
    UINT Offset = 0;
    UINT Stride = 0;

    static StreamState Read(IDirect3DDevice9* device) {
        StreamState lr_State;
        device->GetFVF(&lr_State.FVF);
        device->GetIndices(&lr_State.Indices);
        device->GetStreamSource(0, &lr_State.Stream, &lr_State.Offset, &lr_State.Stride);
        // Identity only: the Get* calls added references.
        if (lr_State.Indices) lr_State.Indices->Release();
        if (lr_State.Stream) lr_State.Stream->Release();
        return lr_State;
    }
};
