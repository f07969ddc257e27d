#include "BatchScreenMask.h"

BatchScreenMask::BatchScreenMask(IDirect3DDevice9* device, int capacity)
    : mr_Capacity(capacity < 0 || capacity > k_MaxCapacity ? 0 : capacity) {
    mr_Vertices.reserve(static_cast<size_t>(mr_Capacity));
    mr_Buffers.Create(device, static_cast<UINT>(mr_Capacity));
}

void BatchScreenMask::AddMask(ScreenMask* mask, IDirect3DDevice9* /*device*/, bool clear, bool upload) {
    if (clear) {
        mr_Vertices.clear();
    }
    if (mask) {
        // Read in place: a copy per slice would allocate on every layout.
        const std::vector<ScreenMask::ScreenMaskVertex>& addvertex = mask->Vertices();
        for (const ScreenMask::ScreenMaskVertex& lr_Vertex : addvertex) {
            if (mr_Vertices.size() >= static_cast<size_t>(mr_Capacity)) {
                break;
            }
            mr_Vertices.push_back(lr_Vertex);
        }
    }
    if (upload) {
        Upload();
    }
}

// A failed upload is not drawn; the next Bind retries it.
void BatchScreenMask::Upload() { mr_Buffers.Upload(mr_Vertices.data(), static_cast<UINT>(mr_Vertices.size())); }

void BatchScreenMask::Bind(IDirect3DDevice9* device) {
    if (mr_Vertices.empty() || !mr_Buffers.HasBuffers()) {
        return;
    }
    if (!mr_Buffers.VerticesReady()) {
        Upload();
    }
    mr_Buffers.Bind(device);
}

void BatchScreenMask::Draw(IDirect3DDevice9* device) {
    if (mr_Vertices.empty()) {
        return;
    }
    mr_Buffers.Draw(device, static_cast<UINT>(mr_Vertices.size()));
}
