// BMP decoding and image information, through the exported D3DX entry
// points, onto the software device, whose texture memory the tests read back.
#include "BmpBuilder.h"
#include "SoftDeviceFixture.h"
#include "TextureReadBack.h"

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr DWORD k_Red = 0xffff0000u, k_Green = 0xff00ff00u, k_Blue = 0xff0000ffu, k_White = 0xffffffffu,
                k_Black = 0xff000000u;

std::array<BYTE, 4> Entry(DWORD argb) {
    return {static_cast<BYTE>(argb), static_cast<BYTE>(argb >> 8), static_cast<BYTE>(argb >> 16), 0};
}

std::vector<BYTE> Bgr(std::initializer_list<DWORD> pixels) {
    std::vector<BYTE> lr_Row;
    for (DWORD p : pixels) {
        lr_Row.push_back(static_cast<BYTE>(p));
        lr_Row.push_back(static_cast<BYTE>(p >> 8));
        lr_Row.push_back(static_cast<BYTE>(p >> 16));
    }
    return lr_Row;
}

D3DXIMAGE_INFO Info(const std::vector<BYTE>& file, HRESULT expected = D3D_OK) {
    D3DXIMAGE_INFO lr_Info{};
    EXPECT_EQ(expected, D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &lr_Info));
    return lr_Info;
}

class BmpDecodeTest : public SoftDeviceFixture {
protected:
    // The texture goes before the fixture checks that nothing outlived the test.
    void TearDown() override {
        if (mr_Texture_) mr_Texture_->Release();
        mr_Texture_ = nullptr;
        SoftDeviceFixture::TearDown();
    }

    // Loads at the file's own size (the defaults would scale odd sizes up
    // to powers of two) and otherwise with the D3DX defaults; the texture
    // stays owned by the test.
    IDirect3DTexture9* Load(const std::vector<BYTE>& file) {
        const std::filesystem::path lr_Path = mr_TempDirectory / "decode.bmp";
        {
            std::ofstream lr_Out(lr_Path, std::ios::binary);
            lr_Out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        }
        IDirect3DTexture9* lr_Texture = nullptr;
        const HRESULT hr = D3DXCreateTextureFromFileExW(
            mr_Device_, lr_Path.wstring().c_str(), D3DX_FROM_FILE, D3DX_FROM_FILE, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
            D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &lr_Texture);
        std::error_code lr_Error;
        std::filesystem::remove(lr_Path, lr_Error);
        EXPECT_EQ(D3D_OK, hr);
        if (FAILED(hr) || !lr_Texture) return nullptr;
        if (mr_Texture_) mr_Texture_->Release();
        mr_Texture_ = lr_Texture;
        return mr_Texture_;
    }

    // Level 0 as 32-bit pixels, top row first.
    std::vector<DWORD> Pixels32(const std::vector<BYTE>& file, D3DFORMAT expectedFormat) {
        IDirect3DTexture9* lr_Texture = Load(file);
        if (!lr_Texture) return {};
        EXPECT_EQ(expectedFormat, LevelDesc(lr_Texture, 0).Format);
        return LevelPixels<DWORD>(mr_Control_, lr_Texture, 0);
    }

    std::vector<WORD> Pixels16(const std::vector<BYTE>& file, D3DFORMAT expectedFormat) {
        IDirect3DTexture9* lr_Texture = Load(file);
        if (!lr_Texture) return {};
        EXPECT_EQ(expectedFormat, LevelDesc(lr_Texture, 0).Format);
        return LevelPixels<WORD>(mr_Control_, lr_Texture, 0);
    }

    IDirect3DTexture9* mr_Texture_ = nullptr;
};

BmpRecipe Paletted(WORD bits, int32_t width, int32_t height, std::vector<std::vector<BYTE>> rows) {
    BmpRecipe lr_Recipe;
    lr_Recipe.BitCount = bits;
    lr_Recipe.Width = width;
    lr_Recipe.Height = height;
    lr_Recipe.Palette = {Entry(k_Red), Entry(k_Green), Entry(k_Blue), Entry(k_White)};
    lr_Recipe.ClrUsed = 4;
    lr_Recipe.Rows = std::move(rows);
    return lr_Recipe;
}

