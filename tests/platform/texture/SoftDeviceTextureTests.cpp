// Loading image files onto the software device: the texture it gets (size,
// levels, format, pool, pixels), device failures passed on, and no texture
// left behind. The fixture fails a test that leaks a device object.
#include "BmpBuilder.h"
#include "SoftDeviceFixture.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <fstream>
#include <utility>

namespace {

class SoftDeviceTextureTest : public SoftDeviceFixture {
protected:
    std::wstring WriteFile(const char* name, const std::vector<BYTE>& bytes) {
        const std::filesystem::path lr_Path = mr_TempDirectory / name;
        std::ofstream lr_Out(lr_Path, std::ios::binary);
        lr_Out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return lr_Path.wstring();
    }

    // A 5x3 24-bit image whose texel (x, y) is 0xff00xxyy (x*40, y*80).
    static std::vector<BYTE> Gradient() {
        BmpRecipe lr_Recipe;
        lr_Recipe.Width = 5;
        lr_Recipe.Height = -3;
        for (int y = 0; y < 3; ++y) {
            std::vector<BYTE> lr_Row;
            for (int x = 0; x < 5; ++x) {
                lr_Row.push_back(static_cast<BYTE>(y * 80));
                lr_Row.push_back(static_cast<BYTE>(x * 40));
                lr_Row.push_back(0);
            }
            lr_Recipe.Rows.push_back(lr_Row);
        }
        return BuildBmp(lr_Recipe);
    }

    // A 100x60 24-bit image, red left of column `split` and blue from it on.
    static std::vector<BYTE> Halves(int split) {
        BmpRecipe lr_Recipe;
        lr_Recipe.Width = 100;
        lr_Recipe.Height = 60;
        std::vector<BYTE> lr_Row;
        for (int x = 0; x < 100; ++x) {
            const bool lr_Left = x < split;
            lr_Row.insert(lr_Row.end(), {BYTE(lr_Left ? 0 : 0xff), 0, BYTE(lr_Left ? 0xff : 0)});
        }
        lr_Recipe.Rows.assign(60, lr_Row);
        return BuildBmp(lr_Recipe);
    }

    std::vector<DWORD> Level0(IDirect3DTexture9* texture) { return LevelPixels(texture, 0); }

    // Width and height of one level.
    static std::pair<UINT, UINT> LevelSize(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC lr_Desc{};
        EXPECT_EQ(D3D_OK, texture->GetLevelDesc(level, &lr_Desc));
        return {lr_Desc.Width, lr_Desc.Height};
    }

    std::vector<DWORD> LevelPixels(IDirect3DTexture9* texture, UINT level) {
        IDirect3DSurface9* lr_Surface = nullptr;
        EXPECT_EQ(D3D_OK, texture->GetSurfaceLevel(level, &lr_Surface));
        if (!lr_Surface) return {};
        const std::vector<BYTE> lr_Bytes = ReadPixels(lr_Surface);
        lr_Surface->Release();
        std::vector<DWORD> lr_Out(lr_Bytes.size() / 4);
        std::memcpy(lr_Out.data(), lr_Bytes.data(), lr_Out.size() * 4);
        return lr_Out;
    }
};

TEST_F(SoftDeviceTextureTest, DefaultLoadRoundsTheFileSizeUpToPowersOfTwo) {
    const std::wstring ls_Path = WriteFile("solid.bmp", Halves(100));
    D3DXIMAGE_INFO lr_Info{};
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileW(ls_Path.c_str(), &lr_Info));
    EXPECT_EQ(100u, lr_Info.Width);
    EXPECT_EQ(60u, lr_Info.Height);
    EXPECT_EQ(D3DFMT_R8G8B8, lr_Info.Format);

    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileW(mr_Device_, ls_Path.c_str(), &lr_Texture));
    ASSERT_NE(nullptr, lr_Texture);
    // Rounded although this device takes any size; the chain goes down to 1x1.
    ASSERT_EQ(8u, lr_Texture->GetLevelCount());
    D3DSURFACE_DESC lr_Desc{};
    ASSERT_EQ(D3D_OK, lr_Texture->GetLevelDesc(0, &lr_Desc));
    EXPECT_EQ(128u, lr_Desc.Width);
    EXPECT_EQ(64u, lr_Desc.Height);
    EXPECT_EQ(D3DFMT_X8R8G8B8, lr_Desc.Format);
    EXPECT_EQ(D3DPOOL_MANAGED, lr_Desc.Pool);
    EXPECT_EQ(std::make_pair(2u, 1u), LevelSize(lr_Texture, 6));
    EXPECT_EQ(std::make_pair(1u, 1u), LevelSize(lr_Texture, 7));
    for (UINT lr_Level : {0u, 3u, 7u})
        for (DWORD lr_Pixel : LevelPixels(lr_Texture, lr_Level)) ASSERT_EQ(0xffff0000u, lr_Pixel | 0xff000000u);
    lr_Texture->Release();
}

