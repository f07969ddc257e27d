// Command-line options of the demo host.
#pragma once

#include <d3d9.h>

#include <string>

struct DemoOptions {
    std::string ModulePath;  // empty: look next to the executable, then the build tree
    std::string DataPath;    // folder holding Plugins/SSAO
    std::string OutputPath = "./out/";
    UINT Width = 1280;
    UINT Height = 720;
    D3DFORMAT BackBufferFormat = D3DFMT_X8R8G8B8;
    D3DFORMAT DepthFormat = D3DFMT_D24S8;
    UINT ResizeWidth = 960;
    UINT ResizeHeight = 540;
    int FramesPerStep = 2;
    // The host's projection: 0 keeps the demo camera's own (near 0.0003,
    // far 80). Any of these makes the demo write a matching Settings.fxh into
    // a copy of the data folder under the output folder and run with it.
    double NearPlane = 0, FarPlane = 0;
    bool ReversedDepth = false;
    bool Help = false;

    bool SetsProjection() const { return NearPlane > 0 || FarPlane > 0 || ReversedDepth; }
};

// Parses argv; on a bad option returns false with the reason in error.
bool ParseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error);

std::string DemoUsage(const char* program);

// "X8R8G8B8" <-> D3DFMT_X8R8G8B8 for the formats the demo scene can draw.
bool ParseColourFormat(const std::string& name, D3DFORMAT& format);
bool ParseDepthFormat(const std::string& name, D3DFORMAT& format);
const char* FormatName(D3DFORMAT format);
