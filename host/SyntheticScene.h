// A scene a host might have rendered: a floor receding to the horizon under
// a sky, and a few boxes standing on it at different depths. Written
// straight into the back buffer and the depth buffer.
#pragma once

#include <d3d9.h>
#include <soft/SoftDeviceControl.h>

#include <string>
#include <vector>

class SyntheticScene {
public:
    // Depths lie in the band the plug-in's depth slices cover (close to the
    // far plane), so every slice finds something in front of or behind it.
    static float FloorDepth(float rowFraction);

    // Fills both surfaces; frame moves the boxes a little. False with the
    // reason when the device refuses the pixels.
    bool Write(ISoftDeviceControl* control, IDirect3DSurface9* backBuffer, IDirect3DSurface9* depthBuffer, int frame,
               std::string& error);

private:
    struct Box {
        float Left, Top, Right, Bottom;  // fractions of the screen
        float Depth;
        unsigned Colour;  // 0xRRGGBB
    };
    std::vector<BYTE> mr_Colour;
    std::vector<BYTE> mr_Depth;
};

// Writes a 32-bit BGRX surface image as a 24-bit BMP. False on I/O failure.
bool SaveBmp(const std::string& path, const std::vector<BYTE>& pixels, UINT width, UINT height, UINT bytesPerPixel);