TEST_F(SoftDeviceTextureTest, ScaledTwoColourImageKeepsItsColoursAtTheEdges) {
    const std::wstring ls_Path = WriteFile("halves.bmp", Halves(50));
    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileW(mr_Device_, ls_Path.c_str(), &lr_Texture));
    ASSERT_NE(nullptr, lr_Texture);
    const std::vector<DWORD> lr_Pixels = Level0(lr_Texture);
    ASSERT_EQ(128u * 64u, lr_Pixels.size());
    for (UINT y = 0; y < 64; ++y) {
        EXPECT_EQ(0xffff0000u, lr_Pixels[y * 128] | 0xff000000u) << y;
        EXPECT_EQ(0xff0000ffu, lr_Pixels[y * 128 + 127] | 0xff000000u) << y;
        EXPECT_EQ(0xffff0000u, lr_Pixels[y * 128 + 40] | 0xff000000u) << y;
        EXPECT_EQ(0xff0000ffu, lr_Pixels[y * 128 + 90] | 0xff000000u) << y;
    }
    lr_Texture->Release();
}

TEST_F(SoftDeviceTextureTest, NonPowerOfTwoDefaultKeepsTheFileSizeOnThisDevice) {
    const std::wstring ls_Path = WriteFile("gradient.bmp", Gradient());
    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK,
              D3DXCreateTextureFromFileExW(mr_Device_, ls_Path.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2,
                                           D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                           0, nullptr, nullptr, &lr_Texture));
    ASSERT_NE(nullptr, lr_Texture);

    // The device mipmaps textures of any size, so the whole chain down to 1x1 is made.
    EXPECT_EQ(3u, lr_Texture->GetLevelCount());
    D3DSURFACE_DESC lr_Desc{};
    ASSERT_EQ(D3D_OK, lr_Texture->GetLevelDesc(0, &lr_Desc));
    EXPECT_EQ(5u, lr_Desc.Width);
    EXPECT_EQ(3u, lr_Desc.Height);
    EXPECT_EQ(D3DFMT_X8R8G8B8, lr_Desc.Format);
    EXPECT_EQ(D3DPOOL_MANAGED, lr_Desc.Pool);
    EXPECT_EQ(0u, lr_Desc.Usage);
    EXPECT_EQ(1u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, D3DPOOL_MANAGED, false));

    const std::vector<DWORD> lr_Pixels = Level0(lr_Texture);
    ASSERT_EQ(15u, lr_Pixels.size());
    for (UINT y = 0; y < 3; ++y)
        for (UINT x = 0; x < 5; ++x)
            EXPECT_EQ(0xff000000u | (x * 40u) << 8 | (y * 80u), lr_Pixels[y * 5 + x] | 0xff000000u) << x << "," << y;

    // The smaller levels are filtered down from the image, not left unwritten.
    EXPECT_EQ(std::make_pair(2u, 1u), LevelSize(lr_Texture, 1));
    EXPECT_EQ(std::make_pair(1u, 1u), LevelSize(lr_Texture, 2));
    const std::vector<DWORD> lr_Last = LevelPixels(lr_Texture, 2);
    ASSERT_EQ(1u, lr_Last.size());
    const DWORD lr_Red = (lr_Last[0] >> 16) & 0xff, lr_Green = (lr_Last[0] >> 8) & 0xff, lr_Blue = lr_Last[0] & 0xff;
    EXPECT_EQ(0u, lr_Red);
    EXPECT_GT(lr_Green, 20u);
    EXPECT_LT(lr_Green, 140u);
    EXPECT_GT(lr_Blue, 20u);
    EXPECT_LT(lr_Blue, 140u);
    lr_Texture->Release();
}