TEST_F(BmpDecodeTest, PalettedImagesOfOneFourAndEightBitsBecomeX8R8G8B8) {
    // 1-bit: bits are read from the high end; two colours suffice.
    BmpRecipe lr_One = Paletted(1, 3, 2, {{0b01000000}, {0b10100000}});
    lr_One.Palette.resize(2);
    lr_One.ClrUsed = 0;  // means all 2
    EXPECT_EQ(D3DFMT_P8, Info(BuildBmp(lr_One)).Format);
    EXPECT_EQ((std::vector<DWORD>{k_Green, k_Red, k_Green, k_Red, k_Green, k_Red}),
              Pixels32(BuildBmp(lr_One), D3DFMT_X8R8G8B8));

    const BmpRecipe lr_Four = Paletted(4, 3, 1, {{0x31, 0x20}});
    EXPECT_EQ(D3DFMT_P8, Info(BuildBmp(lr_Four)).Format);
    EXPECT_EQ((std::vector<DWORD>{k_White, k_Green, k_Blue}), Pixels32(BuildBmp(lr_Four), D3DFMT_X8R8G8B8));

    const BmpRecipe lr_Eight = Paletted(8, 2, 2, {{3, 2}, {1, 0}});
    EXPECT_EQ(D3DFMT_P8, Info(BuildBmp(lr_Eight)).Format);
    // Bottom-up: the first stored row is the bottom one.
    EXPECT_EQ((std::vector<DWORD>{k_Green, k_Red, k_White, k_Blue}), Pixels32(BuildBmp(lr_Eight), D3DFMT_X8R8G8B8));
}

TEST_F(BmpDecodeTest, TwentyFourBitTopDownAndBottomUpGiveTheSameImage) {
    BmpRecipe lr_Up;
    lr_Up.Width = 3;
    lr_Up.Height = 2;
    lr_Up.Rows = {Bgr({k_Blue, k_White, 0xff123456u}), Bgr({k_Red, k_Green, k_Black})};
    BmpRecipe lr_Down = lr_Up;
    lr_Down.Height = -2;
    std::swap(lr_Down.Rows[0], lr_Down.Rows[1]);

    const D3DXIMAGE_INFO lr_Info = Info(BuildBmp(lr_Down));
    EXPECT_EQ(D3DFMT_R8G8B8, lr_Info.Format);
    EXPECT_EQ(3u, lr_Info.Width);
    EXPECT_EQ(2u, lr_Info.Height);
    const std::vector<DWORD> lr_Expected{k_Red, k_Green, k_Black, k_Blue, k_White, 0xff123456u};
    EXPECT_EQ(lr_Expected, Pixels32(BuildBmp(lr_Up), D3DFMT_X8R8G8B8));
    EXPECT_EQ(lr_Expected, Pixels32(BuildBmp(lr_Down), D3DFMT_X8R8G8B8));
}

TEST_F(BmpDecodeTest, SixteenBitLayoutsKeepTheirFormatAndBits) {
    BmpRecipe lr_Recipe;
    lr_Recipe.BitCount = 16;
    lr_Recipe.Width = 3;
    lr_Recipe.Height = -1;

    // BI_RGB is X1R5G5B5; the unused top bit may hold anything.
    lr_Recipe.Rows = {Le16({0x7c00, 0x83e0, 0x0421})};
    EXPECT_EQ(D3DFMT_X1R5G5B5, Info(BuildBmp(lr_Recipe)).Format);
    std::vector<WORD> lr_Words = Pixels16(BuildBmp(lr_Recipe), D3DFMT_X1R5G5B5);
    ASSERT_EQ(3u, lr_Words.size());
    EXPECT_EQ(0x7c00, lr_Words[0] & 0x7fff);
    EXPECT_EQ(0x03e0, lr_Words[1] & 0x7fff);
    EXPECT_EQ(0x0421, lr_Words[2] & 0x7fff);

    lr_Recipe.Compression = 3;  // BI_BITFIELDS
    lr_Recipe.Masks = {0xf800, 0x07e0, 0x001f};
    lr_Recipe.Rows = {Le16({0xf800, 0x07e0, 0x1234})};
    EXPECT_EQ(D3DFMT_R5G6B5, Info(BuildBmp(lr_Recipe)).Format);
    EXPECT_EQ((std::vector<WORD>{0xf800, 0x07e0, 0x1234}), Pixels16(BuildBmp(lr_Recipe), D3DFMT_R5G6B5));

    // A V5 header with an alpha bit: A1R5G5B5, alpha kept.
    lr_Recipe.HeaderSize = 124;
    lr_Recipe.Masks = {0x7c00, 0x03e0, 0x001f, 0x8000};
    lr_Recipe.Rows = {Le16({0xfc00, 0x03e0, 0x801f})};
    EXPECT_EQ(D3DFMT_A1R5G5B5, Info(BuildBmp(lr_Recipe)).Format);
    EXPECT_EQ((std::vector<WORD>{0xfc00, 0x03e0, 0x801f}), Pixels16(BuildBmp(lr_Recipe), D3DFMT_A1R5G5B5));
}

