// Where each vertex attribute of a draw lives (from the FVF or the vertex
// declaration) and how it reads as floats.
#pragma once

#include "pipeline/SoftPixelTypes.h"

#include <d3d9.h>

#include <vector>

enum : UINT {
    SOFT_ATTRIBUTE_DIFFUSE = 0,
    SOFT_ATTRIBUTE_SPECULAR = 1,
    SOFT_ATTRIBUTE_TEXCOORD0 = 2,  // texture coordinate set n is slot 2 + n
    SOFT_ATTRIBUTE_SLOTS = 10,
    SOFT_VERTEX_STREAMS = 16,
};

// One vertex as the pipeline sees it: position and the ten attribute slots,
// missing components filled with (0, 0, 0, 1).
struct SoftFetchedVertex {
    float Position[4];
    float Slots[SOFT_ATTRIBUTE_SLOTS][4];
};

// The memory of one bound stream for this draw.
struct SoftStreamView {
    const BYTE* Data_ = nullptr;
    size_t Bytes = 0;
    UINT Stride = 0;
};

class SoftVertexFetch {
public:
    SoftVertexFetch();

    // Describes the layout; returns nullptr, or why the layout cannot be
    // drawn here (element types or usages not read by this device).
    const char* DescribeFvf(DWORD fvf, UINT stride);
    const char* DescribeDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements);

    bool PreTransformed() const { return mr_PreTransformed; }
    // Bit n set when slot n comes from the vertices.
    UINT SlotMask() const { return mr_SlotMask; }
    // Streams read (bit per stream).
    UINT StreamMask() const { return mr_StreamMask; }

    // Checks that vertex `maxVertex` of every stream read lies in its memory
    // and keeps the views; returns nullptr or the reason it does not.
    const char* Bind(const SoftStreamView* streams, UINT maxVertex);
    void Fetch(UINT vertex, SoftFetchedVertex* out) const;

private:
    struct Element {
        BYTE Stream;
        BYTE Type;  // D3DDECLTYPE value
        WORD Offset;
        bool Present;
    };

    void Reset();

    Element mr_Position;
    Element mr_Slots[SOFT_ATTRIBUTE_SLOTS];
    bool mr_PreTransformed;
    UINT mr_SlotMask;
    UINT mr_StreamMask;
    SoftStreamView mr_Streams[SOFT_VERTEX_STREAMS];
};
