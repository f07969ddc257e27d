// Texture creation choices of the D3DX loaders (size, levels, format, pool,
// filters, colour key), device failures, and loading from files by narrow
// and wide Windows paths. Runs on the software device, whose texture memory
// the tests read back.
#include "BmpBuilder.h"
#include "SoftDeviceFixture.h"
#include "TextureReadBack.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <fstream>
#include <random>
#include <string>

namespace {

// A 24-bit image whose column x has colour colourOf(x).
template <typename ColourOf>
std::vector<BYTE> Columns24(int32_t width, int32_t height, ColourOf colourOf) {
    BmpRecipe lr_Recipe;
    lr_Recipe.Width = width;
    lr_Recipe.Height = height;
    for (int32_t y = 0; y < (height < 0 ? -height : height); ++y) {
        std::vector<BYTE> lr_Row;
        for (int32_t x = 0; x < width; ++x) {
            const DWORD argb = colourOf(x);
            lr_Row.push_back(static_cast<BYTE>(argb));
            lr_Row.push_back(static_cast<BYTE>(argb >> 8));
            lr_Row.push_back(static_cast<BYTE>(argb >> 16));
        }
        lr_Recipe.Rows.push_back(lr_Row);
    }
    return BuildBmp(lr_Recipe);
}

std::vector<BYTE> Solid24(int32_t width, int32_t height, DWORD argb) {
    return Columns24(width, height, [argb](int32_t) { return argb; });
}

// A top-down 32-bit image from given pixels (alpha through a V5 mask).
std::vector<BYTE> Argb32(int32_t width, const std::vector<DWORD>& pixels) {
    BmpRecipe lr_Recipe;
    lr_Recipe.HeaderSize = 124;
    lr_Recipe.BitCount = 32;
    lr_Recipe.Compression = 3;
    lr_Recipe.Masks = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
    lr_Recipe.Width = width;
    lr_Recipe.Height = -static_cast<int32_t>(pixels.size() / width);
    for (size_t i = 0; i < pixels.size(); i += width) {
        std::vector<BYTE> lr_Row;
        for (int32_t x = 0; x < width; ++x)
            for (int b = 0; b < 4; ++b) lr_Row.push_back(static_cast<BYTE>(pixels[i + x] >> (8 * b)));
        lr_Recipe.Rows.push_back(lr_Row);
    }
    return BuildBmp(lr_Recipe);
}

class TextureLoadTest : public SoftDeviceFixture {
protected:
    // The textures kept go before the fixture checks that nothing outlived the test.
    void TearDown() override {
        for (IDirect3DTexture9* lr_Texture : mr_Textures) lr_Texture->Release();
        SoftDeviceFixture::TearDown();
    }

    IDirect3DTexture9* Keep(IDirect3DTexture9* texture) {
        if (texture) mr_Textures.push_back(texture);
        return texture;
    }

    IDirect3DTexture9* LoadDefault(const std::vector<BYTE>& file) {
        IDirect3DTexture9* lr_Texture = nullptr;
        EXPECT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemory(mr_Device_, file.data(), static_cast<UINT>(file.size()),
                                                            &lr_Texture));
        return Keep(lr_Texture);
    }

    std::vector<DWORD> Level32(IDirect3DTexture9* texture, UINT level) {
        return LevelPixels<DWORD>(mr_Control_, texture, level);
    }

    // The adapter's texture caps with some flags added and others taken away.
    void SetTextureCaps(DWORD add, DWORD remove, UINT maxWidth = 8192, UINT maxHeight = 8192) {
        D3DCAPS9 lr_Caps;
        mr_Device_->GetDeviceCaps(&lr_Caps);
        mr_Control_->SetTextureCaps((lr_Caps.TextureCaps | add) & ~remove, maxWidth, maxHeight);
    }

    UINT CreateCalls() { return mr_Control_->GetCallCount(SoftCall::CreateTexture); }

