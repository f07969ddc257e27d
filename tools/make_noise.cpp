// Writes the noise image of the occlusion pass: 64 x 64 texels, 24-bit BMP.
// Red and green hold a random unit vector in the screen plane (x, y mapped
// from -1..1 to 0..255), by which SSAO.hlsl rotates its sample offsets;
// blue holds a random scale (0..255 for 0..1) for the sample radius.
//
// The output is the same on every machine: a self-written PRNG with a fixed
// seed, vectors from rejection sampling (no trigonometry, whose last bits
// differ between C libraries) and correctly rounded square roots.
//
// Usage: make_noise <output.bmp>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int k_Size = 64;
constexpr uint64_t k_Seed = 0x55a0c0ffee5eedull;

// SplitMix64: small, full-period, and entirely defined here.
class SplitMix64 {
public:
    explicit SplitMix64(uint64_t seed) : mr_State(seed) {}
    uint64_t Next() {
        uint64_t z = (mr_State += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // Uniform in [-1, 1) with 24 bits of resolution, exact in a double.
    double Signed() { return static_cast<double>(Next() >> 40) / 8388608.0 - 1.0; }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 40) / 16777216.0; }

private:
    uint64_t mr_State;
};

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
    SplitMix64 lr_Random(k_Seed);
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
    for (int i = 0; i < k_Size * k_Size; ++i) {
        double x, y, lr_Length2;
        do {
            x = lr_Random.Signed();
            y = lr_Random.Signed();
            lr_Length2 = x * x + y * y;
        } while (lr_Length2 > 1.0 || lr_Length2 < 0.01);
        const double lr_Length = std::sqrt(lr_Length2);
        const double lr_Scale = lr_Random.Unit();
        lr_Out.push_back(Encode(lr_Scale));                   // blue
        lr_Out.push_back(Encode(y / lr_Length * 0.5 + 0.5));  // green
        lr_Out.push_back(Encode(x / lr_Length * 0.5 + 0.5));  // red
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
