// What the host draws before it hands the frame to the plug-in: a cleared
// target and overlapping triangles at different depths, drawn with a host
// state that differs from the device defaults, so that a plug-in that does
// not restore the state is caught.
#pragma once

#include <d3d9.h>

class HostScene {
public:
    // Creates the host's own texture bound at stage 0 (managed, so it
    // survives resets). Returns false when it cannot be made.
    bool Create(IDirect3DDevice9* device);
    void Release();

    // The host's state; `inset` shrinks the viewport by that many pixels on
    // each side of the current render target.
    void ApplyState(IDirect3DDevice9* device, UINT targetWidth, UINT targetHeight, UINT inset);
    // Clears colour and depth, then draws the triangles (inside a scene).
    void Draw(IDirect3DDevice9* device, UINT targetWidth, UINT targetHeight, D3DCOLOR clearColour);

private:
    IDirect3DTexture9* mr_Texture_ = nullptr;
};
