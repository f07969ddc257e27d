#include "PngWriter.h"

#include <png.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const std::string k_Dir = SSAO_PICTURE_TEST_DIR;

Picture Pattern(int w, int h) {
    Picture lr_Picture = MakePicture(w, h, 0, 0, 0);
    for (size_t i = 0; i < lr_Picture.Rgb.size(); ++i) lr_Picture.Rgb[i] = static_cast<uint8_t>(i * 37 + i / 5);
    return lr_Picture;
}

}  // namespace

TEST(PngFile, RoundTripKeepsEveryByteOfAnOddSize) {
    const Picture lr_Written = Pattern(7, 5);
    std::string ls_Error;
    ASSERT_TRUE(WritePng(k_Dir + "round_trip.png", lr_Written, ls_Error)) << ls_Error;
    Picture lr_Read;
    ASSERT_TRUE(ReadPng(k_Dir + "round_trip.png", lr_Read, ls_Error)) << ls_Error;
    EXPECT_EQ(lr_Read.Width, 7);
    EXPECT_EQ(lr_Read.Height, 5);
    EXPECT_EQ(lr_Read.Rgb, lr_Written.Rgb);
}

TEST(PngFile, ReadsGreyWithAlphaAsRgb) {
    // Written through libpng's own simple interface, not ours.
    png_image lr_Image = {};
    lr_Image.version = PNG_IMAGE_VERSION;
    lr_Image.width = 3;
    lr_Image.height = 1;
    lr_Image.format = PNG_FORMAT_GA;
    const uint8_t lr_Pixels[] = {0, 255, 77, 10, 200, 255};
    const std::string ls_Path = k_Dir + "grey_alpha.png";
    ASSERT_TRUE(png_image_write_to_file(&lr_Image, ls_Path.c_str(), 0, lr_Pixels, 0, nullptr)) << lr_Image.message;
    Picture lr_Read;
    std::string ls_Error;
    ASSERT_TRUE(ReadPng(ls_Path, lr_Read, ls_Error)) << ls_Error;
    EXPECT_EQ(lr_Read.Rgb, (std::vector<uint8_t>{0, 0, 0, 77, 77, 77, 200, 200, 200}));
}

TEST(PngFile, FailuresComeBackAsText) {
    std::string ls_Error;
    const std::string ls_Missing = k_Dir + "no_such_folder/x.png";
    EXPECT_FALSE(WritePng(ls_Missing, Pattern(3, 3), ls_Error));
    EXPECT_NE(ls_Error.find(ls_Missing), std::string::npos) << ls_Error;

    ls_Error.clear();
    EXPECT_FALSE(WritePng(k_Dir + "bad.png", Picture{4, 4, std::vector<uint8_t>(5)}, ls_Error));
    EXPECT_FALSE(ls_Error.empty());

    // A file cut in the middle of its image data fails inside libpng.
    const std::string ls_Whole = k_Dir + "whole.png", ls_Cut = k_Dir + "cut.png";
    ASSERT_TRUE(WritePng(ls_Whole, Pattern(64, 64), ls_Error)) << ls_Error;
    std::ifstream lr_In(ls_Whole, std::ios::binary);
    const std::string ls_Bytes((std::istreambuf_iterator<char>(lr_In)), std::istreambuf_iterator<char>());
    std::ofstream(ls_Cut, std::ios::binary) << ls_Bytes.substr(0, ls_Bytes.size() / 2);
    Picture lr_Read;
    ls_Error.clear();
    EXPECT_FALSE(ReadPng(ls_Cut, lr_Read, ls_Error));
    EXPECT_FALSE(ls_Error.empty());
    EXPECT_EQ(lr_Read.Width, 0);
    EXPECT_TRUE(lr_Read.Rgb.empty());

    ls_Error.clear();
    EXPECT_FALSE(ReadPng(k_Dir + "no_such_file.png", lr_Read, ls_Error));
    EXPECT_FALSE(ls_Error.empty());
}