    // Writes `bytes` to a file with the given (UTF-8) name in the test's directory.
    std::filesystem::path WriteFile(const std::string& utf8Name, const std::vector<BYTE>& bytes) {
        const std::filesystem::path lr_Path = mr_TempDirectory / std::filesystem::u8path(utf8Name);
        std::ofstream lr_Out(lr_Path, std::ios::binary);
        lr_Out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return lr_Path;
    }

    std::vector<IDirect3DTexture9*> mr_Textures;
};

TEST_F(TextureLoadTest, DefaultsRoundTheFileSizeUpToPowersOfTwoEvenWhereTheDeviceNeedNot) {
    const std::vector<BYTE> lr_File = Solid24(100, 60, 0xff204060u);
    D3DXIMAGE_INFO lr_Info{};
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileInMemory(lr_File.data(), static_cast<UINT>(lr_File.size()), &lr_Info));
    EXPECT_EQ(100u, lr_Info.Width);
    EXPECT_EQ(60u, lr_Info.Height);
    EXPECT_EQ(D3DFMT_R8G8B8, lr_Info.Format);

    IDirect3DTexture9* lr_Texture = LoadDefault(lr_File);
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(1u, CreateCalls());
    const D3DSURFACE_DESC lr_C = LevelDesc(lr_Texture, 0);
    EXPECT_EQ(128u, lr_C.Width);
    EXPECT_EQ(64u, lr_C.Height);
    ASSERT_EQ(8u, lr_Texture->GetLevelCount());  // 128x64 down to 1x1
    EXPECT_EQ(0u, lr_C.Usage);
    EXPECT_EQ(D3DFMT_X8R8G8B8, lr_C.Format);
    EXPECT_EQ(D3DPOOL_MANAGED, lr_C.Pool);
    // Every level written and unlocked; a uniform image stays uniform through the scaling and down the chain.
    for (UINT lr_Level = 0; lr_Level < 8; ++lr_Level) {
        const std::vector<DWORD> lr_Pixels = Level32(lr_Texture, lr_Level);
        EXPECT_EQ(static_cast<size_t>(std::max(128u >> lr_Level, 1u)) * std::max(64u >> lr_Level, 1u),
                  lr_Pixels.size());
        for (DWORD lr_Pixel : lr_Pixels) ASSERT_EQ(0xff204060u, lr_Pixel) << lr_Level;
    }
    EXPECT_EQ(mr_Control_->GetCallCount(SoftCall::TextureLockRect),
              mr_Control_->GetCallCount(SoftCall::TextureUnlockRect));
    EXPECT_TRUE(AllLevelsUnlocked(lr_Texture));
}

TEST_F(TextureLoadTest, ScalingKeepsLeftAndRightColoursAtTheirEdges) {
    // Left half red, right half blue.
    IDirect3DTexture9* lr_Texture =
        LoadDefault(Columns24(100, 60, [](int32_t x) { return x < 50 ? 0xffff0000u : 0xff0000ffu; }));
    ASSERT_NE(nullptr, lr_Texture);
    ASSERT_EQ(128u, LevelDesc(lr_Texture, 0).Width);
    const std::vector<DWORD> lr_Pixels = Level32(lr_Texture, 0);
    ASSERT_EQ(128u * 64u, lr_Pixels.size());
    for (UINT y = 0; y < 64; ++y) {
        const DWORD* lr_Row = lr_Pixels.data() + y * 128;
        for (UINT x = 0; x < 60; ++x) ASSERT_EQ(0xffff0000u, lr_Row[x]) << x << "," << y;
        for (UINT x = 68; x < 128; ++x) ASSERT_EQ(0xff0000ffu, lr_Row[x]) << x << "," << y;
        // Whatever the seam holds is a mix of the two, never anything else.
        for (UINT x = 60; x < 68; ++x) {
            EXPECT_EQ(0u, lr_Row[x] & 0x0000ff00u) << x;
            EXPECT_NEAR(255, static_cast<int>((lr_Row[x] >> 16) & 0xff) + static_cast<int>(lr_Row[x] & 0xff), 2) << x;
        }
    }
}