TEST_F(BmpDecodeTest, UnusualSixteenBitMasksExpandToEightBitsPerChannel) {
    // Blue in the high bits (B5G5R5): read through the masks.
    BmpRecipe lr_Recipe;
    lr_Recipe.BitCount = 16;
    lr_Recipe.Width = 2;
    lr_Recipe.Height = 1;
    lr_Recipe.Compression = 3;
    lr_Recipe.Masks = {0x001f, 0x03e0, 0x7c00};
    lr_Recipe.Rows = {Le16({0x001f, 0x7c00 | (16 << 5)})};
    EXPECT_EQ(D3DFMT_X8R8G8B8, Info(BuildBmp(lr_Recipe)).Format);
    // 5-bit 16 scales to 132 (16 * 255 / 31, rounded).
    EXPECT_EQ((std::vector<DWORD>{k_Red, 0xff0084ffu}), Pixels32(BuildBmp(lr_Recipe), D3DFMT_X8R8G8B8));
}

TEST_F(BmpDecodeTest, ThirtyTwoBitWithoutAlphaMaskIsX8R8G8B8AndWithItA8R8G8B8) {
    BmpRecipe lr_Recipe;
    lr_Recipe.BitCount = 32;
    lr_Recipe.Width = 2;
    lr_Recipe.Height = 1;
    lr_Recipe.Rows = {Le32({0x00112233, 0x80445566})};
    EXPECT_EQ(D3DFMT_X8R8G8B8, Info(BuildBmp(lr_Recipe)).Format);
    // The fourth byte of BI_RGB pixels is padding, not alpha.
    EXPECT_EQ((std::vector<DWORD>{0xff112233u, 0xff445566u}), Pixels32(BuildBmp(lr_Recipe), D3DFMT_X8R8G8B8));

    for (DWORD lr_Header : {108u, 124u}) {
        SCOPED_TRACE(lr_Header);
        lr_Recipe.HeaderSize = lr_Header;
        lr_Recipe.Compression = 3;
        lr_Recipe.Masks = {0x00ff0000, 0x0000ff00, 0x000000ff, 0xff000000};
        EXPECT_EQ(D3DFMT_A8R8G8B8, Info(BuildBmp(lr_Recipe)).Format);
        EXPECT_EQ((std::vector<DWORD>{0x00112233u, 0x80445566u}), Pixels32(BuildBmp(lr_Recipe), D3DFMT_A8R8G8B8));
    }

    // BI_ALPHABITFIELDS after a plain header, with red and blue swapped.
    lr_Recipe.HeaderSize = 40;
    lr_Recipe.Compression = 6;
    lr_Recipe.Masks = {0x000000ff, 0x0000ff00, 0x00ff0000, 0xff000000};
    EXPECT_EQ(D3DFMT_A8R8G8B8, Info(BuildBmp(lr_Recipe)).Format);
    EXPECT_EQ((std::vector<DWORD>{0x00332211u, 0x80665544u}), Pixels32(BuildBmp(lr_Recipe), D3DFMT_A8R8G8B8));
}

