#include "pipeline/SoftTriangleSetup.h"

#include <algorithm>
#include <cmath>

namespace {

// Screen coordinates beyond this many pixels are outside any target; the
// guard band keeps clipped ones well inside so the edge sums fit in 64 bits.
const float k_GuardBand = 4.0f;
const float k_MaxScreen = 1048576.0f;
const int k_MaxClipVertices = 12;

struct ScreenVertex {
    float X, Y, Z, Rhw;
    const float (*Slots)[4];
};

void Lerp(const SoftClipVertex& a, const SoftClipVertex& b, float t, UINT mask, SoftClipVertex* out) {
    for (int i = 0; i < 4; ++i) out->Position[i] = a.Position[i] + (b.Position[i] - a.Position[i]) * t;
    for (UINT s = 0; s < SOFT_ATTRIBUTE_SLOTS; ++s) {
        if (!(mask & (1u << s))) continue;
        for (int i = 0; i < 4; ++i) out->Slots[s][i] = a.Slots[s][i] + (b.Slots[s][i] - a.Slots[s][i]) * t;
    }
}

// Distance of a clip-space vertex to one plane, positive inside.
float PlaneDistance(int plane, const float p[4]) {
    switch (plane) {
    case 0: return p[2];                       // near: z >= 0
    case 1: return p[3] - p[2];                // far: z <= w
    case 2: return p[3] * k_GuardBand - p[0];  // guard band, x and y
    case 3: return p[3] * k_GuardBand + p[0];
    case 4: return p[3] * k_GuardBand - p[1];
    case 5: return p[3] * k_GuardBand + p[1];
    default: return p[3] - 1e-6f;  // w > 0
    }
}

void SetupScreen(const SoftSetupState& state, const ScreenVertex (&in)[3], std::vector<SoftTriangle>& out) {
    for (const ScreenVertex& lr_Vertex : in) {
        if (!(std::fabs(lr_Vertex.X) < k_MaxScreen) || !(std::fabs(lr_Vertex.Y) < k_MaxScreen)) return;
    }
    const float lr_Scale = static_cast<float>(1 << SOFT_SUBPIXEL_BITS);
    int64_t X[3], Y[3];
    for (int k = 0; k < 3; ++k) {
        X[k] = std::llround(static_cast<double>(in[k].X) * lr_Scale);
        Y[k] = std::llround(static_cast<double>(in[k].Y) * lr_Scale);
    }
    int64_t lr_Area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (lr_Area == 0) return;
    // Positive area is clockwise on screen (y grows downwards).
    bool lr_Clockwise = lr_Area > 0;
    if (state.CullMode == D3DCULL_CCW && !lr_Clockwise) return;
    if (state.CullMode == D3DCULL_CW && lr_Clockwise) return;
    int lr_Order[3] = {0, 1, 2};
    if (!lr_Clockwise) {
        std::swap(lr_Order[1], lr_Order[2]);
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        lr_Area = -lr_Area;
    }

    // Pixel bounds: the centres inside the snapped vertices' box.
    auto lr_CeilDiv = [](int64_t v) {
        return static_cast<int>((v + (1 << SOFT_SUBPIXEL_BITS) - 1) >> SOFT_SUBPIXEL_BITS);
    };
    auto lr_FloorDiv = [](int64_t v) { return static_cast<int>(v >> SOFT_SUBPIXEL_BITS); };
    int lr_MinX = std::max(state.Clip.Left, lr_CeilDiv(std::min({X[0], X[1], X[2]})));
    int lr_MinY = std::max(state.Clip.Top, lr_CeilDiv(std::min({Y[0], Y[1], Y[2]})));
    int lr_MaxX = std::min(state.Clip.Right - 1, lr_FloorDiv(std::max({X[0], X[1], X[2]})));
    int lr_MaxY = std::min(state.Clip.Bottom - 1, lr_FloorDiv(std::max({Y[0], Y[1], Y[2]})));
    if (lr_MinX > lr_MaxX || lr_MinY > lr_MaxY) return;

    out.emplace_back();
    SoftTriangle& lr_Tri = out.back();
    for (int k = 0; k < 3; ++k) {
        int a = (k + 1) % 3, b = (k + 2) % 3;
        int64_t lr_Dx = X[b] - X[a], lr_Dy = Y[b] - Y[a];
        lr_Tri.EdgeA[k] = -lr_Dy * (1 << SOFT_SUBPIXEL_BITS);
        lr_Tri.EdgeB[k] = lr_Dx * (1 << SOFT_SUBPIXEL_BITS);
        lr_Tri.EdgeC[k] = lr_Dy * X[a] - lr_Dx * Y[a];
        bool lr_TopLeft = lr_Dy < 0 || (lr_Dy == 0 && lr_Dx > 0);
        lr_Tri.EdgeBias[k] = lr_TopLeft ? 0 : 1;
    }
    lr_Tri.InvArea = static_cast<float>(1.0 / static_cast<double>(lr_Area));
    lr_Tri.MinX = lr_MinX;
    lr_Tri.MinY = lr_MinY;
    lr_Tri.MaxX = lr_MaxX;
    lr_Tri.MaxY = lr_MaxY;
    lr_Tri.FrontFace = lr_Clockwise;
    // With one rhw for the whole triangle interpolation is affine: attributes stay as they are.
    bool lr_Affine = in[0].Rhw == in[1].Rhw && in[1].Rhw == in[2].Rhw;
    for (int k = 0; k < 3; ++k) {
        const ScreenVertex& lr_Vertex = in[lr_Order[k]];
        lr_Tri.Z[k] = lr_Vertex.Z;
        lr_Tri.Rhw[k] = lr_Vertex.Rhw;
        for (UINT s = 0; s < SOFT_ATTRIBUTE_SLOTS; ++s) {
            if (!(state.SlotMask & (1u << s))) continue;
            for (int i = 0; i < 4; ++i)
                lr_Tri.Slots[k][s][i] = lr_Affine ? lr_Vertex.Slots[s][i] : lr_Vertex.Slots[s][i] * lr_Vertex.Rhw;
        }
    }
}

ScreenVertex MapToScreen(const SoftSetupState& state, const SoftClipVertex& v) {
    const D3DVIEWPORT9& lr_View = state.Viewport;
    float lr_Rhw = 1.0f / v.Position[3];
    ScreenVertex lr_Out;
    lr_Out.X =
        static_cast<float>(lr_View.X) + (1.0f + v.Position[0] * lr_Rhw) * 0.5f * static_cast<float>(lr_View.Width);
    lr_Out.Y =
        static_cast<float>(lr_View.Y) + (1.0f - v.Position[1] * lr_Rhw) * 0.5f * static_cast<float>(lr_View.Height);
    lr_Out.Z = lr_View.MinZ + v.Position[2] * lr_Rhw * (lr_View.MaxZ - lr_View.MinZ);
    lr_Out.Rhw = lr_Rhw;
    lr_Out.Slots = v.Slots;
    return lr_Out;
}

}  // namespace