TEST_F(TextureLoadTest, MipLevelsAverageTheLevelAbove) {
    IDirect3DTexture9* lr_Texture = LoadDefault(Argb32(2, {0xff000000u, 0xff0000ffu, 0x00ff0000u, 0xffffffffu}));
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(D3DFMT_A8R8G8B8, LevelDesc(lr_Texture, 0).Format);
    ASSERT_EQ(2u, lr_Texture->GetLevelCount());
    // Channel means: A (255*3)/4, R (255*2)/4, G 255/4, B (255*2)/4, rounded.
    EXPECT_EQ((std::vector<DWORD>{0xbf804080u}), Level32(lr_Texture, 1));
}

TEST_F(TextureLoadTest, RowsFollowThePitchTheLockReturns) {
    // Rows of 16 bytes start 64 bytes apart.
    mr_Control_->SetRowPitchAlignment(64);
    IDirect3DTexture9* lr_Texture = LoadDefault(Argb32(4, {1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ((std::vector<DWORD>{1, 2, 3, 4, 5, 6, 7, 8}), Level32(lr_Texture, 0));
    // The padding between rows is not written: it keeps the zeros of a new texture.
    D3DLOCKED_RECT lr_Rect;
    ASSERT_EQ(D3D_OK, lr_Texture->LockRect(0, &lr_Rect, nullptr, D3DLOCK_READONLY));
    ASSERT_EQ(64, lr_Rect.Pitch);
    const BYTE* lr_Bytes = static_cast<const BYTE*>(lr_Rect.pBits);
    EXPECT_EQ(std::vector<BYTE>(48, 0), std::vector<BYTE>(lr_Bytes + 16, lr_Bytes + 64));
    lr_Texture->UnlockRect(0);
}

TEST_F(TextureLoadTest, DevicesWithoutMipmapsGetOneLevel) {
    SetTextureCaps(D3DPTEXTURECAPS_POW2, 0);
    IDirect3DTexture9* lr_Texture = LoadDefault(Solid24(5, 3, 0xff102030u));
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(8u, LevelDesc(lr_Texture, 0).Width);
    EXPECT_EQ(4u, LevelDesc(lr_Texture, 0).Height);
    EXPECT_EQ(4u, lr_Texture->GetLevelCount());

    SetTextureCaps(D3DPTEXTURECAPS_POW2, D3DPTEXTURECAPS_MIPMAP);
    lr_Texture = LoadDefault(Solid24(5, 3, 0xff102030u));
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(8u, LevelDesc(lr_Texture, 0).Width);
    EXPECT_EQ(1u, lr_Texture->GetLevelCount());
}

TEST_F(TextureLoadTest, NonPowerOfTwoDefaultKeepsTheFileSizeOnlyWhereTheDeviceAllowsIt) {
    const std::wstring ls_Path = WriteFile("np2.bmp", Solid24(100, 60, 0xff0c0d0eu)).wstring();
    // Size and level count of what the loader made.
    struct Made {
        UINT Width = 0, Height = 0, Levels = 0;
    };
    const auto lr_Load = [&](UINT mipLevels) {
        IDirect3DTexture9* lr_Raw = nullptr;
        EXPECT_EQ(D3D_OK,
                  D3DXCreateTextureFromFileExW(mr_Device_, ls_Path.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2,
                                               mipLevels, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Raw));
        if (!Keep(lr_Raw)) return Made{};
        const D3DSURFACE_DESC lr_Desc = LevelDesc(lr_Raw, 0);
        return Made{lr_Desc.Width, lr_Desc.Height, lr_Raw->GetLevelCount()};
    };

    // Any size goes: 100x60 with its chain 100, 50, 25, 12, 6, 3, 1.
    Made lr_C = lr_Load(D3DX_DEFAULT);
    EXPECT_EQ(100u, lr_C.Width);
    EXPECT_EQ(60u, lr_C.Height);
    EXPECT_EQ(7u, lr_C.Levels);
    ASSERT_FALSE(mr_Textures.empty());
    for (DWORD lr_Pixel : Level32(mr_Textures.back(), 0)) ASSERT_EQ(0xff0c0d0eu, lr_Pixel);

    // Powers of two only.
    SetTextureCaps(D3DPTEXTURECAPS_POW2, 0);
    lr_C = lr_Load(D3DX_DEFAULT);
    EXPECT_EQ(128u, lr_C.Width);
    EXPECT_EQ(64u, lr_C.Height);
    EXPECT_EQ(8u, lr_C.Levels);

    // Other sizes only for a texture of one level.
    SetTextureCaps(D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 0);
    lr_C = lr_Load(D3DX_DEFAULT);
    EXPECT_EQ(128u, lr_C.Width);
    EXPECT_EQ(8u, lr_C.Levels);
    lr_C = lr_Load(1);
    EXPECT_EQ(100u, lr_C.Width);
    EXPECT_EQ(60u, lr_C.Height);
    EXPECT_EQ(1u, lr_C.Levels);
}

TEST_F(TextureLoadTest, FromFileKeepsTheFileSizeOrFails) {
    const std::wstring ls_Path = WriteFile("exact.bmp", Solid24(100, 60, 0xff0c0d0eu)).wstring();
    IDirect3DTexture9* lr_Raw = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExW(mr_Device_, ls_Path.c_str(), D3DX_FROM_FILE, D3DX_FROM_FILE,
                                                   D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                   D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Raw));
    ASSERT_NE(nullptr, Keep(lr_Raw));
    EXPECT_EQ(100u, LevelDesc(lr_Raw, 0).Width);
    EXPECT_EQ(60u, LevelDesc(lr_Raw, 0).Height);

    // Each side follows its own argument.
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExW(mr_Device_, ls_Path.c_str(), D3DX_FROM_FILE, D3DX_DEFAULT, 1, 0,
                                                   D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                   nullptr, nullptr, &lr_Raw));
    ASSERT_NE(nullptr, Keep(lr_Raw));
    EXPECT_EQ(100u, LevelDesc(lr_Raw, 0).Width);
    EXPECT_EQ(64u, LevelDesc(lr_Raw, 0).Height);

    // A device that cannot hold the file's size is not even asked for a texture.
    SetTextureCaps(D3DPTEXTURECAPS_POW2, 0);
    EXPECT_EQ(D3DERR_NOTAVAILABLE,
              D3DXCreateTextureFromFileExW(mr_Device_, ls_Path.c_str(), D3DX_FROM_FILE, D3DX_FROM_FILE, D3DX_DEFAULT, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                           nullptr, &lr_Raw));
    EXPECT_EQ(nullptr, lr_Raw);
    SetTextureCaps(0, 0, 64, 8192);
    EXPECT_EQ(
        D3DERR_NOTAVAILABLE,
        D3DXCreateTextureFromFileExW(mr_Device_, ls_Path.c_str(), D3DX_FROM_FILE, D3DX_FROM_FILE, 1, 0, D3DFMT_UNKNOWN,
                                     D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Raw));
    EXPECT_EQ(nullptr, lr_Raw);
    EXPECT_EQ(2u, CreateCalls());
}

TEST_F(TextureLoadTest, SquareOnlyAndMaximumSizesStillBindTheDefaults) {
    SetTextureCaps(D3DPTEXTURECAPS_SQUAREONLY, 0, 64, 64);
    IDirect3DTexture9* lr_Texture = LoadDefault(Solid24(100, 20, 0xff405060u));
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(64u, LevelDesc(lr_Texture, 0).Width);
    EXPECT_EQ(64u, LevelDesc(lr_Texture, 0).Height);
    EXPECT_EQ(7u, lr_Texture->GetLevelCount());
    for (DWORD lr_Pixel : Level32(lr_Texture, 0)) ASSERT_EQ(0xff405060u, lr_Pixel);
}

TEST_F(TextureLoadTest, ExtendedLoaderHonoursSizeLevelsFormatAndFilter) {
    const std::filesystem::path lr_Path =
        WriteFile("ex.bmp", Argb32(2, {0xffff0000u, 0xff00ff00u, 0xff0000ffu, 0xffffffffu}));
    D3DXIMAGE_INFO lr_Info{};
    IDirect3DTexture9* lr_Raw = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExW(mr_Device_, lr_Path.wstring().c_str(), 4, 4, 1, 0, D3DFMT_R5G6B5,
                                                   D3DPOOL_SYSTEMMEM, D3DX_FILTER_POINT, D3DX_DEFAULT, 0, &lr_Info,
                                                   nullptr, &lr_Raw));
    IDirect3DTexture9* lr_Texture = Keep(lr_Raw);
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(2u, lr_Info.Width);
    EXPECT_EQ(D3DFMT_A8R8G8B8, lr_Info.Format);  // the file's, not the texture's
    EXPECT_EQ(1u, CreateCalls());
    EXPECT_EQ(4u, LevelDesc(lr_Texture, 0).Width);
    EXPECT_EQ(1u, lr_Texture->GetLevelCount());
    EXPECT_EQ(D3DFMT_R5G6B5, LevelDesc(lr_Texture, 0).Format);
    EXPECT_EQ(D3DPOOL_SYSTEMMEM, LevelDesc(lr_Texture, 0).Pool);
    // Point sampling doubles each texel.
    const std::vector<WORD> lr_Words = LevelPixels<WORD>(mr_Control_, lr_Texture, 0);
    ASSERT_EQ(16u, lr_Words.size());
    EXPECT_EQ((std::vector<WORD>{0xf800, 0xf800, 0x07e0, 0x07e0}),
              std::vector<WORD>(lr_Words.begin(), lr_Words.begin() + 4));
    EXPECT_EQ((std::vector<WORD>{0x001f, 0x001f, 0xffff, 0xffff}),
              std::vector<WORD>(lr_Words.begin() + 12, lr_Words.end()));

    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateTextureFromFileExW(mr_Device_, lr_Path.wstring().c_str(), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                           D3DPOOL_MANAGED, 77, D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Raw));
    EXPECT_EQ(nullptr, lr_Raw);
}