TEST_F(BmpDecodeTest, CoreHeaderFilesWithThreeBytePalettes) {
    BmpRecipe lr_Recipe = Paletted(8, 2, 1, {{2, 1}});
    lr_Recipe.HeaderSize = 12;
    lr_Recipe.Palette.resize(256, Entry(k_Black));
    EXPECT_EQ(D3DFMT_P8, Info(BuildBmp(lr_Recipe)).Format);
    EXPECT_EQ((std::vector<DWORD>{k_Blue, k_Green}), Pixels32(BuildBmp(lr_Recipe), D3DFMT_X8R8G8B8));

    BmpRecipe lr_True;
    lr_True.HeaderSize = 12;
    lr_True.Width = 1;
    lr_True.Height = 2;
    lr_True.Rows = {Bgr({k_Red}), Bgr({k_Blue})};
    EXPECT_EQ(D3DFMT_R8G8B8, Info(BuildBmp(lr_True)).Format);
    EXPECT_EQ((std::vector<DWORD>{k_Blue, k_Red}), Pixels32(BuildBmp(lr_True), D3DFMT_X8R8G8B8));
}

TEST_F(BmpDecodeTest, RunLengthEncodedImages) {
    // RLE8, 4x2: bottom row a run of 3 then an absolute pair clipped to the
    // width; end of line; top row a delta then one pixel; end of bitmap.
    BmpRecipe lr_Rle8 = Paletted(8, 4, 2, {});
    lr_Rle8.Compression = 1;
    lr_Rle8.RawPixels = {3, 1, 0, 3, 2, 3, 0, 0, 0, 0, 0, 2, 2, 0, 1, 3, 0, 1};
    EXPECT_EQ(D3DFMT_P8, Info(BuildBmp(lr_Rle8)).Format);
    // Row 0 (bottom): G G G B; the delta skips two pixels of row 1, which stay black.
    EXPECT_EQ((std::vector<DWORD>{k_Black, k_Black, k_White, k_Black, k_Green, k_Green, k_Green, k_Blue}),
              Pixels32(BuildBmp(lr_Rle8), D3DFMT_X8R8G8B8));

    BmpRecipe lr_Rle4 = Paletted(4, 3, 1, {});
    lr_Rle4.Compression = 2;
    lr_Rle4.RawPixels = {3, 0x12, 0, 1};  // alternating nibbles 1,2,1
    EXPECT_EQ((std::vector<DWORD>{k_Green, k_Blue, k_Green}), Pixels32(BuildBmp(lr_Rle4), D3DFMT_X8R8G8B8));
}

TEST_F(BmpDecodeTest, RunLengthSkippedRowsAreBlackOnEveryLevel) {
    // 4x4 RLE8: a green bottom row; a delta up two rows and across two; two
    // blue pixels on the top row; end of bitmap.
    BmpRecipe lr_Rle = Paletted(8, 4, 4, {});
    lr_Rle.Compression = 1;
    lr_Rle.RawPixels = {4, 1, 0, 0, 0, 2, 2, 2, 2, 2, 0, 1};
    IDirect3DTexture9* lr_Texture = Load(BuildBmp(lr_Rle));
    ASSERT_NE(nullptr, lr_Texture);
    ASSERT_EQ(3u, lr_Texture->GetLevelCount());
    const auto lr_Level = [&](UINT level) { return LevelPixels<DWORD>(mr_Control_, lr_Texture, level); };
    EXPECT_EQ((std::vector<DWORD>{k_Black, k_Black, k_Blue, k_Blue, k_Black, k_Black, k_Black, k_Black, k_Black,
                                  k_Black, k_Black, k_Black, k_Green, k_Green, k_Green, k_Green}),
              lr_Level(0));
    EXPECT_EQ((std::vector<DWORD>{k_Black, 0xff000080u, 0xff008000u, 0xff008000u}), lr_Level(1));
    EXPECT_EQ((std::vector<DWORD>{0xff004020u}), lr_Level(2));  // green 255/4, blue 255/8, rounded
}

TEST_F(BmpDecodeTest, InfoIsFilledAsD3DXFillsIt) {
    BmpRecipe lr_Recipe = Paletted(8, 5, -3, {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}});
    D3DXIMAGE_INFO lr_Info;
    std::memset(&lr_Info, 0xAB, sizeof(lr_Info));
    const std::vector<BYTE> lr_File = BuildBmp(lr_Recipe);
    ASSERT_EQ(D3D_OK, D3DXGetImageInfoFromFileInMemory(lr_File.data(), static_cast<UINT>(lr_File.size()), &lr_Info));
    EXPECT_EQ(5u, lr_Info.Width);
    EXPECT_EQ(3u, lr_Info.Height);
    EXPECT_EQ(1u, lr_Info.Depth);
    EXPECT_EQ(1u, lr_Info.MipLevels);
    EXPECT_EQ(D3DFMT_P8, lr_Info.Format);
    EXPECT_EQ(D3DRTYPE_TEXTURE, lr_Info.ResourceType);
    EXPECT_EQ(D3DXIFF_BMP, lr_Info.ImageFileFormat);
    // A null info only checks the data.
    EXPECT_EQ(D3D_OK, D3DXGetImageInfoFromFileInMemory(lr_File.data(), static_cast<UINT>(lr_File.size()), nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXGetImageInfoFromFileInMemory(nullptr, 10, &lr_Info));
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXGetImageInfoFromFileInMemory(lr_File.data(), 0, &lr_Info));
}

