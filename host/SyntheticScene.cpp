#include "SyntheticScene.h"

#include <algorithm>
#include <cstdint>
#include <fstream>

namespace {

const float kHorizon = 0.45f;  // fraction of the height where the floor starts

void PutColour(std::vector<BYTE>& pixels, size_t index, UINT bytesPerPixel, unsigned rgb) {
    BYTE* lr_Pixel = &pixels[index * bytesPerPixel];
    lr_Pixel[0] = static_cast<BYTE>(rgb & 0xFF);          // B
    lr_Pixel[1] = static_cast<BYTE>((rgb >> 8) & 0xFF);   // G
    lr_Pixel[2] = static_cast<BYTE>((rgb >> 16) & 0xFF);  // R
    lr_Pixel[3] = 0xFF;
}

void PutDepth(std::vector<BYTE>& pixels, size_t index, D3DFORMAT format, float depth) {
    depth = std::min(1.0f, std::max(0.0f, depth));
    if (format == D3DFMT_D16) {
        const uint16_t lr_Value = static_cast<uint16_t>(depth * 65535.0f + 0.5f);
        pixels[index * 2] = static_cast<BYTE>(lr_Value & 0xFF);
        pixels[index * 2 + 1] = static_cast<BYTE>(lr_Value >> 8);
        return;
    }
    // D24S8 / D24X8: depth in the upper 24 bits, stencil (0) in the lowest byte.
    const uint32_t lr_Value = static_cast<uint32_t>(static_cast<double>(depth) * 16777215.0 + 0.5) << 8;
    for (int i = 0; i < 4; ++i) pixels[index * 4 + i] = static_cast<BYTE>(lr_Value >> (8 * i));
}

}  // namespace

float SyntheticScene::FloorDepth(float rowFraction) {
    // 1.0 at the horizon, 0.99993 at the bottom edge.
    const float lr_Along = (rowFraction - kHorizon) / (1.0f - kHorizon);
    return 1.0f - 0.00007f * lr_Along;
}

bool SyntheticScene::Write(ISoftDeviceControl* control, IDirect3DSurface9* backBuffer, IDirect3DSurface9* depthBuffer,
                           int frame, std::string& error) {
    D3DSURFACE_DESC lr_ColourDesc, lr_DepthDesc;
    if (FAILED(backBuffer->GetDesc(&lr_ColourDesc)) || FAILED(depthBuffer->GetDesc(&lr_DepthDesc))) {
        error = "cannot describe the back buffer or the depth buffer";
        return false;
    }
    const UINT lr_Width = lr_ColourDesc.Width, lr_Height = lr_ColourDesc.Height;
    const UINT lr_DepthBytes = lr_DepthDesc.Format == D3DFMT_D16 ? 2 : 4;
    mr_Colour.assign(static_cast<size_t>(lr_Width) * lr_Height * 4, 0);
    mr_Depth.assign(static_cast<size_t>(lr_DepthDesc.Width) * lr_DepthDesc.Height * lr_DepthBytes, 0);

    const float lr_Shift = 0.01f * static_cast<float>(frame % 5);
    const Box lr_Boxes[] = {
        {0.10f + lr_Shift, 0.30f, 0.30f + lr_Shift, 0.80f, 0.99994f, 0xB03030},
        {0.42f, 0.38f, 0.58f, 0.66f, 0.99997f, 0x30A040},
        {0.70f - lr_Shift, 0.42f, 0.80f - lr_Shift, 0.56f, 0.999985f, 0x3050C0},
    };

    for (UINT y = 0; y < lr_Height; ++y) {
        const float lr_V = (static_cast<float>(y) + 0.5f) / static_cast<float>(lr_Height);
        for (UINT x = 0; x < lr_Width; ++x) {
            const float lr_U = (static_cast<float>(x) + 0.5f) / static_cast<float>(lr_Width);
            unsigned lr_Rgb;
            float lr_Depth;
            if (lr_V < kHorizon) {
                const unsigned lr_Blue = 200 + static_cast<unsigned>(55.0f * lr_V / kHorizon);
                lr_Rgb = (120u << 16) | (170u << 8) | lr_Blue;
                lr_Depth = 1.0f;
            } else {
                // A checkered floor, so occlusion near the boxes is easy to see.
                const bool lr_Dark = ((static_cast<int>(lr_U * 16.0f) + static_cast<int>(lr_V * 24.0f)) & 1) != 0;
                lr_Rgb = lr_Dark ? 0x808070 : 0xC8C8B8;
                lr_Depth = FloorDepth(lr_V);
            }
            for (const Box& lr_Box : lr_Boxes)
                if (lr_U >= lr_Box.Left && lr_U < lr_Box.Right && lr_V >= lr_Box.Top && lr_V < lr_Box.Bottom &&
                    lr_Box.Depth <= lr_Depth) {
                    lr_Rgb = lr_Box.Colour;
                    lr_Depth = lr_Box.Depth;
                }
            const size_t lr_Index = static_cast<size_t>(y) * lr_Width + x;
            PutColour(mr_Colour, lr_Index, 4, lr_Rgb);
            if (x < lr_DepthDesc.Width && y < lr_DepthDesc.Height)
                PutDepth(mr_Depth, static_cast<size_t>(y) * lr_DepthDesc.Width + x, lr_DepthDesc.Format, lr_Depth);
        }
    }
    HRESULT hr = control->WritePixels(backBuffer, mr_Colour);
    if (FAILED(hr)) {
        error = "the device refused the back-buffer pixels";
        return false;
    }
    hr = control->WritePixels(depthBuffer, mr_Depth);
    if (FAILED(hr)) {
        error = "the device refused the depth-buffer pixels";
        return false;
    }
    return true;
}

bool SaveBmp(const std::string& path, const std::vector<BYTE>& pixels, UINT width, UINT height, UINT bytesPerPixel) {
    if (bytesPerPixel != 4 || pixels.size() < static_cast<size_t>(width) * height * 4) return false;
    const uint32_t lr_Row = (width * 3 + 3) & ~3u;
    const uint32_t lr_ImageSize = lr_Row * height;
    std::vector<BYTE> lr_File(54 + static_cast<size_t>(lr_ImageSize), 0);
    auto Put32 = [&lr_File](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) lr_File[at + i] = static_cast<BYTE>(value >> (8 * i));
    };
    lr_File[0] = 'B';
    lr_File[1] = 'M';
    Put32(2, static_cast<uint32_t>(lr_File.size()));
    Put32(10, 54);
    Put32(14, 40);
    Put32(18, width);
    Put32(22, height);
    lr_File[26] = 1;
    lr_File[28] = 24;
    Put32(34, lr_ImageSize);
    for (UINT y = 0; y < height; ++y) {
        const size_t lr_Dest = 54 + static_cast<size_t>(height - 1 - y) * lr_Row;  // bottom-up
        for (UINT x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                lr_File[lr_Dest + x * 3 + c] = pixels[(static_cast<size_t>(y) * width + x) * 4 + c];
    }
    std::ofstream lr_Out(path, std::ios::binary);
    lr_Out.write(reinterpret_cast<const char*>(lr_File.data()), static_cast<std::streamsize>(lr_File.size()));
    return static_cast<bool>(lr_Out);
}