TEST_F(TextureLoadTest, DefaultPoolTexturesAreFilledThroughASystemMemoryCopy) {
    const std::filesystem::path lr_Path = WriteFile("default.bmp", Argb32(1, {0x80402010u}));
    IDirect3DTexture9* lr_Raw = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExW(mr_Device_, lr_Path.wstring().c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                                   D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT,
                                                   D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Raw));
    IDirect3DTexture9* lr_Texture = Keep(lr_Raw);
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(D3DPOOL_DEFAULT, LevelDesc(lr_Texture, 0).Pool);
    // Such a texture cannot be locked: its pixels came from a second, system-memory texture, now gone.
    D3DLOCKED_RECT lr_Rect;
    EXPECT_EQ(D3DERR_INVALIDCALL, lr_Texture->LockRect(0, &lr_Rect, nullptr, 0));
    EXPECT_EQ(2u, CreateCalls());
    EXPECT_EQ((std::vector<DWORD>{0x80402010u}), Level32(lr_Texture, 0));
    EXPECT_EQ(1u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
}

TEST_F(TextureLoadTest, ColourKeyedPixelsBecomeTransparentBlack) {
    const std::filesystem::path lr_Path = WriteFile("key.bmp", Solid24(2, 1, 0xff00ff00u));
    IDirect3DTexture9* lr_Raw = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExW(mr_Device_, lr_Path.wstring().c_str(), 0, 0, 1, 0, D3DFMT_UNKNOWN,
                                                   D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0xff00ff00u, nullptr,
                                                   nullptr, &lr_Raw));
    IDirect3DTexture9* lr_Texture = Keep(lr_Raw);
    ASSERT_NE(nullptr, lr_Texture);
    EXPECT_EQ(D3DFMT_A8R8G8B8, LevelDesc(lr_Texture, 0).Format);
    EXPECT_EQ((std::vector<DWORD>{0, 0}), Level32(lr_Texture, 0));
}

