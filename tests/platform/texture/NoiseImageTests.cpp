// The committed noise image is what the generator writes, and it holds what
// the effects expect of it: 64 x 64 texels, a dither in red, and a 4 x 4
// pattern of directions over the quarter turn and of walk starts.
#include "SoftDeviceFixture.h"
#include "TextureReadBack.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

std::vector<BYTE> ReadFile(const std::filesystem::path& path) {
    std::ifstream lr_In(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(lr_In), std::istreambuf_iterator<char>());
}

const std::filesystem::path k_Committed = SSAO_NOISE_IMAGE;

class NoiseImage : public SoftDeviceFixture {};

TEST_F(NoiseImage, CommittedFileEqualsTheGeneratorOutput) {
    const std::filesystem::path lr_Out = mr_TempDirectory / "noise.bmp";
    const std::string ls_Command = std::string("'") + SSAO_MAKE_NOISE + "' '" + lr_Out.string() + "'";
    ASSERT_EQ(0, std::system(ls_Command.c_str()));
    const std::vector<BYTE> lr_Generated = ReadFile(lr_Out);
    const std::vector<BYTE> lr_Committed = ReadFile(k_Committed);
    ASSERT_FALSE(lr_Committed.empty()) << k_Committed;
    EXPECT_TRUE(lr_Generated == lr_Committed) << "run make_noise to regenerate " << k_Committed;
}

TEST_F(NoiseImage, LoadsAsA64By64PatternOfDirectionsAndStarts) {
    D3DXIMAGE_INFO lr_Info{};
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileW(k_Committed.wstring().c_str(), &lr_Info));
    EXPECT_EQ(64u, lr_Info.Width);
    EXPECT_EQ(64u, lr_Info.Height);
    EXPECT_EQ(D3DFMT_R8G8B8, lr_Info.Format);

    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileW(mr_Device_, k_Committed.wstring().c_str(), &lr_Texture));
    const std::vector<BYTE> lr_Bytes = LevelPixels<BYTE>(mr_Control_, lr_Texture, 0);
    EXPECT_EQ(7u, lr_Texture->GetLevelCount());
    lr_Texture->Release();
    ASSERT_EQ(64u * 64u * 4u, lr_Bytes.size());

    double lr_Dither = 0.0;
    // Every 4 x 4 block (anywhere, not only aligned: the pattern repeats)
    // holds 16 directions, one in each sixteenth of the quarter turn, and 16
    // different starts, spread over the step.
    for (int lr_Top = 0; lr_Top < 8; ++lr_Top) {
        for (int lr_Left = 0; lr_Left < 8; ++lr_Left) {
            std::set<int> lr_Directions, lr_Starts;
            for (int y = lr_Top; y < lr_Top + 4; ++y) {
                for (int x = lr_Left; x < lr_Left + 4; ++x) {
                    const size_t i = (static_cast<size_t>(y) * 64 + x) * 4;
                    const double a = lr_Bytes[i + 1] / 255.0;
                    lr_Directions.insert(static_cast<int>(std::atan2(a, 1.0 - a) / (M_PI / 2) * 16));
                    lr_Dither += lr_Bytes[i + 2] / 255.0;
                    lr_Starts.insert(lr_Bytes[i] / 16);
                }
            }
            EXPECT_EQ(16u, lr_Directions.size()) << lr_Left << "," << lr_Top;
            EXPECT_EQ(16u, lr_Starts.size()) << lr_Left << "," << lr_Top;
        }
    }
    // The dither is spread evenly over a step: its blocks average a half.
    EXPECT_NEAR(0.5, lr_Dither / (8 * 8 * 16), 0.03);
}

}  // namespace
