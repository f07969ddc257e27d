#include "Picture.h"

#include <gtest/gtest.h>

TEST(Picture, ConvertsDeviceBytesAndGreyValues) {
    const Picture lr_FromDevice = PictureFromBgrx(2, 1, {10, 20, 30, 99, 1, 2, 3, 0});
    ASSERT_EQ(lr_FromDevice.Width, 2);
    EXPECT_EQ(lr_FromDevice.Rgb, (std::vector<uint8_t>{30, 20, 10, 3, 2, 1}));
    EXPECT_EQ(PictureFromBgrx(2, 2, std::vector<uint8_t>(12)).Width, 0) << "too few bytes";

    const Picture lr_Grey = PictureFromGrey(4, 1, {-1.0f, 0.5f, 2.0f, 0.2f});
    EXPECT_EQ(lr_Grey.Rgb, (std::vector<uint8_t>{0, 0, 0, 128, 128, 128, 255, 255, 255, 51, 51, 51}));
}

TEST(Picture, ScalesByAreaDownAndNearestUp) {
    // Left column black, right column white, bottom right grey.
    Picture lr_Source = MakePicture(2, 2, 0, 0, 0);
    for (int c = 0; c < 3; ++c) {
        lr_Source.Rgb[3 + c] = 255;
        lr_Source.Rgb[9 + c] = 101;
    }
    const Picture lr_Down = ScalePicture(lr_Source, 1, 1);
    EXPECT_EQ(lr_Down.Rgb, (std::vector<uint8_t>{89, 89, 89}));  // (255 + 101) / 4

    const Picture lr_Up = ScalePicture(lr_Source, 4, 3);
    ASSERT_EQ(lr_Up.Rgb.size(), 4u * 3u * 3u);
    const auto Red = [&lr_Up](int x, int y) { return lr_Up.Rgb[(y * 4 + x) * 3]; };
    EXPECT_EQ(Red(1, 0), 0);
    EXPECT_EQ(Red(2, 0), 255);
    EXPECT_EQ(Red(3, 2), 101);
    EXPECT_EQ(Red(0, 2), 0);
}
