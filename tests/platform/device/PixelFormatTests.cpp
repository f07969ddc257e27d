// Pixel formats as RGBA floats and depth values, and back.
#include "pipeline/SoftFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct FormatCase {
    D3DFORMAT Format;
    std::vector<BYTE> Bytes;  // one pixel, little-endian
    float Rgba[4];
};

// Channels worked out from the bit layouts by hand; X bits set so that the
// pixel re-encodes to the same bytes.
const float k_Inf = std::numeric_limits<float>::infinity();
const FormatCase k_Cases[] = {
    {D3DFMT_A8R8G8B8, {0x33, 0x66, 0x99, 0xCC}, {0.6f, 0.4f, 0.2f, 0.8f}},
    {D3DFMT_X8R8G8B8, {0x33, 0x66, 0x99, 0xFF}, {0.6f, 0.4f, 0.2f, 1.0f}},
    {D3DFMT_A8B8G8R8, {0x99, 0x66, 0x33, 0xCC}, {0.6f, 0.4f, 0.2f, 0.8f}},
    {D3DFMT_X8B8G8R8, {0x99, 0x66, 0x33, 0xFF}, {0.6f, 0.4f, 0.2f, 1.0f}},
    // r 16, g 32, b 1: 0x8401
    {D3DFMT_R5G6B5, {0x01, 0x84}, {16.0f / 31, 32.0f / 63, 1.0f / 31, 1.0f}},
    // r 1, g 2, b 3: 0x0443 (+ X or A bit)
    {D3DFMT_X1R5G5B5, {0x43, 0x84}, {1.0f / 31, 2.0f / 31, 3.0f / 31, 1.0f}},
    {D3DFMT_A1R5G5B5, {0x43, 0x04}, {1.0f / 31, 2.0f / 31, 3.0f / 31, 0.0f}},
    {D3DFMT_A1R5G5B5, {0x43, 0x84}, {1.0f / 31, 2.0f / 31, 3.0f / 31, 1.0f}},
    // a 1, r 1023, g 512, b 0: 0x7FF80000
    {D3DFMT_A2R10G10B10, {0x00, 0x00, 0xF8, 0x7F}, {1.0f, 512.0f / 1023, 0.0f, 1.0f / 3}},
    // a 2, b 1023, g 0, r 1: 0xBFF00001
    {D3DFMT_A2B10G10R10, {0x01, 0x00, 0xF0, 0xBF}, {1.0f / 1023, 0.0f, 1.0f, 2.0f / 3}},
    {D3DFMT_A8, {0x80}, {0.0f, 0.0f, 0.0f, 128.0f / 255}},
    {D3DFMT_L8, {0x40}, {64.0f / 255, 64.0f / 255, 64.0f / 255, 1.0f}},
    {D3DFMT_A8L8, {0x40, 0xC0}, {64.0f / 255, 64.0f / 255, 64.0f / 255, 192.0f / 255}},
    {D3DFMT_G16R16, {0xFF, 0xFF, 0x00, 0x80}, {1.0f, 32768.0f / 65535, 1.0f, 1.0f}},
    {D3DFMT_A16B16G16R16, {0x00, 0x00, 0xFF, 0xFF, 0x01, 0x01, 0x00, 0x80}, {0.0f, 1.0f, 1.0f / 255, 32768.0f / 65535}},
    // Halves 0x3800 = 0.5, 0xC000 = -2, 0x3400 = 0.25, 0x4200 = 3, 0x7C00 = infinity.
    {D3DFMT_R16F, {0x00, 0x38}, {0.5f, 1.0f, 1.0f, 1.0f}},
    {D3DFMT_G16R16F, {0x00, 0xC0, 0x00, 0x34}, {-2.0f, 0.25f, 1.0f, 1.0f}},
    {D3DFMT_A16B16G16R16F, {0x00, 0x3C, 0x00, 0x40, 0x00, 0x42, 0x00, 0x7C}, {1.0f, 2.0f, 3.0f, k_Inf}},
    // 0.25f = 0x3E800000, -2 = 0xC0000000, 3.5 = 0x40600000.
    {D3DFMT_R32F, {0x00, 0x00, 0x80, 0x3E}, {0.25f, 1.0f, 1.0f, 1.0f}},
    {D3DFMT_G32R32F, {0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x60, 0x40}, {-2.0f, 3.5f, 1.0f, 1.0f}},
    {D3DFMT_A32B32G32R32F,
     {0x00, 0x00, 0x80, 0x3E, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x60, 0x40, 0x00, 0x00, 0x80, 0x3E},
     {0.25f, -2.0f, 3.5f, 0.25f}},
};

