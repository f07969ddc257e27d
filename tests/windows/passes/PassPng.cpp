#include "PassPng.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

unsigned char Byte(float value) {
    return static_cast<unsigned char>(std::lround(std::clamp(std::isnan(value) ? 1.0f : value, 0.0f, 1.0f) * 255.0f));
}

bool WriteRgb(const std::string& path, UINT width, UINT height, const std::function<void(UINT, UINT, float*)>& pixel) {
    std::vector<unsigned char> lr_Bytes;
    lr_Bytes.reserve(static_cast<size_t>(width) * height * 3);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            float lr_Rgba[4];
            pixel(x, y, lr_Rgba);
            for (int c = 0; c < 3; ++c) lr_Bytes.push_back(Byte(lr_Rgba[c]));
        }
    png_image lr_Image = {};
    lr_Image.version = PNG_IMAGE_VERSION;
    lr_Image.width = width;
    lr_Image.height = height;
    lr_Image.format = PNG_FORMAT_RGB;
    const bool lr_Done = png_image_write_to_file(&lr_Image, path.c_str(), 0, lr_Bytes.data(), 0, nullptr) != 0;
    png_image_free(&lr_Image);
    return lr_Done;
}

}  // namespace

bool WritePassPng(const std::string& path, const PassImage& image) {
    return WriteRgb(path, image.Width, image.Height, [&](UINT x, UINT y, float* rgba) { image.Channels(x, y, rgba); });
}

bool WriteDifferencePng(const std::string& path, const PassImage& a, const PassImage& b) {
    if (a.Width != b.Width || a.Height != b.Height) return false;
    return WriteRgb(path, a.Width, a.Height, [&](UINT x, UINT y, float* rgba) {
        float lr_B[4];
        a.Channels(x, y, rgba);
        b.Channels(x, y, lr_B);
        for (int c = 0; c < 3; ++c) rgba[c] = 16.0f * std::fabs(rgba[c] - lr_B[c]);
    });
}