TEST_F(TextureLoadTest, PalettedFilesHandTheirPaletteOut) {
    BmpRecipe lr_Recipe;
    lr_Recipe.BitCount = 8;
    lr_Recipe.ClrUsed = 2;
    lr_Recipe.Palette = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    lr_Recipe.Rows = {{1}};
    const std::filesystem::path lr_Path = WriteFile("pal.bmp", BuildBmp(lr_Recipe));
    PALETTEENTRY lr_Palette[256];
    std::memset(lr_Palette, 0xAB, sizeof(lr_Palette));
    IDirect3DTexture9* lr_Raw = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileExW(mr_Device_, lr_Path.wstring().c_str(), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                   D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, lr_Palette,
                                                   &lr_Raw));
    Keep(lr_Raw);
    EXPECT_EQ(6, lr_Palette[1].peRed);
    EXPECT_EQ(5, lr_Palette[1].peGreen);
    EXPECT_EQ(4, lr_Palette[1].peBlue);
    EXPECT_EQ(0, lr_Palette[2].peRed);
}

TEST_F(TextureLoadTest, DeviceFailuresArePassedOnAndNothingLeaks) {
    const std::vector<BYTE> lr_File = Solid24(4, 4, 0xff123456u);
    IDirect3DTexture9* lr_Texture = nullptr;

    mr_Control_->FailCall(SoftCall::CreateTexture, 1, E_OUTOFMEMORY);
    EXPECT_EQ(E_OUTOFMEMORY, D3DXCreateTextureFromFileInMemory(mr_Device_, lr_File.data(),
                                                               static_cast<UINT>(lr_File.size()), &lr_Texture));
    EXPECT_EQ(nullptr, lr_Texture);

    // The third level's lock fails: the created texture is released.
    mr_Control_->ResetCallCounts();
    mr_Control_->FailCall(SoftCall::TextureLockRect, 3, D3DERR_DEVICELOST);
    EXPECT_EQ(D3DERR_DEVICELOST, D3DXCreateTextureFromFileInMemory(mr_Device_, lr_File.data(),
                                                                   static_cast<UINT>(lr_File.size()), &lr_Texture));
    EXPECT_EQ(nullptr, lr_Texture);
    EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
    EXPECT_EQ(3u, mr_Control_->GetCallCount(SoftCall::TextureLockRect));
    EXPECT_EQ(2u, mr_Control_->GetCallCount(SoftCall::TextureUnlockRect));

    // A render-target texture outside the default pool is refused by the device.
    const std::filesystem::path lr_Path = WriteFile("rt.bmp", lr_File);
    EXPECT_EQ(D3DERR_INVALIDCALL,
              D3DXCreateTextureFromFileExW(mr_Device_, lr_Path.wstring().c_str(), 0, 0, 0, D3DUSAGE_RENDERTARGET,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                           nullptr, &lr_Texture));
    EXPECT_EQ(nullptr, lr_Texture);
    EXPECT_EQ(0u, mr_Control_->CountLiveObjects(SoftObjectKind::Texture, -1, false));
}