// Each case breaks a valid 2x2 8-bit file (or builds a bad one) and must be
// refused by both the information reader and the loader, with no texture made.
struct MalformedCase {
    const char* Name;
    std::vector<BYTE> File;
    bool HeaderLevel = true;  // false: only decoding the pixels can find it
};

std::vector<MalformedCase> MalformedCases() {
    const BmpRecipe lr_Good = Paletted(8, 2, 2, {{0, 1}, {2, 3}});
    const std::vector<BYTE> lr_File = BuildBmp(lr_Good);
    std::vector<MalformedCase> lr_Cases;
    auto lr_Patch32 = [&](const char* name, size_t at, uint32_t value) {
        std::vector<BYTE> lr_Bad = lr_File;
        PutU32(lr_Bad, at, value);
        lr_Cases.push_back({name, lr_Bad});
    };
    auto lr_Recipe = [&](const char* name, auto change, bool headerLevel = true) {
        BmpRecipe lr_S = lr_Good;
        change(lr_S);
        lr_Cases.push_back({name, BuildBmp(lr_S), headerLevel});
    };
    std::vector<BYTE> lr_Magic = lr_File;
    lr_Magic[1] = 'X';
    lr_Cases.push_back({"bad magic", lr_Magic});
    lr_Cases.push_back({"only the magic", {'B', 'M'}});
    lr_Cases.push_back({"truncated header", std::vector<BYTE>(lr_File.begin(), lr_File.begin() + 30)});
    lr_Cases.push_back({"truncated palette", std::vector<BYTE>(lr_File.begin(), lr_File.begin() + 60)});
    lr_Cases.push_back({"truncated pixels", std::vector<BYTE>(lr_File.begin(), lr_File.end() - 1)});
    lr_Patch32("pixel offset past the end", 10, 0xfffffff0u);
    lr_Patch32("pixel offset inside the header", 10, 20);
    lr_Patch32("unknown header size", 14, 20);
    lr_Patch32("header size past the end", 14, 0x7fffffffu);
    lr_Patch32("zero width", 18, 0);
    lr_Patch32("negative width", 18, static_cast<uint32_t>(-2));
    lr_Patch32("absurd width", 18, 16385);
    lr_Patch32("zero height", 22, 0);
    lr_Patch32("absurd height", 22, static_cast<uint32_t>(-16385));
    lr_Patch32("lowest height", 22, static_cast<uint32_t>(INT32_MIN));
    lr_Patch32("huge sizes overflowing the row arithmetic", 18, 0x7fffffffu);
    lr_Patch32("JPEG compression", 30, 4);
    lr_Patch32("more colours than the bit count allows", 46, 300);
    lr_Recipe("bit count 7", [](BmpRecipe& s) { s.BitCount = 7; });
    lr_Recipe(
        "pixel index beyond the palette",
        [](BmpRecipe& s) {
            s.Rows = {{0, 4}, {2, 3}};
        },
        false);
    lr_Recipe("bit fields on 24-bit", [](BmpRecipe& s) {
        s.BitCount = 24;
        s.Compression = 3;
        s.Masks = {0xff0000, 0xff00, 0xff};
        s.Rows = {Bgr({k_Red, k_Red}), Bgr({k_Red, k_Red})};
    });
    lr_Recipe("split mask", [](BmpRecipe& s) {
        s.BitCount = 16;
        s.Compression = 3;
        s.Masks = {0xf00f, 0x0f00, 0x00f0};
        s.Rows = {Le16({0, 0}), Le16({0, 0})};
    });
    lr_Recipe("overlapping masks", [](BmpRecipe& s) {
        s.BitCount = 32;
        s.Compression = 3;
        s.Masks = {0x00ff0000, 0x0001ff00, 0x000000ff};
        s.Rows = {Le32({0, 0}), Le32({0, 0})};
    });
    lr_Recipe("16-bit mask beyond 16 bits", [](BmpRecipe& s) {
        s.BitCount = 16;
        s.Compression = 3;
        s.Masks = {0x001f0000, 0x03e0, 0x001f};
        s.Rows = {Le16({0, 0}), Le16({0, 0})};
    });
    lr_Recipe(
        "RLE8 stream ending early",
        [](BmpRecipe& s) {
            s.Compression = 1;
            s.RawPixels = {2, 1, 0, 0};
        },
        false);
    lr_Recipe(
        "RLE8 absolute run past the data",
        [](BmpRecipe& s) {
            s.Compression = 1;
            s.RawPixels = {0, 40, 1, 1};
        },
        false);
    lr_Recipe("top-down RLE", [](BmpRecipe& s) {
        s.Compression = 1;
        s.Height = -2;
        s.RawPixels = {2, 1, 0, 0, 2, 1, 0, 1};
    });
    return lr_Cases;
}

