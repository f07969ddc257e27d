#include "pipeline/SoftRasteriser.h"

#include <algorithm>
#include <cstring>

namespace {

// Four components at once (unaligned loads and stores: the inputs are plain float arrays).
typedef float Vec4 __attribute__((vector_size(16)));

Vec4 Load4(const float* p) {
    Vec4 v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

void Store4(float* p, Vec4 v) { std::memcpy(p, &v, sizeof(v)); }

}  // namespace

SoftRasteriser::SoftRasteriser(UINT threads)
    : mr_Pool(threads), mr_Job_(nullptr), mr_TilesX(0), mr_TileLeft(0), mr_TileTop(0) {
    mr_Counts.resize(mr_Pool.WorkerCount());
}

SoftRasterCounts SoftRasteriser::Draw(const SoftRasterJob& job) {
    SoftRasterCounts lr_Total;
    const SoftPixelRect& lr_Clip = job.Clip;
    if (job.TriangleCount == 0 || lr_Clip.Left >= lr_Clip.Right || lr_Clip.Top >= lr_Clip.Bottom) return lr_Total;
    // Only the tiles the triangles reach.
    int lr_MinX = lr_Clip.Right, lr_MinY = lr_Clip.Bottom, lr_MaxX = lr_Clip.Left, lr_MaxY = lr_Clip.Top;
    for (size_t i = 0; i < job.TriangleCount; ++i) {
        const SoftTriangle& lr_Tri = job.Triangles_[i];
        lr_MinX = std::min(lr_MinX, lr_Tri.MinX);
        lr_MinY = std::min(lr_MinY, lr_Tri.MinY);
        lr_MaxX = std::max(lr_MaxX, lr_Tri.MaxX);
        lr_MaxY = std::max(lr_MaxY, lr_Tri.MaxY);
    }
    if (lr_MinX > lr_MaxX || lr_MinY > lr_MaxY) return lr_Total;
    mr_TileLeft = lr_MinX / k_TileSize;
    mr_TileTop = lr_MinY / k_TileSize;
    mr_TilesX = lr_MaxX / k_TileSize - mr_TileLeft + 1;
    int lr_TilesY = lr_MaxY / k_TileSize - mr_TileTop + 1;
    for (WorkerCounts& lr_Counts : mr_Counts) lr_Counts.Counts = SoftRasterCounts();
    mr_Job_ = &job;
    mr_Pool.Run(static_cast<UINT>(mr_TilesX * lr_TilesY), &SoftRasteriser::TileTask, this);
    mr_Job_ = nullptr;
    for (const WorkerCounts& lr_Counts : mr_Counts) {
        lr_Total.Shaded += lr_Counts.Counts.Shaded;
        lr_Total.Written += lr_Counts.Counts.Written;
    }
    return lr_Total;
}

void SoftRasteriser::TileTask(void* context, UINT task, UINT worker) {
    auto* lr_This_ = static_cast<SoftRasteriser*>(context);
    int lr_X = lr_This_->mr_TileLeft + static_cast<int>(task) % lr_This_->mr_TilesX;
    int lr_Y = lr_This_->mr_TileTop + static_cast<int>(task) / lr_This_->mr_TilesX;
    SoftPixelRect lr_Tile{lr_X * k_TileSize, lr_Y * k_TileSize, (lr_X + 1) * k_TileSize, (lr_Y + 1) * k_TileSize};
    lr_This_->RasteriseTile(lr_Tile, worker);
}

void SoftRasteriser::RasteriseTile(const SoftPixelRect& tile, UINT worker) {
    const SoftRasterJob& lr_Job = *mr_Job_;
    // Inputs the shader does not read keep these values.
    SoftPixelInputs lr_Inputs[4];
    for (SoftPixelInputs& lr_Input : lr_Inputs) {
        SoftSetVector(lr_Input.Color[0], 1.0f, 1.0f, 1.0f, 1.0f);
        SoftSetVector(lr_Input.Color[1], 0.0f, 0.0f, 0.0f, 0.0f);
        for (auto& lr_Coord : lr_Input.TexCoord) SoftSetVector(lr_Coord, 0.0f, 0.0f, 0.0f, 1.0f);
        SoftSetVector(lr_Input.Position, 0.0f, 0.0f, 0.0f, 1.0f);
        lr_Input.FrontFace = true;
    }
    SoftRasterCounts& lr_Counts = mr_Counts[worker].Counts;
    for (size_t i = 0; i < lr_Job.TriangleCount; ++i) {
        const SoftTriangle& lr_Tri = lr_Job.Triangles_[i];
        if (lr_Tri.MaxX < tile.Left || lr_Tri.MinX >= tile.Right || lr_Tri.MaxY < tile.Top ||
            lr_Tri.MinY >= tile.Bottom)
            continue;
        RasteriseTriangle(lr_Tri, tile, worker, lr_Inputs, &lr_Counts);
    }
}

void SoftRasteriser::RasteriseTriangle(const SoftTriangle& tri, const SoftPixelRect& tile, UINT worker,
                                       SoftPixelInputs* inputs, SoftRasterCounts* counts) {
    const SoftRasterJob& lr_Job = *mr_Job_;
    // Live pixels: inside the triangle's box (which lies inside the clip
    // rectangle) and this tile. Quads start on even coordinates.
    const int lr_Left = std::max(tile.Left, tri.MinX), lr_Right = std::min(tile.Right - 1, tri.MaxX);
    const int lr_Top = std::max(tile.Top, tri.MinY), lr_Bottom = std::min(tile.Bottom - 1, tri.MaxY);
    const int lr_QuadLeft = lr_Left & ~1, lr_QuadTop = lr_Top & ~1;
    for (int l = 0; l < 4; ++l) inputs[l].FrontFace = tri.FrontFace;
    SoftPixelOutputs lr_Outputs[4];

    // Each interpolated value v is v0 + b1 (v1 - v0) + b2 (v2 - v0), with b1
    // and b2 the weights of vertices 1 and 2; relative to vertex 0 a value
    // equal at all three stays exact. Evaluated exactly at each quad's first
    // pixel, stepped by its gradient to the other three lanes, four
    // components at a time.
    const float lr_B1x = static_cast<float>(tri.EdgeA[1]) * tri.InvArea,
                lr_B1y = static_cast<float>(tri.EdgeB[1]) * tri.InvArea;
    const float lr_B2x = static_cast<float>(tri.EdgeA[2]) * tri.InvArea,
                lr_B2y = static_cast<float>(tri.EdgeB[2]) * tri.InvArea;
    struct Plane {
        Vec4 V0, D1, D2, Dx, Dy;
        float* Out_[4];
    };
    auto lr_MakePlane = [&](Vec4 v0, Vec4 v1, Vec4 v2) {
        Plane lr_Plane;
        lr_Plane.V0 = v0;
        lr_Plane.D1 = v1 - v0;
        lr_Plane.D2 = v2 - v0;
        lr_Plane.Dx = lr_Plane.D1 * lr_B1x + lr_Plane.D2 * lr_B2x;
        lr_Plane.Dy = lr_Plane.D1 * lr_B1y + lr_Plane.D2 * lr_B2y;
        return lr_Plane;
    };
    // Colours (saturated) first, then texture coordinates.
    Plane lr_Planes[SOFT_ATTRIBUTE_SLOTS];
    int lr_PlaneCount = 0, lr_ColorPlanes = 0;
    for (UINT s = 0; s < SOFT_ATTRIBUTE_SLOTS; ++s) {
        if (s == SOFT_ATTRIBUTE_TEXCOORD0) lr_ColorPlanes = lr_PlaneCount;
        if (!((lr_Job.ComponentMask >> (4 * s)) & 0xFu)) continue;
        Plane& lr_Plane = lr_Planes[lr_PlaneCount++];
        lr_Plane = lr_MakePlane(Load4(tri.Slots[0][s]), Load4(tri.Slots[1][s]), Load4(tri.Slots[2][s]));
        for (int l = 0; l < 4; ++l)
            lr_Plane.Out_[l] =
                s < SOFT_ATTRIBUTE_TEXCOORD0 ? inputs[l].Color[s] : inputs[l].TexCoord[s - SOFT_ATTRIBUTE_TEXCOORD0];
    }
    // Depth and rhw together.
    const Plane lr_DepthPlane =
        lr_MakePlane(Vec4{tri.Z[0], tri.Rhw[0], 0.0f, 0.0f}, Vec4{tri.Z[1], tri.Rhw[1], 0.0f, 0.0f},
                     Vec4{tri.Z[2], tri.Rhw[2], 0.0f, 0.0f});
    // Equal rhw everywhere (screen-space quads): no division per pixel.
    const bool lr_Affine = tri.Rhw[0] == tri.Rhw[1] && tri.Rhw[1] == tri.Rhw[2];
    const Vec4 lr_Zero = {0.0f, 0.0f, 0.0f, 0.0f}, lr_One = {1.0f, 1.0f, 1.0f, 1.0f};

    for (int y = lr_QuadTop; y <= lr_Bottom; y += 2) {
        int64_t lr_Row[3];
        for (int k = 0; k < 3; ++k) lr_Row[k] = tri.EdgeA[k] * lr_QuadLeft + tri.EdgeB[k] * y + tri.EdgeC[k];
        for (int x = lr_QuadLeft; x <= lr_Right; x += 2) {
            int64_t lr_E[4][3];
            for (int k = 0; k < 3; ++k) {
                lr_E[0][k] = lr_Row[k];
                lr_E[1][k] = lr_Row[k] + tri.EdgeA[k];
                lr_E[2][k] = lr_Row[k] + tri.EdgeB[k];
                lr_E[3][k] = lr_Row[k] + tri.EdgeA[k] + tri.EdgeB[k];
                lr_Row[k] += 2 * tri.EdgeA[k];
            }
            bool lr_Live[4];
            int lr_LiveCount = 0;
            for (int l = 0; l < 4; ++l) {
                int px = x + (l & 1), py = y + (l >> 1);
                lr_Live[l] = px >= lr_Left && px <= lr_Right && py >= lr_Top && py <= lr_Bottom &&
                             lr_E[l][0] >= tri.EdgeBias[0] && lr_E[l][1] >= tri.EdgeBias[1] &&
                             lr_E[l][2] >= tri.EdgeBias[2];
                lr_LiveCount += lr_Live[l];
            }
            if (!lr_LiveCount) continue;

            const float b1 = static_cast<float>(lr_E[0][1]) * tri.InvArea;
            const float b2 = static_cast<float>(lr_E[0][2]) * tri.InvArea;
            auto lr_Lanes = [&](const Plane& plane, Vec4 out[4]) {
                Vec4 lr_Base = plane.V0 + b1 * plane.D1 + b2 * plane.D2;
                out[0] = lr_Base;
                out[1] = lr_Base + plane.Dx;
                out[2] = lr_Base + plane.Dy;
                out[3] = lr_Base + plane.Dx + plane.Dy;
            };
            Vec4 lr_DepthLanes[4];
            float lr_W[4];
            lr_Lanes(lr_DepthPlane, lr_DepthLanes);
            if (lr_Job.EarlyDepth) {
                // Pixels the depth test will drop are not shaded, as hardware does.
                for (int l = 0; l < 4; ++l) {
                    if (lr_Live[l] && !lr_Job.Merger_->DepthPasses(x + (l & 1), y + (l >> 1), lr_DepthLanes[l][0])) {
                        lr_Live[l] = false;
                        --lr_LiveCount;
                    }
                }
                if (!lr_LiveCount) continue;
            }
            for (int l = 0; l < 4; ++l) {
                float lr_Rhw = lr_DepthLanes[l][1];
                // Helper lanes far outside may extrapolate through w = 0.
                if (!(lr_Rhw > 1e-30f)) lr_Rhw = 1e-30f;
                lr_W[l] = lr_Affine ? 1.0f : 1.0f / lr_Rhw;
                Store4(inputs[l].Position, Vec4{static_cast<float>(x + (l & 1)), static_cast<float>(y + (l >> 1)),
                                                lr_DepthLanes[l][0], lr_Rhw});
            }
            for (int n = 0; n < lr_PlaneCount; ++n) {
                const Plane& lr_Plane = lr_Planes[n];
                Vec4 lr_Values[4];
                lr_Lanes(lr_Plane, lr_Values);
                for (int l = 0; l < 4; ++l) {
                    Vec4 v = lr_Values[l] * lr_W[l];
                    if (n < lr_ColorPlanes) {
                        v = v > lr_Zero ? v : lr_Zero;  // NaN goes to 0 as well
                        v = v < lr_One ? v : lr_One;
                    }
                    Store4(lr_Plane.Out_[l], v);
                }
            }
            lr_Job.Shader_->ShadeQuad(inputs, lr_Live, lr_Outputs, worker);
            counts->Shaded += static_cast<uint64_t>(lr_LiveCount);
            for (int l = 0; l < 4; ++l) {
                if (!lr_Live[l]) continue;
                if (lr_Job.Merger_->Merge(x + (l & 1), y + (l >> 1), inputs[l].Position[2], lr_Outputs[l],
                                          lr_Job.EarlyDepth, tri.FrontFace))
                    ++counts->Written;
            }
        }
    }
}
