// The committed noise image is what the generator writes, and it holds what
// SSAO.hlsl expects of it: 64 x 64 texels of unit rotation vectors.
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

TEST_F(NoiseImage, LoadsAsA64By64ImageOfUnitVectors) {
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

    std::set<int> lr_Directions;
    double lr_ScaleSum = 0;
    for (size_t i = 0; i < lr_Bytes.size(); i += 4) {
        const double x = lr_Bytes[i + 2] / 127.5 - 1.0;
        const double y = lr_Bytes[i + 1] / 127.5 - 1.0;
        EXPECT_NEAR(1.0, std::hypot(x, y), 0.012) << "texel " << i / 4;
        lr_Directions.insert(static_cast<int>(std::floor((std::atan2(y, x) + M_PI) / (2 * M_PI) * 16)) % 16);
        lr_ScaleSum += lr_Bytes[i] / 255.0;
    }
    // Spread over every direction, radius scales centred on one half.
    EXPECT_EQ(16u, lr_Directions.size());
    EXPECT_NEAR(0.5, lr_ScaleSum / (64 * 64), 0.05);
}

}  // namespace
