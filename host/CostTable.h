// What each pass of the last frame cost on the software device, from its
// draw records and the shaders' compiled code.
#pragma once

#include <soft/SoftDeviceControl.h>

#include <string>
#include <vector>

// One line a pass, then the frame's total.
std::vector<std::string> DescribeCost(ISoftDeviceControl* control);
