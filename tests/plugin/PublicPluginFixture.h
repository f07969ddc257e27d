// The plug-in as a host sees it: made, driven and deleted through its
// interface only, on the frame tests' data. What it did is read from the
// device's records and the log.
#pragma once

#include "FrameFixture.h"

#include "Plugin.h"

#include <cstring>

class PublicPluginFixture : public FrameFixture {
protected:
    void TearDown() override {
        Delete();
        FrameFixture::TearDown();
    }

    // Makes the plug-in, initialises it with the device and switches it on.
    IDirect3D9BasePlugin* Start(IDirect3DDevice9* device) {
        mr_Public_ = new k_Plugin(mr_Host.get());
        mr_Public_->Initialise(device);
        mr_Public_->SetActive(true);
        return mr_Public_;
    }
    // Deinitialises and deletes it, as a host does at the end.
    void Delete() {
        if (mr_Public_) mr_Public_->Deinitialise();
        delete mr_Public_;
        mr_Public_ = nullptr;
    }
    // One frame, with the records of the last one cleared.
    void Frame() {
        mr_Control_->ClearRecords();
        mr_Control_->ResetCallCounts();
        mr_Public_->Render();
    }
    UINT LiveObjects() const { return mr_Control_->CountLiveObjects(SoftObjectKind::Count, -1, false); }

    // Positions of the vertices a draw read, as (x, y) pairs.
    static std::vector<std::pair<float, float>> Corners(const SoftDrawRecord& draw) {
        std::vector<std::pair<float, float>> lr_Corners;
        for (size_t lr_At = 0; draw.Stride >= 8 && lr_At + draw.Stride <= draw.Vertices.size(); lr_At += draw.Stride) {
            float lr_XY[2];
            std::memcpy(lr_XY, &draw.Vertices[lr_At], sizeof(lr_XY));
            lr_Corners.emplace_back(lr_XY[0], lr_XY[1]);
        }
        return lr_Corners;
    }

    IDirect3D9BasePlugin* mr_Public_ = nullptr;
};
