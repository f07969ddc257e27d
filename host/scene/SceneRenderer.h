// Draws the scene through the device as a game would: the camera's
// matrices, depth test and write into the device's depth buffer, one
// triangle list drawn in batches, over a cleared sky.
#pragma once

#include "SceneCamera.h"
#include "SceneMesh.h"

#include <d3d9.h>

#include <string>
#include <vector>

constexpr D3DCOLOR kSkyColour = D3DCOLOR_XRGB(150, 186, 222);

// False with the failing call in `error`. A `depthNudge` of n moves every
// screen depth by n float steps of the projection's depth scale (about 2n
// steps of a 24-bit depth buffer): which pixels that changes shows what
// depth precision alone decides.
bool DrawScene(IDirect3DDevice9* device, const SceneCamera& camera, const std::vector<SceneVertex>& mesh,
               std::string& error, int depthNudge = 0);
