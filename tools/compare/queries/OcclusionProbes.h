// Occlusion query counts against a known depth buffer, drawn the same way on
// any Direct3D 9 device, so that the software device's counts can be set
// beside a real one's. The depth buffer holds 0.2, 0.5 and the cleared 1 in
// three bands; each case counts one grid of 2x2-pixel pre-transformed probe
// quads at one depth with colour and depth writes off, by one query.
#pragma once

#include <d3d9.h>

#include <functional>
#include <string>

namespace OcclusionProbes {

const UINT k_Width = 64;
const UINT k_Height = 48;

// Draws every case on the device (within its own scene), in a D24S8 and a
// D16 depth buffer of its own, and reports each count by name ("D16
// lessequal 0.35"). `wait` runs between polls of a result not yet ready.
// False, with the error text, when a call fails or a result never comes;
// the device is left with its render target and depth buffer as they were.
bool Run(IDirect3DDevice9* device, const std::function<void()>& wait,
         const std::function<void(const std::string& name, DWORD count)>& report, std::string& error);

}  // namespace OcclusionProbes
