// Everything between a checked draw call and the pixels: vertex fetch and
// transform, triangle set-up, shading and the output merger. One per
// device; its buffers and threads are kept from draw to draw, so a steady
// frame allocates nothing.
#pragma once

#include "objects/SoftStateRecord.h"
#include "pipeline/SoftFixedFunctionStages.h"
#include "pipeline/SoftOutputMerger.h"
#include "pipeline/SoftPixelShaderStage.h"
#include "pipeline/SoftRasteriser.h"
#include "pipeline/SoftTextureSampler.h"
#include "pipeline/SoftTriangleSetup.h"
#include "pipeline/SoftVertexFetch.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

class SoftSurface;

// The vertices and indices of one draw, already checked against their buffers.
// Index i of a 16- or 32-bit index array.
inline UINT SoftReadIndex(const BYTE* indices, UINT size, UINT i) {
    if (size == 2) {
        WORD lr_Index;
        std::memcpy(&lr_Index, indices + static_cast<size_t>(i) * 2, 2);
        return lr_Index;
    }
    DWORD lr_Index;
    std::memcpy(&lr_Index, indices + static_cast<size_t>(i) * 4, 4);
    return lr_Index;
}

struct SoftDrawInput {
    D3DPRIMITIVETYPE Type = D3DPT_TRIANGLELIST;
    UINT ElementCount = 0;           // vertices (or indices) read
    const BYTE* Indices_ = nullptr;  // null for a draw without indices
    UINT IndexSize = 0;
    INT BaseVertex = 0;
    UINT StartVertex = 0;  // first vertex of a draw without indices
    UINT MaxVertex = 0;    // highest vertex read
    SoftStreamView Streams[SOFT_VERTEX_STREAMS];
};

struct SoftDrawOutcome {
    bool Rasterised = false;
    const char* Reason = nullptr;  // why not, when not
    bool StencilIgnored = false;
    uint64_t PixelsShaded = 0;
    uint64_t PixelsWritten = 0;
};

class SoftDrawPipeline {
public:
    // `threads` counts the calling thread; 0 takes the machine's.
    explicit SoftDrawPipeline(UINT threads = 0);

    SoftDrawOutcome Draw(const SoftDeviceState& state, SoftSurface* const targets[SOFT_RENDER_TARGETS],
                         SoftSurface* depthStencil, const SoftDrawInput& input);

    void SetFixedPointFiltering(bool on) { mr_Sampler.SetFixedPointBlend(on); }
    void SetWorkerClockAdvance(std::chrono::milliseconds advance) { mr_Rasteriser.SetClockAdvance(advance); }

private:
    const char* Prepare(const SoftDeviceState& state, SoftSurface* const targets[SOFT_RENDER_TARGETS],
                        SoftSurface* depthStencil, const SoftDrawInput& input, SoftRasterJob* job);
    const char* TransformVertices(const SoftDeviceState& state, const SoftDrawInput& input);
    void SetupTriangles(const SoftDrawInput& input);

    SoftRasteriser mr_Rasteriser;
    SoftVertexFetch mr_Fetch;
    SoftSetupState mr_Setup;
    bool mr_Flat = false;
    SoftOutputMerger mr_Merger;
    SoftFixedFunctionStages mr_Stages;
    SoftPixelShaderStage mr_PixelStage;
    SoftTextureSampler mr_Sampler;
    std::vector<SoftClipVertex> mr_Vertices;  // one per element read, in order
    std::vector<SoftTriangle> mr_Triangles;
};
