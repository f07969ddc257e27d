// An 8-bit RGB picture of a pass, and the conversions from what the software
// device reads back.
#pragma once

#include <cstdint>
#include <vector>

struct Picture {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Rgb;  // R,G,B per pixel, rows top to bottom, no padding
};

Picture MakePicture(int w, int h, uint8_t r, uint8_t g, uint8_t b);
// values01 holds w*h values, clamped to 0..1; too few values give an empty picture.
Picture PictureFromGrey(int w, int h, const std::vector<float>& values01);
// The B,G,R,X bytes of an X8R8G8B8 or A8R8G8B8 surface, rows packed; too few
// bytes give an empty picture.
Picture PictureFromBgrx(int w, int h, const std::vector<uint8_t>& bgrx);
// Area average where it shrinks, nearest pixel where it grows, each axis apart.
Picture ScalePicture(const Picture& picture, int w, int h);
