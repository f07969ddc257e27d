// From vertices to screen triangles: the fixed-function transform, clipping
// at the near and far planes (and a guard band far outside the viewport),
// the viewport mapping, culling and the edge equations the rasteriser walks.
#pragma once

#include "pipeline/SoftVertexFetch.h"

#include <d3d9.h>

#include <cstdint>
#include <vector>

// Pixels (x, y) with Left <= x < Right and Top <= y < Bottom.
struct SoftPixelRect {
    int Left, Top, Right, Bottom;
};

// A vertex in clip space (or, pre-transformed, in screen space with rhw in [3]).
struct SoftClipVertex {
    float Position[4];
    float Slots[SOFT_ATTRIBUTE_SLOTS][4];
};

// Sub-pixel precision of the snapped vertex positions.
enum : int { SOFT_SUBPIXEL_BITS = 8 };

struct SoftTriangle {
    // Edge k (opposite vertex k) at pixel centre (x, y) is A*x + B*y + C, in
    // 1/2^16 square pixels; it equals twice the area at vertex k. A pixel is
    // covered when every edge value is at least its bias: 0 on top and left
    // edges, 1 on the others, so that a pixel on a shared edge goes to
    // exactly one of the two triangles.
    int64_t EdgeA[3], EdgeB[3], EdgeC[3], EdgeBias[3];
    float InvArea;               // 1 / (twice the area), same units
    int MinX, MinY, MaxX, MaxY;  // inclusive, already inside the clip rectangle
    float Z[3];
    float Rhw[3];
    // Attribute x rhw, for perspective-correct interpolation; the attribute
    // itself when the three rhw are equal.
    float Slots[3][SOFT_ATTRIBUTE_SLOTS][4];
    bool FrontFace;  // clockwise on screen
};

struct SoftSetupState {
    bool PreTransformed = false;
    float WorldViewProjection[4][4] = {};  // row vectors: clip = position x matrix
    D3DVIEWPORT9 Viewport{};
    DWORD CullMode = D3DCULL_CCW;
    SoftPixelRect Clip{0, 0, 0, 0};
    UINT SlotMask = 0;  // attribute slots carried to the pixels
};

// Fixed-function position transform (untransformed vertices only).
void SoftTransformPosition(const SoftSetupState& state, const float position[4], float clip[4]);
// Product of the world, view and projection matrices, as row vectors.
void SoftMultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX* out);

// Clips, maps, culls and sets up one triangle; visible pieces go to `out`
// (its capacity is reused from draw to draw).
void SoftSetupTriangle(const SoftSetupState& state, const SoftClipVertex& v0, const SoftClipVertex& v1,
                       const SoftClipVertex& v2, std::vector<SoftTriangle>& out);