void SoftMultiplyMatrices(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX* out) {
    D3DMATRIX lr_Result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float lr_Sum = 0.0f;
            for (int k = 0; k < 4; ++k) lr_Sum += a.m[r][k] * b.m[k][c];
            lr_Result.m[r][c] = lr_Sum;
        }
    *out = lr_Result;
}

void SoftTransformPosition(const SoftSetupState& state, const float position[4], float clip[4]) {
    for (int c = 0; c < 4; ++c) {
        float lr_Sum = 0.0f;
        for (int k = 0; k < 4; ++k) lr_Sum += position[k] * state.WorldViewProjection[k][c];
        clip[c] = lr_Sum;
    }
}

void SoftSetupTriangle(const SoftSetupState& state, const SoftClipVertex& v0, const SoftClipVertex& v1,
                       const SoftClipVertex& v2, std::vector<SoftTriangle>& out) {
    if (state.PreTransformed) {
        const SoftClipVertex* lr_In[3] = {&v0, &v1, &v2};
        ScreenVertex lr_Screen[3];
        for (int k = 0; k < 3; ++k)
            lr_Screen[k] = ScreenVertex{lr_In[k]->Position[0], lr_In[k]->Position[1], lr_In[k]->Position[2],
                                        lr_In[k]->Position[3], lr_In[k]->Slots};
        SetupScreen(state, lr_Screen, out);
        return;
    }

    // Whole triangle inside every plane: no copies.
    unsigned lr_Outside = 0;
    const SoftClipVertex* lr_In[3] = {&v0, &v1, &v2};
    for (int p = 0; p < 7; ++p)
        for (const SoftClipVertex* lr_Vertex_ : lr_In)
            if (!(PlaneDistance(p, lr_Vertex_->Position) >= 0.0f)) lr_Outside |= 1u << p;
    if (!lr_Outside) {
        ScreenVertex lr_Screen[3] = {MapToScreen(state, v0), MapToScreen(state, v1), MapToScreen(state, v2)};
        SetupScreen(state, lr_Screen, out);
        return;
    }

    // Sutherland-Hodgman against the planes the triangle crosses.
    SoftClipVertex lr_Buffers[2][k_MaxClipVertices];
    int lr_Count = 3;
    lr_Buffers[0][0] = v0;
    lr_Buffers[0][1] = v1;
    lr_Buffers[0][2] = v2;
    int lr_Current = 0;
    for (int p = 0; p < 7 && lr_Count >= 3; ++p) {
        if (!(lr_Outside & (1u << p))) continue;
        const SoftClipVertex* lr_Src = lr_Buffers[lr_Current];
        SoftClipVertex* lr_Dst = lr_Buffers[1 - lr_Current];
        int lr_Out = 0;
        for (int i = 0; i < lr_Count && lr_Out + 2 <= k_MaxClipVertices; ++i) {
            const SoftClipVertex& a = lr_Src[i];
            const SoftClipVertex& b = lr_Src[(i + 1) % lr_Count];
            float da = PlaneDistance(p, a.Position), db = PlaneDistance(p, b.Position);
            bool lr_InA = da >= 0.0f, lr_InB = db >= 0.0f;
            if (lr_InA) lr_Dst[lr_Out++] = a;
            if (lr_InA != lr_InB) Lerp(a, b, da / (da - db), state.SlotMask, &lr_Dst[lr_Out++]);
        }
        lr_Count = lr_Out;
        lr_Current = 1 - lr_Current;
    }
    if (lr_Count < 3) return;
    const SoftClipVertex* lr_Poly = lr_Buffers[lr_Current];
    ScreenVertex lr_First = MapToScreen(state, lr_Poly[0]);
    for (int i = 1; i + 1 < lr_Count; ++i) {
        ScreenVertex lr_Screen[3] = {lr_First, MapToScreen(state, lr_Poly[i]), MapToScreen(state, lr_Poly[i + 1])};
        SetupScreen(state, lr_Screen, out);
    }
}
