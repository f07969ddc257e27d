// The software device's records as the demo prints them: the objects alive,
// what a step created and released, and a frame's draws and copies.
#pragma once

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <string>
#include <vector>

// The objects the host's code holds (the device's own implicit ones left out).
struct LiveObjects {
    std::vector<SoftLiveObject> Objects;
};

LiveObjects TakeLiveObjects(ISoftDeviceControl* control);
// "3 texture 1280x720 ..., 1 state block"
std::string GroupObjects(const std::vector<SoftLiveObject>& objects);
// "created ...; released ... (n alive)"
std::string DescribeChange(const LiveObjects& before, const LiveObjects& after);
// "4 draws [RenderBlack 2 tri, ...], 3 copies"
std::string DescribeRecords(ISoftDeviceControl* control);
