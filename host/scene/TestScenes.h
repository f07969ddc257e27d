// Scenes of other characters and scales than the demo's room, each with two
// views and the occlusion radius a user would type for it (and the
// reference is traced at): the quality rows and the demo's sheet use them.
#pragma once

#include "AnalyticScene.h"
#include "SceneCamera.h"

#include <string>
#include <vector>

struct TestScene {
    std::string Name;  // short, usable in file names
    AnalyticScene Scene;
    SceneCamera Views[2];
    double Radius = 2.3;  // AO_RADIUS, in the scene's units
};

// The demo's room first, then an outdoor scene, a close-up of a table, a
// street at ten times the room's scale and a railing and chair of thin parts.
const std::vector<TestScene>& TestScenes();
