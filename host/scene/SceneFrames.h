// The frames both devices draw for the comparison of the shipped module on a
// real Direct3D 9 and D3DX with the software device: the demo's room from
// its view, handed to the plug-in with ShowAOOnly on, then off. The same
// code runs in the Windows host under Wine and on the software device.
#pragma once

#include "HostContract.h"
#include "SceneCamera.h"

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

struct SceneFrame {
    UINT Width = 0;
    UINT Height = 0;
    std::vector<std::uint32_t> Pixels;  // 0x00RRGGBB, row after row
};

struct SceneFrames {
    SceneFrame Scene;      // the host's scene, before the plug-in
    SceneFrame Occlusion;  // the back buffer after the plug-in with ShowAOOnly on
    SceneFrame Composite;  // the same with ShowAOOnly off
};

// Initialises and activates `plugin` on `device` (whose back buffer is
// X8R8G8B8 with a D24S8 depth buffer), draws the two frames, reads each back,
// then deactivates and deinitialises it. False with the failing step in `error`.
// `camera` is the host's (the demo's view by default); `depthNudge` is DrawScene's.
// `warmUpFrames` frames are drawn and presented first, unread: a plug-in that
// measures the host's depth over frames has settled by the captured ones.
bool RunSceneFrames(IDirect3DDevice9* device, IDirect3D9BasePlugin* plugin, SceneFrames& frames, std::string& error,
                    const SceneCamera& camera = SceneCamera::DemoView(), int depthNudge = 0, int warmUpFrames = 0);

// Binary PPM (P6), the pictures both sides exchange.
bool WriteFramePpm(const std::string& path, const SceneFrame& frame);
bool ReadFramePpm(const std::string& path, SceneFrame& frame);