TEST_F(TextureLoadTest, NullArgumentsAreInvalidCalls) {
    const std::vector<BYTE> lr_File = Solid24(1, 1, 0);
    IDirect3DTexture9* lr_Texture = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(nullptr, lr_File.data(), 10, &lr_Texture));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(mr_Device_, lr_File.data(), 10, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileW(mr_Device_, nullptr, &lr_Texture));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileA(mr_Device_, nullptr, &lr_Texture));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXGetImageInfoFromFileW(nullptr, nullptr));
    EXPECT_EQ(0u, CreateCalls());
}

TEST_F(TextureLoadTest, WindowsPathsWithEitherSeparatorAndNonAsciiNames) {
    const std::vector<BYTE> lr_File = Solid24(3, 2, 0xff0a0b0cu);
    // The same name spelt in UTF-8 (for the file system) and as wide text.
    WriteFile("Noise \xc3\xa4\xe6\x97\xa5\xf0\x9f\x8c\x8a.bmp", lr_File);
    const std::wstring ls_Path = mr_TempDirectory.wstring() + L"/Noise \u00e4\u65e5\U0001F30A.bmp";
    std::wstring ls_Windows = ls_Path;
    for (wchar_t& c : ls_Windows)
        if (c == L'/') c = L'\\';

    D3DXIMAGE_INFO lr_Info{};
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileW(ls_Path.c_str(), &lr_Info));
    EXPECT_EQ(3u, lr_Info.Width);
    EXPECT_EQ(D3DFMT_R8G8B8, lr_Info.Format);
    lr_Info = D3DXIMAGE_INFO{};
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileW(ls_Windows.c_str(), &lr_Info));
    EXPECT_EQ(2u, lr_Info.Height);

    IDirect3DTexture9* lr_Texture = nullptr;
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileW(mr_Device_, ls_Windows.c_str(), &lr_Texture));
    EXPECT_EQ(0xff0a0b0cu, Level32(Keep(lr_Texture), 0)[0]);

    // A near-miss of the name is not found.
    std::wstring ls_Other = ls_Path;
    ls_Other[ls_Other.size() - 5] = L'\U0001F30B';
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileW(ls_Other.c_str(), &lr_Info));
}

