#include "PictureSheet.h"
#include "PngWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

struct Box {
    int X0 = 1 << 30, Y0 = 1 << 30, X1 = -1, Y1 = -1;  // X1, Y1 one past
    size_t Count = 0;
    int Width() const { return X1 - X0; }
    int Height() const { return Y1 - Y0; }
};

// Where a colour is on the sheet, and how many pixels have it.
Box Find(const Picture& sheet, uint8_t r, uint8_t g, uint8_t b) {
    Box lr_Box;
    for (int y = 0; y < sheet.Height; ++y)
        for (int x = 0; x < sheet.Width; ++x) {
            const uint8_t* p = &sheet.Rgb[(static_cast<size_t>(y) * sheet.Width + x) * 3];
            if (p[0] != r || p[1] != g || p[2] != b) continue;
            lr_Box = {std::min(lr_Box.X0, x), std::min(lr_Box.Y0, y), std::max(lr_Box.X1, x + 1),
                      std::max(lr_Box.Y1, y + 1), lr_Box.Count + 1};
        }
    return lr_Box;
}

// Label text is blended towards white over a dark background.
int LightPixels(const Picture& sheet, int x0, int y0, int x1, int y1) {
    int lr_Count = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, sheet.Height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, sheet.Width); ++x) {
            const uint8_t* p = &sheet.Rgb[(static_cast<size_t>(y) * sheet.Width + x) * 3];
            lr_Count += std::min({p[0], p[1], p[2]}) > 150;
        }
    return lr_Count;
}

std::vector<SheetTile> ThreeTiles() {
    return {{MakePicture(40, 20, 200, 30, 30), "Scene"},
            {MakePicture(40, 20, 30, 200, 30), "Occlusion"},
            {MakePicture(20, 20, 30, 30, 200), "Composite"}};
}

}  // namespace

TEST(PictureSheet, LaysOutScaledTilesInRows) {
    std::string ls_Error;
    const Picture lr_Sheet = MakeSheet(ThreeTiles(), 2, 80, ls_Error);
    ASSERT_GT(lr_Sheet.Width, 0);
    const Box lr_Red = Find(lr_Sheet, 200, 30, 30), lr_Green = Find(lr_Sheet, 30, 200, 30),
              lr_Blue = Find(lr_Sheet, 30, 30, 200);
    // Each tile whole, at the tile width, its aspect kept.
    EXPECT_EQ(lr_Red.Width(), 80);
    EXPECT_EQ(lr_Red.Height(), 40);
    EXPECT_EQ(lr_Red.Count, 80u * 40u);
    EXPECT_EQ(lr_Green.Count, 80u * 40u);
    EXPECT_EQ(lr_Blue.Width(), 80);
    EXPECT_EQ(lr_Blue.Height(), 80);
    EXPECT_EQ(lr_Blue.Count, 80u * 80u);
    // Two in the first row, the third under the first, room for labels between.
    EXPECT_EQ(lr_Green.Y0, lr_Red.Y0);
    EXPECT_GT(lr_Green.X0, lr_Red.X1);
    EXPECT_EQ(lr_Blue.X0, lr_Red.X0);
    EXPECT_GT(lr_Blue.Y0, lr_Red.Y1 + 10);
    EXPECT_LE(lr_Green.X1, lr_Sheet.Width);
    EXPECT_LE(lr_Blue.Y1, lr_Sheet.Height);

    std::string ls_Bad;
    EXPECT_EQ(MakeSheet(ThreeTiles(), 0, 80, ls_Bad).Width, 0);
    EXPECT_FALSE(ls_Bad.empty());
}