TEST_F(SoftDeviceTextureTest, SixteenBitFilesKeepTheirFormatWhereTheDeviceHasIt) {
    BmpRecipe lr_Recipe;
    lr_Recipe.BitCount = 16;
    lr_Recipe.Compression = 3;
    lr_Recipe.Masks = {0xf800, 0x07e0, 0x001f};
    lr_Recipe.Width = 2;
    lr_Recipe.Rows = {Le16({0xf800, 0x001f})};
    const std::wstring ls_Path = WriteFile("r5g6b5.bmp", BuildBmp(lr_Recipe));
    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileW(mr_Device_, ls_Path.c_str(), &lr_Texture));

    IDirect3D9* lr_D3D = nullptr;
    ASSERT_EQ(D3D_OK, mr_Device_->GetDirect3D(&lr_D3D));
    const bool lr_Has565 = SUCCEEDED(lr_D3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0,
                                                               D3DRTYPE_TEXTURE, D3DFMT_R5G6B5));
    lr_D3D->Release();
    D3DSURFACE_DESC lr_Desc{};
    lr_Texture->GetLevelDesc(0, &lr_Desc);
    EXPECT_EQ(lr_Has565 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8, lr_Desc.Format);
    lr_Texture->Release();
}

TEST_F(SoftDeviceTextureTest, DefaultPoolTexturesAreUploaded) {
    const std::wstring ls_Path = WriteFile("gradient.bmp", Gradient());
    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExW(mr_Device_, ls_Path.c_str(), D3DX_FROM_FILE, D3DX_FROM_FILE, 1, 0,
                                                   D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DX_FILTER_NONE, D3DX_DEFAULT, 0,
                                                   nullptr, nullptr, &lr_Texture));
    D3DSURFACE_DESC lr_Desc{};
    lr_Texture->GetLevelDesc(0, &lr_Desc);
    EXPECT_EQ(D3DPOOL_DEFAULT, lr_Desc.Pool);
    const std::vector<DWORD> lr_Pixels = Level0(lr_Texture);
    ASSERT_EQ(15u, lr_Pixels.size());
    EXPECT_EQ(0xff00a050u, lr_Pixels[1 * 5 + 4]);
    // The system-memory copy is gone.
    EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, D3DPOOL_SYSTEMMEM, false));
    lr_Texture->Release();
}

TEST_F(SoftDeviceTextureTest, FailedDeviceCallsArePassedOnWithoutLeaks) {
    const std::wstring ls_Path = WriteFile("gradient.bmp", Gradient());
    IDirect3DTexture9* lr_Texture = nullptr;

    mr_Control_->FailCall(SoftCall::CreateTexture, 1, E_OUTOFMEMORY);
    EXPECT_EQ(E_OUTOFMEMORY, D3DXCreateTextureFromFileW(mr_Device_, ls_Path.c_str(), &lr_Texture));
    EXPECT_EQ(nullptr, lr_Texture);

    mr_Control_->ClearFaults();
    mr_Control_->FailCall(SoftCall::TextureLockRect, 1, D3DERR_DEVICELOST);
    EXPECT_EQ(D3DERR_DEVICELOST, D3DXCreateTextureFromFileW(mr_Device_, ls_Path.c_str(), &lr_Texture));
    EXPECT_EQ(nullptr, lr_Texture);
    EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
    mr_Control_->ClearFaults();

    // A render-target texture can only live in the default pool.
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileExW(
                                      mr_Device_, ls_Path.c_str(), 0, 0, 1, D3DUSAGE_RENDERTARGET, D3DFMT_UNKNOWN,
                                      D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Texture));
    EXPECT_EQ(nullptr, lr_Texture);
}

TEST_F(SoftDeviceTextureTest, TheNoiseImageLoadsAsTheLoaderDoesIt) {
    const std::wstring ls_Path = std::filesystem::path(SSAO_NOISE_IMAGE).wstring();
    D3DXIMAGE_INFO lr_Info{};
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileW(ls_Path.c_str(), &lr_Info));
    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileW(mr_Device_, ls_Path.c_str(), &lr_Texture));
    D3DSURFACE_DESC lr_Desc{};
    lr_Texture->GetLevelDesc(0, &lr_Desc);
    EXPECT_EQ(lr_Info.Width, lr_Desc.Width);
    EXPECT_EQ(lr_Info.Height, lr_Desc.Height);
    EXPECT_EQ(64u, lr_Desc.Width);
    EXPECT_EQ(64u, lr_Desc.Height);
    ASSERT_EQ(7u, lr_Texture->GetLevelCount());
    for (UINT lr_Level = 0; lr_Level < 7; ++lr_Level) {
        const UINT lr_Side = 64u >> lr_Level;
        EXPECT_EQ(std::make_pair(lr_Side, lr_Side), LevelSize(lr_Texture, lr_Level)) << lr_Level;
    }
    lr_Texture->Release();
}

}  // namespace
