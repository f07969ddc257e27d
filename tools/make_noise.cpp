// Writes the noise image of the effects: 64 x 64 texels, 24-bit BMP.
// - Red: RenderDepth.hlsl's dither, an 8 x 8 ordered-dither matrix: every
//   8 x 8 window holds each of its 64 offsets once, so that SSAO.hlsl's
//   prefilter, which spans 8 pixels, averages the dither out exactly on a
//   plane; the matrix tiles the image without a seam.
// - Green and blue: a 4 x 4 pattern repeated, each texel of a block with its
//   own index k (an ordered-dither matrix, so that neighbours differ most).
//   Green codes the first of SSAO.hlsl's walk directions, at angle
//   (k + 0.5) / 16 of the quarter turn, as a = sin / (sin + cos): the
//   direction is (1 - a, a) made unit length. Blue holds where the walk
//   starts, (m + 0.5) / 16 of a step, m another ordering of the same 16. A
//   5 x 5 mean of the term then covers every direction and start.
//
// The output is the same on every machine: plain arithmetic only (no
// trigonometric functions, whose last bits differ between C libraries).
//
// Usage: make_noise <output.bmp>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int k_Size = 64;

constexpr int k_Block = 4;
constexpr int k_Order[k_Block][k_Block] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
constexpr double k_EighthTurn = 0.78539816339744831;  // pi / 4

// The 8 x 8 ordered-dither (Bayer) index of (x, y): the bits of x ^ y and y,
// interleaved from the lowest, most significant first.
int DitherIndex(int x, int y) {
    int lr_Index = 0;
    for (int lr_Bit = 0; lr_Bit < 3; ++lr_Bit) {
        lr_Index = (lr_Index << 2) | ((((x ^ y) >> lr_Bit) & 1) << 1) | ((y >> lr_Bit) & 1);
    }
    return lr_Index;
}

// tan x for 0 <= x <= pi / 4, within 1e-4: a Pade approximant, plain arithmetic.
double Tangent(double x) { return x * (15.0 - x * x) / (15.0 - 6.0 * x * x); }

uint8_t Encode(double value01) {
    const double lr_Scaled = std::floor(value01 * 255.0 + 0.5);
    return static_cast<uint8_t>(lr_Scaled < 0 ? 0 : (lr_Scaled > 255 ? 255 : lr_Scaled));
}

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xffffu);
    PutU16(out, v >> 16);
}

std::vector<uint8_t> MakeNoiseBmp() {
    const uint32_t lr_RowBytes = k_Size * 3;  // already a multiple of 4
    const uint32_t lr_PixelBytes = lr_RowBytes * k_Size;
    std::vector<uint8_t> lr_Out;
    lr_Out.push_back('B');
    lr_Out.push_back('M');
    PutU32(lr_Out, 14 + 40 + lr_PixelBytes);
    PutU32(lr_Out, 0);
    PutU32(lr_Out, 14 + 40);
    PutU32(lr_Out, 40);
    PutU32(lr_Out, k_Size);
    PutU32(lr_Out, static_cast<uint32_t>(-k_Size));  // top-down
    PutU16(lr_Out, 1);
    PutU16(lr_Out, 24);
    PutU32(lr_Out, 0);  // BI_RGB
    PutU32(lr_Out, lr_PixelBytes);
    PutU32(lr_Out, 2835);  // 72 dpi
    PutU32(lr_Out, 2835);
    PutU32(lr_Out, 0);
    PutU32(lr_Out, 0);
    for (int y = 0; y < k_Size; ++y) {
        for (int x = 0; x < k_Size; ++x) {
            const int k = k_Order[y % k_Block][x % k_Block];
            // Angle (k + 0.5) / 16 of the quarter turn, from its half-angle tangent.
            const double t = Tangent(k_EighthTurn * (k + 0.5) / 16.0);
            const double lr_Cos = (1.0 - t * t) / (1.0 + t * t), lr_Sin = 2.0 * t / (1.0 + t * t);
            const int m = (5 * k + 7) % 16;
            const int d = DitherIndex(x % 8, y % 8);
            lr_Out.push_back(Encode((m + 0.5) / 16.0));            // blue
            lr_Out.push_back(Encode(lr_Sin / (lr_Sin + lr_Cos)));  // green
            lr_Out.push_back(Encode((d + 0.5) / 64.0));            // red
        }
    }
    return lr_Out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_noise <output.bmp>\n");
        return 2;
    }
    const std::vector<uint8_t> lr_Bytes = MakeNoiseBmp();
    std::FILE* lr_File = std::fopen(argv[1], "wb");
    if (!lr_File) {
        std::perror(argv[1]);
        return 1;
    }
    const bool lr_Written = std::fwrite(lr_Bytes.data(), 1, lr_Bytes.size(), lr_File) == lr_Bytes.size();
    const bool lr_Closed = std::fclose(lr_File) == 0;
    if (!lr_Written || !lr_Closed) {
        std::fprintf(stderr, "make_noise: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
