#include "ScreenMask.h"

namespace {
constexpr UINT k_VerticesPerQuad = QuadBuffers::k_VerticesPerQuad;
}

ScreenMask::ScreenMask(bool batchedOnly)
    : mr_Left(0.0f),
      mr_Top(0.0f),
      mr_Depth(0.0f),
      mr_Right(0.0f),
      mr_Bottom(0.0f),
      mr_Absolute(false),
      mr_Dirty(true),
      mr_PixelOffset(true),
      mr_BatchedOnly(batchedOnly) {
    mr_Vertices.resize(k_VerticesPerQuad);
}

void ScreenMask::Create(IDirect3DDevice9* device, float left, float top, float right, float bottom, bool absolute) {
    mr_Absolute = absolute;
    mr_Left = left;
    mr_Top = top;
    mr_Right = right;
    mr_Bottom = bottom;
    SetTexCoords(0.0f, 0.0f, 1.0f, 1.0f, 0);

    if (!mr_BatchedOnly) mr_Buffers.Create(device, static_cast<UINT>(mr_Vertices.size()));

    Update(device);
}

void ScreenMask::SetPosition(float left, float top) {
    mr_Left = left;
    mr_Top = top;
    mr_Dirty = true;
}

void ScreenMask::SetExtent(float right, float bottom) {
    mr_Right = right;
    mr_Bottom = bottom;
    mr_Dirty = true;
}

void ScreenMask::SetPixelOffset(bool on) {
    mr_PixelOffset = on;
    mr_Dirty = true;
}

void ScreenMask::SetDepth(float z) { mr_Depth = z; }

void ScreenMask::SetTexCoords(float uMin, float vMin, float uMax, float vMax, int set) {
    // Corner order: top-left, top-right, bottom-right, bottom-left.
    const float lr_U[4] = {uMin, uMax, uMax, uMin};
    const float lr_V[4] = {vMin, vMin, vMax, vMax};
    for (size_t lr_Index = 0; lr_Index < mr_Vertices.size(); ++lr_Index) {
        ScreenMaskVertex& lr_Vertex = mr_Vertices[lr_Index];
        const size_t lr_Corner = lr_Index % k_VerticesPerQuad;
        if (set == 0) {
            lr_Vertex.tu0 = lr_U[lr_Corner];
            lr_Vertex.tv0 = lr_V[lr_Corner];
        } else if (set == 1) {
            lr_Vertex.tu1 = lr_U[lr_Corner];
            lr_Vertex.tv1 = lr_V[lr_Corner];
        }
    }
    mr_Dirty = true;
}

void ScreenMask::SetTexelTexCoords(int x, int y, int width, int height, int set) {
    const float lr_UMin = static_cast<float>(x) / static_cast<float>(width);
    const float lr_UMax = lr_UMin + 1.0f / static_cast<float>(width);
    const float lr_VMin = static_cast<float>(y) / static_cast<float>(height);
    const float lr_VMax = lr_VMin + 1.0f / static_cast<float>(height);
    SetTexCoords(lr_UMin, lr_VMin, lr_UMax, lr_VMax, set);
}

void ScreenMask::Update(IDirect3DDevice9* device) {
    const float lr_Offset = mr_PixelOffset ? 0.5f : 0.0f;
    float lr_Left, lr_Top, lr_Right, lr_Bottom;
    if (mr_Absolute) {
        lr_Left = mr_Left;
        lr_Top = mr_Top;
        lr_Right = mr_Right;
        lr_Bottom = mr_Bottom;
    } else {
        D3DVIEWPORT9 Mode = {};
        if (FAILED(device->GetViewport(&Mode))) {
            // A pure device keeps no state to read back: the whole render target.
            IDirect3DSurface9* lr_Target_ = nullptr;
            D3DSURFACE_DESC lr_Desc = {};
            if (SUCCEEDED(device->GetRenderTarget(0, &lr_Target_)) && lr_Target_ &&
                SUCCEEDED(lr_Target_->GetDesc(&lr_Desc))) {
                Mode.Width = lr_Desc.Width;
                Mode.Height = lr_Desc.Height;
            }
            if (lr_Target_) lr_Target_->Release();
        }
        const float lr_Width = static_cast<float>(Mode.Width);
        const float lr_Height = static_cast<float>(Mode.Height);
        // Pre-transformed positions are in render-target pixels: the viewport may start inside it.
        lr_Left = static_cast<float>(Mode.X) + lr_Width * mr_Left;
        lr_Top = static_cast<float>(Mode.Y) + lr_Height * mr_Top;
        lr_Right = lr_Left + lr_Width * mr_Right;
        lr_Bottom = lr_Top + lr_Height * mr_Bottom;
    }
    const float lr_X[4] = {lr_Left, lr_Right, lr_Right, lr_Left};
    const float lr_Y[4] = {lr_Top, lr_Top, lr_Bottom, lr_Bottom};
    for (size_t lr_Index = 0; lr_Index < mr_Vertices.size(); ++lr_Index) {
        ScreenMaskVertex& lr_Vertex = mr_Vertices[lr_Index];
        const size_t lr_Corner = lr_Index % k_VerticesPerQuad;
        lr_Vertex.x = lr_X[lr_Corner] - lr_Offset;
        lr_Vertex.y = lr_Y[lr_Corner] - lr_Offset;
        lr_Vertex.z = mr_Depth;
    }

    // A failed upload stays dirty so that the next Bind uploads again.
    if (!mr_BatchedOnly && mr_Buffers.VertexBuffer() &&
        !mr_Buffers.Upload(mr_Vertices.data(), static_cast<UINT>(mr_Vertices.size())))
        return;
    mr_Dirty = false;
}

std::vector<ScreenMask::ScreenMaskVertex> ScreenMask::GetVertices() const { return mr_Vertices; }

void ScreenMask::Bind(IDirect3DDevice9* device) {
    if (mr_Dirty) {
        Update(device);
    }
    if (mr_BatchedOnly || !mr_Buffers.HasBuffers()) {
        return;
    }
    mr_Buffers.Bind(device);
}

void ScreenMask::Draw(IDirect3DDevice9* device) {
    // A missing or never-filled buffer holds nothing worth drawing.
    if (mr_BatchedOnly) return;
    mr_Buffers.Draw(device, static_cast<UINT>(mr_Vertices.size()));
}
