// Walks set-up triangles over the render target in 64x64 tiles spread over
// the worker threads; inside a tile, triangles in draw order, 2x2 quads
// with at least one covered pixel go to the quad shader and each covered
// pixel to the output merger. Tiles do not overlap, so threads never touch
// the same pixel and blending keeps the draw order.
#pragma once

#include "pipeline/SoftOutputMerger.h"
#include "pipeline/SoftQuadShader.h"
#include "pipeline/SoftTriangleSetup.h"
#include "pipeline/SoftWorkerPool.h"

#include <chrono>
#include <cstdint>
#include <vector>

struct SoftRasterJob {
    const SoftTriangle* Triangles_ = nullptr;
    size_t TriangleCount = 0;
    SoftPixelRect Clip{0, 0, 0, 0};  // every triangle's box already lies inside
    uint64_t ComponentMask = 0;      // bit 4 x slot + component: attribute components the shader reads
    ISoftQuadShader* Shader_ = nullptr;
    const SoftOutputMerger* Merger_ = nullptr;
    // Depth-test before shading: the shader neither writes depth nor kills
    // pixels, and no alpha test follows it.
    bool EarlyDepth = false;
};

struct SoftRasterCounts {
    uint64_t Shaded = 0;   // covered pixels shaded
    uint64_t Written = 0;  // pixels that passed every test
};

class SoftRasteriser {
public:
    enum : int { k_TileSize = 64 };

    // `threads` counts the caller; 0 takes the machine's hardware threads.
    explicit SoftRasteriser(UINT threads = 0);

    UINT WorkerCount() const { return mr_Pool.WorkerCount(); }
    SoftRasterCounts Draw(const SoftRasterJob& job);
    void SetClockAdvance(std::chrono::milliseconds advance) { mr_Pool.SetClockAdvance(advance); }

private:
    struct alignas(64) WorkerCounts {
        SoftRasterCounts Counts;
    };

    static void TileTask(void* context, UINT task, UINT worker);
    void RasteriseTile(const SoftPixelRect& tile, UINT worker);
    void RasteriseTriangle(const SoftTriangle& triangle, const SoftPixelRect& tile, UINT worker,
                           SoftPixelInputs* inputs, SoftRasterCounts* counts);

    SoftWorkerPool mr_Pool;
    std::vector<WorkerCounts> mr_Counts;
    const SoftRasterJob* mr_Job_;
    int mr_TilesX;
    int mr_TileLeft, mr_TileTop;  // of the first tile, in tiles
};