std::vector<BYTE> Encode(D3DFORMAT format, float r, float g, float b, float a) {
    const float lr_Rgba[4] = {r, g, b, a};
    std::vector<BYTE> lr_Pixel(16, 0);
    EXPECT_TRUE(SoftEncodePixel(format, lr_Rgba, lr_Pixel.data()));
    lr_Pixel.resize(SoftGetPixelCodec(format).BytesPerPixel);
    return lr_Pixel;
}

WORD Word(const std::vector<BYTE>& pixel) { return static_cast<WORD>(pixel[0] | (pixel[1] << 8)); }

DWORD Dword(const BYTE* pixel) {
    DWORD lr_Value;
    std::memcpy(&lr_Value, pixel, 4);
    return lr_Value;
}

}  // namespace

TEST(PixelFormatTests, EveryFormatDecodesWithDefaultsAndEncodesBack) {
    for (const FormatCase& lr_Case : k_Cases) {
        SCOPED_TRACE(testing::Message() << "format " << lr_Case.Format << " alpha " << lr_Case.Rgba[3]);
        ASSERT_EQ(SoftGetPixelCodec(lr_Case.Format).BytesPerPixel, lr_Case.Bytes.size());
        float lr_Rgba[4];
        ASSERT_TRUE(SoftDecodePixel(lr_Case.Format, lr_Case.Bytes.data(), lr_Rgba));
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(lr_Rgba[c], lr_Case.Rgba[c]) << "channel " << c;
        EXPECT_EQ(Encode(lr_Case.Format, lr_Rgba[0], lr_Rgba[1], lr_Rgba[2], lr_Rgba[3]), lr_Case.Bytes);
    }
}

TEST(PixelFormatTests, UnusedBitsReadAsDefaultsAndMissingChannelsAreDropped) {
    float lr_Rgba[4];
    const BYTE lr_Xrgb[4] = {0x10, 0x20, 0x30, 0x00};  // the X byte is not alpha
    ASSERT_TRUE(SoftDecodePixel(D3DFMT_X8R8G8B8, lr_Xrgb, lr_Rgba));
    EXPECT_EQ(lr_Rgba[3], 1.0f);
    EXPECT_EQ(Encode(D3DFMT_A8, 1.0f, 1.0f, 1.0f, 0.2f), std::vector<BYTE>{51});
    EXPECT_EQ(Encode(D3DFMT_R16F, -1.0f, 5.0f, 5.0f, 5.0f), (std::vector<BYTE>{0x00, 0xBC}));
    EXPECT_FALSE(SoftDecodePixel(D3DFMT_DXT1, lr_Xrgb, lr_Rgba));
    EXPECT_EQ(SoftGetPixelCodec(D3DFMT_V8U8).Encode, nullptr);
}

TEST(PixelFormatTests, UnormRoundsToTheNearestStepAndClamps) {
    // A hundredth of a step either side of each half step, at 8, 5, 10 and 16 bits.
    for (int k : {0, 1, 127, 254}) {
        EXPECT_EQ(Encode(D3DFMT_A8, 0, 0, 0, (k + 0.49f) / 255)[0], k);
        EXPECT_EQ(Encode(D3DFMT_A8, 0, 0, 0, (k + 0.51f) / 255)[0], k + 1);
        EXPECT_EQ(Encode(D3DFMT_L8, k / 255.0f, 0, 0, 0)[0], k);
    }
    EXPECT_EQ(Word(Encode(D3DFMT_R5G6B5, 15.49f / 31, 40.51f / 63, 0, 0)), (15u << 11) | (41u << 5));
    EXPECT_EQ(Dword(Encode(D3DFMT_A2R10G10B10, 0, 0, 511.49f / 1023, 0).data()), 511u);
    EXPECT_EQ(Dword(Encode(D3DFMT_G16R16, 1000.51f / 65535, 1000.49f / 65535, 0, 0).data()), (1000u << 16) | 1001u);
    const float lr_NaN = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(Encode(D3DFMT_A8R8G8B8, -0.5f, 1.5f, lr_NaN, k_Inf), (std::vector<BYTE>{0x00, 0xFF, 0x00, 0xFF}));
    // Products that round to a half step go to the even one: 178.5 and 229.5.
    EXPECT_EQ(Encode(D3DFMT_A8, 0, 0, 0, 1.0f - 3.0f * 0.1f)[0], 178);
    EXPECT_EQ(Encode(D3DFMT_A8, 0, 0, 0, 0.9f)[0], 230);
}

