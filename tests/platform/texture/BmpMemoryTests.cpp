// What loading a BMP costs in memory: a small file that claims a large
// image must need about the texture's own size, and into a small texture
// hardly anything. Linked with the allocation counter, which sees the
// loader's allocations and the software device's texture memory alike.
#include "AllocationCounter.h"
#include "BmpBuilder.h"
#include "SoftDeviceFixture.h"
#include "TextureReadBack.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

namespace {

constexpr unsigned long long k_Margin = 1u << 20;

// 14 bytes of RLE8 for side x side: a green run on the bottom row, then end of bitmap.
std::vector<BYTE> LargeClaim(int32_t side) {
    BmpRecipe lr_Recipe;
    lr_Recipe.BitCount = 8;
    lr_Recipe.Compression = 1;
    lr_Recipe.Width = side;
    lr_Recipe.Height = side;
    lr_Recipe.Palette = {{0, 0, 0, 0}, {0, 255, 0, 0}};
    lr_Recipe.ClrUsed = 2;
    lr_Recipe.RawPixels = {255, 1, 0, 1};
    return BuildBmp(lr_Recipe);
}

class BmpMemory : public SoftDeviceFixture {};

TEST_F(BmpMemory, LargeRunLengthClaimsNeedNoMoreThanTheTexture) {
    const std::vector<BYTE> lr_File = LargeClaim(4096);
    IDirect3DTexture9* lr_Texture = nullptr;
    AllocationCounter::Start();
    const HRESULT hr =
        D3DXCreateTextureFromFileInMemory(mr_Device_, lr_File.data(), static_cast<UINT>(lr_File.size()), &lr_Texture);
    AllocationCounter::Stop();
    ASSERT_EQ(D3D_OK, hr);
    ASSERT_EQ(13u, lr_Texture->GetLevelCount());
    unsigned long long lr_TextureBytes = 0;
    for (UINT lr_Level = 0; lr_Level < 13; ++lr_Level) {
        const D3DSURFACE_DESC lr_Desc = LevelDesc(lr_Texture, lr_Level);
        lr_TextureBytes += 4ull * lr_Desc.Width * lr_Desc.Height;
    }
    // A decoded copy of the image alone would be 64 MiB more.
    EXPECT_LE(AllocationCounter::PeakBytes(), lr_TextureBytes + k_Margin);
    EXPECT_GE(AllocationCounter::PeakBytes(), lr_TextureBytes);

    // Bottom row: 255 green pixels, then black; the rows above black.
    const std::vector<DWORD> lr_Levels[2] = {LevelPixels<DWORD>(mr_Control_, lr_Texture, 0),
                                             LevelPixels<DWORD>(mr_Control_, lr_Texture, 1)};
    const std::vector<DWORD> lr_Last = LevelPixels<DWORD>(mr_Control_, lr_Texture, 12);
    const auto lr_Pixel = [&](UINT level, UINT x, UINT y) {
        if (level == 12) return lr_Last.at(0);
        return lr_Levels[level].at(static_cast<size_t>(y) * (4096 >> level) + x);
    };
    EXPECT_EQ(0xff00ff00u, lr_Pixel(0, 254, 4095));
    EXPECT_EQ(0xff000000u, lr_Pixel(0, 255, 4095));
    EXPECT_EQ(0xff000000u, lr_Pixel(0, 0, 4094));
    EXPECT_EQ(0xff000000u, lr_Pixel(0, 4095, 0));
    EXPECT_EQ(0xff008000u, lr_Pixel(1, 0, 2047));  // half green, half black
    EXPECT_EQ(0xff000000u, lr_Pixel(1, 0, 2046));
    EXPECT_EQ(0xff000000u, lr_Pixel(12, 0, 0));
    lr_Texture->Release();

    // Scaled into a small texture, the image is never needed whole.
    AllocationCounter::Start();
    const HRESULT lr_Small = D3DXCreateTextureFromFileInMemoryEx(
        mr_Device_, lr_File.data(), static_cast<UINT>(lr_File.size()), 64, 64, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Texture);
    AllocationCounter::Stop();
    ASSERT_EQ(D3D_OK, lr_Small);
    EXPECT_LE(AllocationCounter::PeakBytes(), k_Margin);
    // The bottom row covers 64 source rows, of which one is green there.
    EXPECT_EQ(0xff000400u, LevelPixels<DWORD>(mr_Control_, lr_Texture, 0).at(63 * 64));  // 255 / 64, rounded
    lr_Texture->Release();
}

}  // namespace