TEST_F(BmpDecodeTest, MalformedFilesAreInvalidDataAndMakeNoTexture) {
    for (const MalformedCase& lr_Case : MalformedCases()) {
        SCOPED_TRACE(lr_Case.Name);
        const UINT lr_Size = static_cast<UINT>(lr_Case.File.size());
        EXPECT_EQ(lr_Case.HeaderLevel ? D3DXERR_INVALIDDATA : D3D_OK,
                  D3DXGetImageInfoFromFileInMemory(lr_Case.File.data(), lr_Size, nullptr));
        IDirect3DTexture9* lr_Texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
        EXPECT_EQ(D3DXERR_INVALIDDATA,
                  D3DXCreateTextureFromFileInMemory(mr_Device_, lr_Case.File.data(), lr_Size, &lr_Texture));
        EXPECT_EQ(nullptr, lr_Texture);
    }
    EXPECT_EQ(0u, mr_Control_->GetCallCount(SoftCall::CreateTexture));
}

TEST_F(BmpDecodeTest, NonBmpDataIsInvalidData) {
    const BYTE lr_Png[] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 0};
    EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileInMemory(lr_Png, sizeof(lr_Png), nullptr));
}

}  // namespace

namespace {

class BmpCorpus : public SoftDeviceFixture {};

// The fuzzer's seeds are one valid file of each layout; each must load.
TEST_F(BmpCorpus, EverySeedFileLoads) {
    size_t lr_Count = 0;
    for (const auto& lr_Entry : std::filesystem::directory_iterator(SSAO_BMP_CORPUS)) {
        SCOPED_TRACE(lr_Entry.path().string());
        std::ifstream lr_In(lr_Entry.path(), std::ios::binary);
        const std::vector<BYTE> lr_File((std::istreambuf_iterator<char>(lr_In)), std::istreambuf_iterator<char>());
        D3DXIMAGE_INFO lr_Info{};
        ASSERT_EQ(D3D_OK,
                  D3DXGetImageInfoFromFileInMemory(lr_File.data(), static_cast<UINT>(lr_File.size()), &lr_Info));
        IDirect3DTexture9* lr_Texture = nullptr;
        ASSERT_EQ(D3D_OK, D3DXCreateTextureFromFileInMemory(mr_Device_, lr_File.data(),
                                                            static_cast<UINT>(lr_File.size()), &lr_Texture));
        // The file's size, rounded up to powers of two.
        D3DSURFACE_DESC lr_Desc{};
        lr_Texture->GetLevelDesc(0, &lr_Desc);
        EXPECT_GE(lr_Desc.Width, lr_Info.Width);
        EXPECT_LT(lr_Desc.Width / 2, lr_Info.Width);
        EXPECT_EQ(0u, lr_Desc.Width & (lr_Desc.Width - 1));
        EXPECT_GE(lr_Desc.Height, lr_Info.Height);
        EXPECT_LT(lr_Desc.Height / 2, lr_Info.Height);
        EXPECT_EQ(0u, lr_Desc.Height & (lr_Desc.Height - 1));
        lr_Texture->Release();
        ++lr_Count;
    }
    EXPECT_GE(lr_Count, 15u);
}

}  // namespace