TEST_F(TextureLoadTest, NarrowPathsAreReadInTheAnsiCodePage) {
    // "\xe9" is e-acute in Windows-1252: the file is named with its UTF-8 form.
    const std::filesystem::path lr_Path = WriteFile("caf\xc3\xa9.bmp", Solid24(1, 1, 0xff010203u));
    const std::string ls_Ansi = (mr_TempDirectory / "caf").string() + "\xe9.bmp";
    D3DXIMAGE_INFO lr_Info{};
    EXPECT_EQ(D3D_OK, D3DXGetImageInfoFromFileA(ls_Ansi.c_str(), &lr_Info));
    EXPECT_EQ(D3DFMT_R8G8B8, lr_Info.Format);
    IDirect3DTexture9* lr_Texture = nullptr;
    std::string ls_Backslashed = ls_Ansi;
    for (char& c : ls_Backslashed)
        if (c == '/') c = '\\';
    ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileA(mr_Device_, ls_Backslashed.c_str(), &lr_Texture));
    Keep(lr_Texture);
    // The UTF-8 bytes, read as Windows-1252, name a different file.
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileA(lr_Path.string().c_str(), &lr_Info));
}

TEST_F(TextureLoadTest, MissingTruncatedAndUnreadableFilesAreInvalidData) {
    WriteFile("placeholder", {});
    D3DXIMAGE_INFO lr_Info{};
    IDirect3DTexture9* lr_Texture = nullptr;
    const std::wstring ls_Missing = (mr_TempDirectory / "missing.bmp").wstring();
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileW(ls_Missing.c_str(), &lr_Info));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromFileW(mr_Device_, ls_Missing.c_str(), &lr_Texture));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileW(mr_TempDirectory.wstring().c_str(), &lr_Info));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileW(L"", &lr_Info));

    const std::vector<BYTE> lr_File = Solid24(4, 4, 0);
    const std::filesystem::path lr_Short =
        WriteFile("short.bmp", std::vector<BYTE>(lr_File.begin(), lr_File.end() - 3));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileW(lr_Short.wstring().c_str(), &lr_Info));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromFileW(mr_Device_, lr_Short.wstring().c_str(), &lr_Texture));
    const std::filesystem::path lr_Empty = WriteFile("empty.bmp", {});
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromFileW(mr_Device_, lr_Empty.wstring().c_str(), &lr_Texture));
    EXPECT_EQ(nullptr, lr_Texture);
    EXPECT_EQ(0u, CreateCalls());

    // A named pipe with no writer is refused at once rather than waited on.
    const std::filesystem::path lr_Pipe = mr_TempDirectory / "pipe.bmp";
    ASSERT_EQ(0, ::mkfifo(lr_Pipe.c_str(), 0600));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileW(lr_Pipe.wstring().c_str(), &lr_Info));
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromFileW(mr_Device_, lr_Pipe.wstring().c_str(), &lr_Texture));
}

}  // namespace