TEST(PictureSheet, DrawsLabelsAndTitleOrSaysWhyNot) {
    if (SheetFontPath().empty()) GTEST_SKIP() << "no DejaVu Sans on this machine";
    std::string ls_Error;
    const Picture lr_Plain = MakeSheet(ThreeTiles(), 2, 80, ls_Error);
    EXPECT_TRUE(ls_Error.empty()) << ls_Error;
    const Box lr_Red = Find(lr_Plain, 200, 30, 30), lr_Blue = Find(lr_Plain, 30, 30, 200);
    EXPECT_GT(LightPixels(lr_Plain, lr_Red.X0, lr_Red.Y1, lr_Red.X1, lr_Blue.Y0), 20) << "label under tile 1";
    EXPECT_EQ(LightPixels(lr_Plain, 0, 0, lr_Plain.Width, lr_Red.Y0), 0) << "no title asked for";

    const Picture lr_Titled = MakeSheet(ThreeTiles(), 2, 80, ls_Error, "Passes");
    const Box lr_TitledRed = Find(lr_Titled, 200, 30, 30);
    EXPECT_GT(lr_TitledRed.Y0, lr_Red.Y0);
    EXPECT_GT(LightPixels(lr_Titled, 0, 0, lr_Titled.Width, lr_TitledRed.Y0), 20);

    SetSheetFont("/nonexistent/font.ttf");
    const Picture lr_Bare = MakeSheet(ThreeTiles(), 2, 80, ls_Error, "Passes");
    SetSheetFont("");
    EXPECT_NE(ls_Error.find("/nonexistent/font.ttf"), std::string::npos) << ls_Error;
    EXPECT_EQ(lr_Bare.Width, lr_Titled.Width);
    EXPECT_EQ(lr_Bare.Height, lr_Titled.Height);
    EXPECT_EQ(LightPixels(lr_Bare, 0, 0, lr_Bare.Width, lr_Bare.Height), 0);
}

// Not a check of looks: it writes the sample that a person looks at.
TEST(PictureSheet, WritesASampleSheet) {
    const auto Paint = [](std::function<float(float, float, int)> shade) {
        Picture lr_Picture = MakePicture(320, 200, 0, 0, 0);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x)
                for (int c = 0; c < 3; ++c) {
                    const float v = std::clamp(shade(x / 320.0f, y / 200.0f, c), 0.0f, 1.0f);
                    lr_Picture.Rgb[(y * 320 + x) * 3 + c] = static_cast<uint8_t>(v * 255.0f + 0.5f);
                }
        return lr_Picture;
    };
    // A floor and a ball, and an occlusion-like darkening near where they meet.
    const auto Occlusion = [](float u, float v) {
        const float d = std::hypot(u - 0.5f, (v - 0.72f) * 1.6f);
        return v > 0.6f ? std::clamp(0.35f + d * 2.2f, 0.0f, 1.0f) : 1.0f;
    };
    const auto Scene = [](float u, float v, int c) {
        const bool lr_Ball = std::hypot(u - 0.5f, (v - 0.45f) * 0.62f) < 0.16f;
        const float lr_Base = lr_Ball ? 0.85f - v * 0.5f : (v > 0.6f ? 0.55f + v * 0.3f : 0.25f + v * 0.4f);
        return lr_Base * (c == 0 ? 1.0f : c == 1 ? 0.85f : 0.7f);
    };
    const std::vector<SheetTile> lr_Tiles = {
        {Paint(Scene), "Scene"},
        {Paint([](float u, float v, int) { return std::floor((u * 0.3f + v) * 8.0f) / 8.0f; }), "Depth slices"},
        {Paint([&](float u, float v, int) { return Occlusion(u, v); }), "Occlusion (ShowAOOnly)"},
        {Paint([&](float u, float v, int c) { return Scene(u, v, c) * Occlusion(u, v); }), "Composite"},
        {Paint([&](float u, float v, int) { return Occlusion(u, v) * 0.9f + 0.1f; }), "Ray-traced reference"},
        {Picture(), "A pass that gave no picture, with a label far too long"}};
    std::string ls_Error;
    const Picture lr_Sheet = MakeSheet(lr_Tiles, 3, 256, ls_Error,
                                       "SSAO demo \xE2\x80\x94 passes at 320\xC3\x97"
                                       "200");
    ASSERT_TRUE(WritePng(std::string(SSAO_PICTURE_TEST_DIR) + "sheet_sample.png", lr_Sheet, ls_Error)) << ls_Error;
}
