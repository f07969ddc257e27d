#include "Picture.h"

#include <cmath>

namespace {

bool ValidSize(int w, int h) { return w > 0 && h > 0; }

size_t PixelCount(int w, int h) { return static_cast<size_t>(w) * static_cast<size_t>(h); }

// The source span [first, last) that destination index i covers.
void SourceSpan(int i, int source, int dest, int& first, int& last) {
    first = static_cast<int>(static_cast<int64_t>(i) * source / dest);
    last = static_cast<int>((static_cast<int64_t>(i) + 1) * source / dest);
    if (last <= first) last = first + 1;  // growing: the nearest pixel alone
}

}  // namespace

Picture MakePicture(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    Picture lr_Picture;
    if (!ValidSize(w, h)) return lr_Picture;
    lr_Picture.Width = w;
    lr_Picture.Height = h;
    lr_Picture.Rgb.resize(PixelCount(w, h) * 3);
    for (size_t i = 0; i < lr_Picture.Rgb.size(); i += 3) {
        lr_Picture.Rgb[i] = r;
        lr_Picture.Rgb[i + 1] = g;
        lr_Picture.Rgb[i + 2] = b;
    }
    return lr_Picture;
}

Picture PictureFromGrey(int w, int h, const std::vector<float>& values01) {
    Picture lr_Picture;
    if (!ValidSize(w, h) || values01.size() < PixelCount(w, h)) return lr_Picture;
    lr_Picture = MakePicture(w, h, 0, 0, 0);
    for (size_t i = 0; i < PixelCount(w, h); ++i) {
        const float lr_Value = values01[i];
        // NaN fails both comparisons and ends up black.
        const float lr_Clamped = lr_Value > 1.0f ? 1.0f : (lr_Value > 0.0f ? lr_Value : 0.0f);
        const uint8_t lr_Byte = static_cast<uint8_t>(std::lround(lr_Clamped * 255.0f));
        lr_Picture.Rgb[i * 3] = lr_Picture.Rgb[i * 3 + 1] = lr_Picture.Rgb[i * 3 + 2] = lr_Byte;
    }
    return lr_Picture;
}

Picture PictureFromBgrx(int w, int h, const std::vector<uint8_t>& bgrx) {
    Picture lr_Picture;
    if (!ValidSize(w, h) || bgrx.size() < PixelCount(w, h) * 4) return lr_Picture;
    lr_Picture = MakePicture(w, h, 0, 0, 0);
    for (size_t i = 0; i < PixelCount(w, h); ++i) {
        lr_Picture.Rgb[i * 3] = bgrx[i * 4 + 2];
        lr_Picture.Rgb[i * 3 + 1] = bgrx[i * 4 + 1];
        lr_Picture.Rgb[i * 3 + 2] = bgrx[i * 4];
    }
    return lr_Picture;
}

Picture ScalePicture(const Picture& picture, int w, int h) {
    if (!ValidSize(w, h)) return Picture();
    if (!ValidSize(picture.Width, picture.Height) || picture.Rgb.size() < PixelCount(picture.Width, picture.Height) * 3)
        return MakePicture(w, h, 0, 0, 0);
    Picture lr_Scaled = MakePicture(w, h, 0, 0, 0);
    for (int y = 0; y < h; ++y) {
        int lr_Y0, lr_Y1;
        SourceSpan(y, picture.Height, h, lr_Y0, lr_Y1);
        for (int x = 0; x < w; ++x) {
            int lr_X0, lr_X1;
            SourceSpan(x, picture.Width, w, lr_X0, lr_X1);
            uint64_t lr_Sum[3] = {0, 0, 0};
            for (int sy = lr_Y0; sy < lr_Y1; ++sy)
                for (int sx = lr_X0; sx < lr_X1; ++sx)
                    for (int c = 0; c < 3; ++c) lr_Sum[c] += picture.Rgb[(PixelCount(picture.Width, sy) + sx) * 3 + c];
            const uint64_t lr_Count = static_cast<uint64_t>(lr_Y1 - lr_Y0) * static_cast<uint64_t>(lr_X1 - lr_X0);
            for (int c = 0; c < 3; ++c)
                lr_Scaled.Rgb[(PixelCount(w, y) + x) * 3 + c] =
                    static_cast<uint8_t>((lr_Sum[c] + lr_Count / 2) / lr_Count);
        }
    }
    return lr_Scaled;
}