TEST(PixelFormatTests, HalfFloatsRoundToNearestEven) {
    const float lr_Ulp = std::ldexp(1.0f, -11);             // half of a half's step at 1
    EXPECT_EQ(SoftFloatToHalf(1.0f + lr_Ulp), 0x3C00);      // tie to the even 0x3C00
    EXPECT_EQ(SoftFloatToHalf(1.0f + 3 * lr_Ulp), 0x3C02);  // tie to the even 0x3C02
    EXPECT_EQ(SoftFloatToHalf(1.0f + lr_Ulp + std::ldexp(1.0f, -20)), 0x3C01);
    EXPECT_EQ(SoftFloatToHalf(65519.0f), 0x7BFF);  // 65504 is the largest half; 65520 ties to infinity
    EXPECT_EQ(SoftFloatToHalf(65520.0f), 0x7C00);
    EXPECT_EQ(SoftFloatToHalf(-1e10f), 0xFC00);
    EXPECT_EQ(SoftFloatToHalf(std::ldexp(1.0f, -25)), 0x0000);  // subnormals count in 2^-24
    EXPECT_EQ(SoftFloatToHalf(3 * std::ldexp(1.0f, -25)), 0x0002);
    EXPECT_EQ(SoftHalfToFloat(0x03FF), 1023 * std::ldexp(1.0f, -24));
    EXPECT_EQ(SoftHalfToFloat(0xFC00), -k_Inf);
    EXPECT_TRUE(std::isnan(SoftHalfToFloat(0x7E00)));
    // 0.1 = 1.6 * 2^-4: mantissa 0x266.66 rounds down; G16R16F keeps red in the low word.
    std::vector<BYTE> lr_Pixel = Encode(D3DFMT_G16R16F, 1.0f + lr_Ulp, 0.1f, 0, 0);
    EXPECT_EQ(lr_Pixel, (std::vector<BYTE>{0x00, 0x3C, 0x66, 0x2E}));
}

TEST(PixelFormatTests, DepthKeepsTheFormatsPrecisionAndTheStencil) {
    BYTE lr_Pixel[4] = {0xAB, 0x00, 0x00, 0x00};
    float lr_Depth = -1.0f;
    // 24 bits above the stencil byte: 0.5 * (2^24 - 1) rounds up to 0x800000.
    ASSERT_TRUE(SoftEncodeDepth(D3DFMT_D24S8, 0.5f, lr_Pixel));
    EXPECT_EQ(Dword(lr_Pixel), 0x800000ABu);
    ASSERT_TRUE(SoftDecodeDepth(D3DFMT_D24S8, lr_Pixel, &lr_Depth));
    EXPECT_FLOAT_EQ(lr_Depth, static_cast<float>(8388608.0 / 16777215.0));
    ASSERT_TRUE(SoftEncodeDepth(D3DFMT_D24X8, 1.5f, lr_Pixel));  // clamped
    EXPECT_EQ(Dword(lr_Pixel), 0xFFFFFFABu);
    ASSERT_TRUE(SoftEncodeDepth(D3DFMT_D16, 0.5f, lr_Pixel));
    EXPECT_EQ(lr_Pixel[0] | (lr_Pixel[1] << 8), 0x8000);
    ASSERT_TRUE(SoftDecodeDepth(D3DFMT_D16, lr_Pixel, &lr_Depth));
    EXPECT_FLOAT_EQ(lr_Depth, 32768.0f / 65535);
    ASSERT_TRUE(SoftEncodeDepth(D3DFMT_D32F_LOCKABLE, 0.3f, lr_Pixel));
    ASSERT_TRUE(SoftDecodeDepth(D3DFMT_D32F_LOCKABLE, lr_Pixel, &lr_Depth));
    EXPECT_EQ(lr_Depth, 0.3f);
    // D24FS8: the float's top 24 bits (0.75 = 0x3F400000) above the stencil byte.
    lr_Pixel[0] = 0x5A;
    ASSERT_TRUE(SoftEncodeDepth(D3DFMT_D24FS8, 0.75f, lr_Pixel));
    EXPECT_EQ(Dword(lr_Pixel), 0x3F40005Au);
    EXPECT_FALSE(SoftEncodeDepth(D3DFMT_A8R8G8B8, 0.5f, lr_Pixel));
}
